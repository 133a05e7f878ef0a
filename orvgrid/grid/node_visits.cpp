#include "orvgrid/grid/node_visits.h"

#include <cmath>

#include "engine/search/radius_test.h"
#include "orvgrid/grid/node_visits_forms.h"

namespace {

// The plain form: the squared distance settles the clear cut-off tests, as it always
// has; a point that counts is weighted by std::hypot's distance.
void add_node_visits_scalar(const NodeColumnShape& shape, const NodeVisit* visits,
                            std::size_t count, const NodeSums& sums) {
    const BeyondRadius beyond(shape.search_radius);
    for (std::size_t v = 0; v < count; ++v) {
        const NodeVisit& visit = visits[v];
        for (std::uint32_t j = visit.first; j < visit.end; ++j) {
            const double dy = shape.node_y[j] - visit.py + 0.001;
            if (beyond(visit.dx, dy)) continue;
            const double d = std::hypot(visit.dx, dy);
            sums.weight[j] += 1.0 / d;
            for (int k = 0; k < shape.variables; ++k) sums.weighted[k][j] += visit.value[k] / d;
        }
    }
}

}  // namespace

void add_node_visits(InstructionSet set, const NodeColumnShape& shape, const NodeVisit* visits,
                     std::size_t count, const NodeSums& sums) {
    switch (set) {
        case InstructionSet::Sse2:
            return add_node_visits_sse2(shape, visits, count, sums);
        case InstructionSet::Avx2:
            return add_node_visits_avx2(shape, visits, count, sums);
        case InstructionSet::Avx512:
            return add_node_visits_avx512(shape, visits, count, sums);
        case InstructionSet::Scalar:
            break;
    }
    add_node_visits_scalar(shape, visits, count, sums);
}
