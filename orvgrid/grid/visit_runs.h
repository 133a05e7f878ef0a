#pragma once
// Laying out the visits of a node column: for each point of a cell column, the run of
// the column's nodes it may reach. The run is cut to the nodes with
// |dy| <= sqrt(reach_radius^2 - dx^2) and at most one more at each end: any other node is
// farther than the search radius, as the margin of reach_radius dwarfs the rounding of
// that bound. The forms give the same visits, in slot order.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>

#include "engine/simd/instruction_set.h"
#include "orvgrid/grid/node_visits.h"

// What the runs are cut from. The window of a point in cell row r holds the node rows
// row_nodes_first[r] .. row_nodes_end[r] - 1.
struct VisitRuns {
    const std::uint32_t* row_nodes_first;
    const std::uint32_t* row_nodes_end;
    const double* node_y;   // ordinate of each node row, padded for whole vectors
    double reach_radius;    // infinite when no bound is safe: every run is then the window
    double origin_y;        // of the node rows
    double per_node;        // 1 / node spacing
    std::size_t node_rows;  // of the column
};

// The points of cell columns in the index's slot order: position, cell row, and
// values[k * slots + s] for each of `variables` positions.
struct SlotPoints {
    const double* xs;
    const double* ys;
    const std::uint32_t* rows;
    const double* values;
    std::size_t slots;
    int variables;
};

// The nodes first .. end - 1 of the window of cell row `row` that may take a point at dx,
// py; false when there are none. The run is estimated, then widened node by node until
// the nodes just outside it are out of reach: dy grows with the node row, every step of
// its computation rounding monotonically, so none beyond them is within. A NaN estimate
// keeps the whole window.
inline bool reachable_run(const VisitRuns& runs, double dx, double py, std::uint32_t row,
                          std::uint32_t& first, std::uint32_t& end) {
    const long long lo = runs.row_nodes_first[row];
    const long long hi = runs.row_nodes_end[row];
    if (lo >= hi) return false;
    long long run_first = lo;
    long long run_end = hi;
    const double reach = runs.reach_radius;
    if (reach < std::numeric_limits<double>::infinity()) {
        const double half = std::sqrt(reach * reach - dx * dx);
        const double centre = (py - 0.001 - runs.origin_y) * runs.per_node;
        const double below = std::floor(centre - half * runs.per_node);
        const double above = std::ceil(centre + half * runs.per_node) + 1.0;
        if (below > static_cast<double>(lo))
            run_first = below < static_cast<double>(hi) ? static_cast<long long>(below) : hi;
        if (above < static_cast<double>(hi))
            run_end =
                above > static_cast<double>(run_first) ? static_cast<long long>(above) : run_first;
        while (run_first > lo && runs.node_y[run_first - 1] - py + 0.001 >= -half) --run_first;
        while (run_end < hi && runs.node_y[run_end] - py + 0.001 <= half) ++run_end;
    }
    first = static_cast<std::uint32_t>(run_first);
    end = static_cast<std::uint32_t>(run_end);
    return run_first < run_end;
}

// The visit of a point at px, py in cell row `row` seen from the node column at x:
// dx = x - px + 0.001; none (false) when |dx| > reach_radius or the run is empty.
// Fills all of `visit` but its values.
inline bool visit_of(const VisitRuns& runs, double x, double px, double py, std::uint32_t row,
                     NodeVisit& visit) {
    const double dx = x - px + 0.001;
    if (std::fabs(dx) > runs.reach_radius) return false;
    if (!reachable_run(runs, dx, py, row, visit.first, visit.end)) return false;
    visit.dx = dx;
    visit.py = py;
    return true;
}

// The visits of the points in slots begin .. end - 1 seen from the node column at x:
// dx = x - px + 0.001; a point with |dx| > reach_radius or an empty run makes none.
// Returns how many were written to `visits` (room for end - begin). `set` chooses the
// form: AVX-512F and AVX2 have their own, SSE2 (without a rounding instruction) takes the
// plain one. All give the same visits.
std::size_t lay_out_visits(InstructionSet set, const VisitRuns& runs, const SlotPoints& points,
                           double x, std::size_t begin, std::size_t end, NodeVisit* visits);

// The vector forms, each in a file compiled for its set; reach_radius must be finite and
// node_rows below 2^31.
std::size_t lay_out_visits_avx2(const VisitRuns& runs, const SlotPoints& points, double x,
                                std::size_t begin, std::size_t end, NodeVisit* visits);
std::size_t lay_out_visits_avx512(const VisitRuns& runs, const SlotPoints& points, double x,
                                  std::size_t begin, std::size_t end, NodeVisit* visits);
