#pragma once
// What the vector forms of lay_out_visits share once a group of lanes is worked out: the
// rare estimate that must be widened, and the visits written in slot order. Include only
// from a file of one instruction set; the unnamed namespace keeps each file's copy its own.

#include <cstddef>
#include <cstdint>

#include "orvgrid/grid/visit_runs.h"

namespace {

// One group of points, a lane each, as the vector form left them.
template <int Lanes>
struct RunLanes {
    alignas(64) double dx[Lanes], py[Lanes], half[Lanes];
    alignas(64) double first[Lanes], end[Lanes], low[Lanes], high[Lanes];
};

// Widens the runs of the lanes in `widen` node by node, as reachable_run does, then
// writes a visit for each lane of `windowed` whose run holds a node. The group's first
// point is in slot s. Returns the visits written.
template <int Lanes>
std::size_t finish_lanes(const VisitRuns& runs, const SlotPoints& points, std::size_t s,
                         unsigned windowed, unsigned widen, RunLanes<Lanes>& lanes,
                         NodeVisit* visits) {
    for (unsigned m = widen; m != 0; m &= m - 1) {
        const int l = __builtin_ctz(m);
        auto first = static_cast<long long>(lanes.first[l]);
        auto end = static_cast<long long>(lanes.end[l]);
        const auto low = static_cast<long long>(lanes.low[l]);
        const auto high = static_cast<long long>(lanes.high[l]);
        const double py = lanes.py[l];
        const double half = lanes.half[l];
        while (first > low && runs.node_y[first - 1] - py + 0.001 >= -half) --first;
        while (end < high && runs.node_y[end] - py + 0.001 <= half) ++end;
        lanes.first[l] = static_cast<double>(first);
        lanes.end[l] = static_cast<double>(end);
    }
    std::size_t count = 0;
    for (unsigned m = windowed; m != 0; m &= m - 1) {
        const int l = __builtin_ctz(m);
        if (!(lanes.first[l] < lanes.end[l])) continue;
        const std::size_t slot = s + static_cast<std::size_t>(l);
        NodeVisit& visit = visits[count++];
        visit.dx = lanes.dx[l];
        visit.py = lanes.py[l];
        visit.first = static_cast<std::uint32_t>(lanes.first[l]);
        visit.end = static_cast<std::uint32_t>(lanes.end[l]);
        for (int k = 0; k < points.variables; ++k)
            visit.value[k] = points.values[static_cast<std::size_t>(k) * points.slots + slot];
    }
    return count;
}

}  // namespace
