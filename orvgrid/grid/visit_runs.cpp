#include "orvgrid/grid/visit_runs.h"

namespace {

std::size_t lay_out_visits_scalar(const VisitRuns& runs, const SlotPoints& points, double x,
                                  std::size_t begin, std::size_t end, NodeVisit* visits) {
    std::size_t count = 0;
    for (std::size_t s = begin; s < end; ++s) {
        NodeVisit& visit = visits[count];  // filled in place: no copy through the stack
        if (!visit_of(runs, x, points.xs[s], points.ys[s], points.rows[s], visit)) continue;
        for (int k = 0; k < points.variables; ++k)
            visit.value[k] = points.values[static_cast<std::size_t>(k) * points.slots + s];
        ++count;
    }
    return count;
}

}  // namespace

std::size_t lay_out_visits(InstructionSet set, const VisitRuns& runs, const SlotPoints& points,
                           double x, std::size_t begin, std::size_t end, NodeVisit* visits) {
    const bool lanes_apply = runs.reach_radius < std::numeric_limits<double>::infinity() &&
                             runs.node_rows < (std::size_t{1} << 31);
    if (lanes_apply && set == InstructionSet::Avx512)
        return lay_out_visits_avx512(runs, points, x, begin, end, visits);
    if (lanes_apply && set == InstructionSet::Avx2)
        return lay_out_visits_avx2(runs, points, x, begin, end, visits);
    return lay_out_visits_scalar(runs, points, x, begin, end, visits);
}
