#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "engine/engine.h"

// The neighbour search structure: nx x ny square cells of edge cell_size laid over the
// extent; cell (i, k) is number i * ny + k. Stored compactly: where each cell's run of
// slots begins, and one index array, indices ascending within a cell.
//
// A survey has several cells a point (ten with a search radius that holds thirty
// points), so the table of where the runs begin is the index's bulk. It is kept as a
// 32-bit base for each group of CELL_GROUP cells and a 16-bit offset from it for each
// cell: 2.25 bytes a cell instead of 4. A group that holds 65536 points or more (heaped
// duplicates) cannot be written so; the table is then one 32-bit start a cell.

struct CellWindow {
    std::size_t ix_first = 0, ix_end = 0;  // columns ix_first <= ix < ix_end
    std::size_t iy_first = 0, iy_end = 0;  // rows iy_first <= iy < iy_end
};

class ClusterIndex {
public:
    // Lays out the cells and bins the points, on up to `threads` threads (0: all cores)
    // with the same result; false when the cell table would not fit in memory (the
    // caller shows the message).
    bool build(double cell_size, double origin_x, double origin_y, double x_max,
               double y_max, std::span<const WorkPoint> points, unsigned threads = 1);
    void clear();

    std::span<const std::uint32_t> cell_at(std::size_t i, std::size_t k) const;
    // The cells of one column lie one after another: the cells (i, k_first) ..
    // (i, k_end - 1) are the slots slot_begin(i, k_first) .. slot_begin(i, k_end) - 1
    // (k_end may be ny), and slot_points()[s] is the point index held in slot s.
    std::size_t slot_begin(std::size_t i, std::size_t k) const { return run_start(i * ny_ + k); }
    std::span<const std::uint32_t> slot_points() const { return indices_; }
    // The cells covering the square x0 - e .. x0 + e, y0 - e .. y0 + e.
    CellWindow covering_window(double x0, double y0, double e) const;
    // The column of the cells a point at x is stored in; 0 for an empty index.
    std::size_t column_of(double x) const;

    std::size_t nx() const { return nx_; }
    std::size_t ny() const { return ny_; }
    double cell_size() const { return cell_size_; }
    double origin_x() const { return origin_x_; }
    double origin_y() const { return origin_y_; }
    bool empty() const { return nx_ == 0; }

    static constexpr std::size_t CELL_GROUP = 16;

private:
    std::size_t run_start(std::size_t c) const {
        return wide_starts_.empty() ? group_base_[c / CELL_GROUP] + start_in_group_[c]
                                    : wide_starts_[c];
    }
    bool lay_out_narrow(std::span<const std::uint32_t> cell_of, std::size_t cells,
                        unsigned threads);
    void lay_out_wide(std::span<const std::uint32_t> cell_of, std::size_t cells);

    std::size_t nx_ = 0, ny_ = 0;
    double cell_size_ = 0.0, origin_x_ = 0.0, origin_y_ = 0.0;
    // Run starts of cells 0 .. nx * ny (the last one the number of points): either
    // group_base_ + start_in_group_, or wide_starts_ when a group is too full.
    HugePageVector<std::uint32_t> group_base_;
    HugePageVector<std::uint16_t> start_in_group_;
    HugePageVector<std::uint32_t> wide_starts_;
    HugePageVector<std::uint32_t> indices_;  // point indices, cell after cell
};

// Builds the cluster index over the points with the run's cell size. 0 or 1 (the
// memory message shown).
int build_cluster_index(double cell_size, const PointData& points, ClusterIndex& index,
                        RunMonitor& monitor, unsigned threads = 1);
