#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

#include "engine/engine.h"

// The neighbour search structure: nx x ny square cells of edge cell_size laid over the
// extent; cell (i, k) is number i * ny + k. Stored compactly: one index array, the points
// cell after cell and ascending within a cell, and where each cell's run of slots begins.
//
// A survey has several cells a point (ten with a search radius that holds thirty points,
// over forty on a survey with empty stretches), most of them empty, so a table of a start
// a cell would be the index's bulk. The cells are therefore taken CELL_GROUP at a time: a
// 32-bit start for each group's run of slots, and for each slot the place of its cell
// within the group, a byte. A cell's run begins after the slots of its group that lie in
// earlier cells. That is a quarter of a byte a cell and a byte a point, where a 16-bit
// offset a cell from its group's start would take 2.25 bytes a cell.

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
    // Calls visit(slot, k) for every slot of column i in order, k being the row of the
    // slot's cell: the cells of a column walked without looking up each one's start.
    template <class Visit>
    void for_each_slot_of_column(std::size_t i, Visit&& visit) const {
        const std::size_t first_cell = i * ny_;
        const std::size_t end = run_start(first_cell + ny_);
        for (std::size_t s = run_start(first_cell), g = first_cell / CELL_GROUP; s < end; ++g) {
            const std::size_t group_end = std::min<std::size_t>(group_start_[g + 1], end);
            for (; s < group_end; ++s) visit(s, g * CELL_GROUP + place_in_group_[s] - first_cell);
        }
    }
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
    // A group's slots are searched by halves when it holds more than this; otherwise a
    // window of the next PLACE_WINDOW places is counted at once.
    static constexpr std::size_t PLACE_WINDOW = 16;

    std::size_t run_start(std::size_t c) const {
        const std::size_t g = c / CELL_GROUP;
        const auto place = static_cast<std::uint8_t>(c % CELL_GROUP);
        const std::size_t s = group_start_[g];
        const std::size_t held = group_start_[g + 1] - s;
        const std::uint8_t* places = place_in_group_.data();
        if (held > PLACE_WINDOW)
            return static_cast<std::size_t>(
                std::lower_bound(places + s, places + s + held, place) - places);
        return s + places_below(places + s, held, place);
    }
    // How many of the `held` places from `places` are below `place`, without a branch
    // on them: a window's lookups would otherwise mispredict one in a few. Each byte b
    // (0 .. 15) with its top bit set, less `place`, keeps that bit exactly when b >=
    // place, and never borrows from the next byte. The bytes read may run past the
    // group: into the next one's places or the zeroed bytes kept after the last slot,
    // all below 16, and masked off. Most groups hold a few slots: one word of 8 bytes.
    static std::size_t places_below(const std::uint8_t* places, std::size_t held,
                                    std::uint8_t place) {
        const auto below_in = [place](const std::uint8_t* eight, std::uint64_t keep) {
            constexpr std::uint64_t TOPS = 0x8080808080808080u, ONES = 0x0101010101010101u;
            std::uint64_t bytes;
            std::memcpy(&bytes, eight, sizeof bytes);
            const std::uint64_t tops = ~((bytes | TOPS) - place * ONES) & TOPS & keep;
            return static_cast<std::size_t>(((tops >> 7) * ONES) >> 56);  // their count
        };
        if (held <= 8) return below_in(places, FIRST_BYTES[held]);
        return below_in(places, FIRST_BYTES[8]) + below_in(places + 8, FIRST_BYTES[held - 8]);
    }
    // FIRST_BYTES[n]: all bits of a word's first n bytes, for n = 0 .. 8.
    static constexpr auto FIRST_BYTES = [] {
        std::array<std::uint64_t, 9> masks{};
        for (std::size_t n = 1; n <= 8; ++n) masks[n] = ~std::uint64_t{0} >> (64 - 8 * n);
        return masks;
    }();
    void lay_out(std::span<const std::uint32_t> cell_of, std::size_t cells, unsigned threads);

    std::size_t nx_ = 0, ny_ = 0;
    double cell_size_ = 0.0, origin_x_ = 0.0, origin_y_ = 0.0;
    // Where the run of slots of each group of cells begins, for groups 0 .. (nx * ny) /
    // CELL_GROUP + 1: the last ones hold the number of points.
    HugePageVector<std::uint32_t> group_start_;
    HugePageVector<std::uint32_t> indices_;         // point indices, cell after cell
    // Slot by slot, cell % CELL_GROUP; PLACE_WINDOW zeroed bytes follow the last.
    HugePageVector<std::uint8_t> place_in_group_;
};

// Builds the cluster index over the points with the run's cell size. 0 or 1 (the
// memory message shown).
int build_cluster_index(double cell_size, const PointData& points, ClusterIndex& index,
                        RunMonitor& monitor, unsigned threads = 1);
