#pragma once
// What a fit reads of its candidates (x, y, height and working CBA), copied slot by slot
// in the cluster index's order: the candidates of a window are then read column by
// column from contiguous memory instead of one scattered point record at a time.

#include <algorithm>
#include <cstddef>
#include <vector>

#include "engine/engine.h"
#include "engine/search/cluster_index.h"

class NeighbourTable {
public:
    // Copies positions 0 to 3 of every indexed point, on up to `threads` threads (0: all
    // cores); the copy must be made again after the working CBA changes (between passes).
    void build(const ClusterIndex& index, const PointData& points, unsigned threads = 1);
    // x, y, height, working CBA of the point in slot `slot`.
    const double* values(std::size_t slot) const { return &values_[4 * slot]; }

private:
    HugePageVector<double> values_;
};

// Where the candidates' values come from: the table when there is one, otherwise the
// point records themselves. Either gives the same doubles.
struct SlotValues {
    const ClusterIndex& index;
    const PointData& points;
    const NeighbourTable* table = nullptr;

    const double* operator()(std::size_t slot) const {
        return table ? table->values(slot) : points.work[index.slot_points()[slot]].value;
    }
    // Asks the processor to start loading a slot's values now; the columns of a window
    // lie far apart in memory, and waiting for each in turn would dominate a fit.
    void prefetch(std::size_t slot) const {
        if (table) __builtin_prefetch(table->values(slot));
    }
};

// Calls visit(slot) for every slot of the window's cells: column by column, within a
// column row by row, within a cell in stored order (the order that fixes the rounding
// of every sum over the candidates). Empty cells cost nothing. The columns' slot runs
// are looked up (and their values prefetched) a group of columns at a time before any
// is visited, so that their memory is fetched side by side.
template <class Visit>
void for_each_window_slot(const ClusterIndex& index, const CellWindow& window,
                          const SlotValues& values, Visit&& visit) {
    if (window.iy_first >= window.iy_end) return;
    constexpr std::size_t GROUP = 32;
    std::size_t first[GROUP], end[GROUP];
    for (std::size_t ix = window.ix_first; ix < window.ix_end; ix += GROUP) {
        const std::size_t columns = std::min(GROUP, window.ix_end - ix);
        for (std::size_t c = 0; c < columns; ++c) {
            first[c] = index.slot_begin(ix + c, window.iy_first);
            end[c] = index.slot_begin(ix + c, window.iy_end);
            if (first[c] < end[c]) {
                values.prefetch(first[c]);
                values.prefetch(end[c] - 1);
            }
        }
        for (std::size_t c = 0; c < columns; ++c)
            for (std::size_t s = first[c]; s < end[c]; ++s) visit(s);
    }
}
