#include "engine/search/cluster_index.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <new>
#include <vector>

#include "engine/memory/populated_resize.h"
#include "engine/run/split_work.h"

namespace {

// Above this many cells the previews laid out on the same lattice (and the table of the
// cells' groups) would crowd the machine; such a run is refused like a failed allocation.
constexpr double MAX_CELLS = 268435456.0;  // 2^28

// Number of cells along one axis, or 0 when the extent cannot be laid out.
double cells_along(double low, double high, double cell_size) {
    const double n = std::floor((high - low + cell_size) / cell_size);
    if (!(n >= 1.0) || !std::isfinite(n)) return 0.0;
    return n;
}

// Clamps a cell position computed in double to 0..n; NaN counts as 0.
std::size_t clamp_position(double value, std::size_t n) {
    if (!(value > 0.0)) return 0;
    if (value >= static_cast<double>(n)) return n;
    return static_cast<std::size_t>(value);
}

// The column (row) of the cell a coordinate is stored in: the rule's cell, and the last
// column (row) for a coordinate the rule puts one past the table.
std::size_t cell_position(double v, double origin, double cell_size, std::size_t n) {
    return std::min(clamp_position(std::floor((v - origin + 0.5 * cell_size) / cell_size), n),
                    n - 1);
}

}  // namespace

bool ClusterIndex::build(double cell_size, double origin_x, double origin_y, double x_max,
                         double y_max, std::span<const WorkPoint> points, unsigned threads) {
    clear();
    if (!(cell_size > 0.0)) return false;
    const double wide_nx = cells_along(origin_x, x_max, cell_size);
    const double wide_ny = cells_along(origin_y, y_max, cell_size);
    if (wide_nx == 0.0 || wide_ny == 0.0 || wide_nx * wide_ny > MAX_CELLS) return false;
    if (points.size() >= std::numeric_limits<std::uint32_t>::max()) return false;

    const auto nx = static_cast<std::size_t>(wide_nx);
    const auto ny = static_cast<std::size_t>(wide_ny);
    const std::size_t cells = nx * ny;
    try {
        HugePageVector<std::uint32_t> cell_of;
        assign_populated(cell_of, points.size(), std::uint32_t{0}, threads);
        // A point the rule puts one column (row) past the table, within half a cell of
        // x_max (y_max), goes into the last column (row): the covering window of any
        // square holding it reaches that column. A NaN coordinate lands in cell 0.
        split_work(points.size(), threads, [&](std::size_t begin, std::size_t end) {
            for (std::size_t p = begin; p < end; ++p) {
                const double x = points[p].value[work::x];
                const double y = points[p].value[work::y];
                const std::size_t i = cell_position(x, origin_x, cell_size, nx);
                const std::size_t k = cell_position(y, origin_y, cell_size, ny);
                cell_of[p] = static_cast<std::uint32_t>(i * ny + k);
            }
        });
        assign_populated(indices_, points.size(), std::uint32_t{0}, threads);
        lay_out(cell_of, cells, threads);
    } catch (const std::bad_alloc&) {
        clear();
        return false;
    }
    nx_ = nx;
    ny_ = ny;
    cell_size_ = cell_size;
    origin_x_ = origin_x;
    origin_y_ = origin_y;
    return true;
}

namespace {

// Orders one group's run of slots by the place of each slot's cell, keeping file order
// within a cell. Most runs are already ordered; the others are counted out place by
// place through `spare`.
void order_by_place(std::uint32_t* indices, std::uint8_t* places, std::size_t count,
                    std::vector<std::uint32_t>& spare) {
    if (std::is_sorted(places, places + count)) return;
    std::size_t ends[ClusterIndex::CELL_GROUP + 1] = {};  // of place p's slots: ends[p + 1]
    for (std::size_t s = 0; s < count; ++s) ++ends[places[s] + 1];
    for (std::size_t p = 0; p < ClusterIndex::CELL_GROUP; ++p) ends[p + 1] += ends[p];
    spare.resize(count);
    for (std::size_t s = 0; s < count; ++s) spare[ends[places[s]]++] = indices[s];
    std::copy(spare.begin(), spare.end(), indices);
    // ends[p] has moved on to the end of place p's slots.
    for (std::size_t p = 0, s = 0; p < ClusterIndex::CELL_GROUP; s = ends[p++])
        std::fill(places + s, places + ends[p], static_cast<std::uint8_t>(p));
}

}  // namespace

// Counting sort by group, then each group's run ordered by place: points are placed in
// file order, so indices ascend within a cell. Each thread owns a range of whole groups:
// it counts and places the points of its groups, reading all of cell_of in file order,
// so that no two threads touch one count.
void ClusterIndex::lay_out(std::span<const std::uint32_t> cell_of, std::size_t cells,
                           unsigned threads) {
    const std::size_t groups = cells / CELL_GROUP + 1;  // cell `cells` ends the last
    HugePageVector<std::uint32_t> start;
    assign_populated(start, groups + 1, std::uint32_t{0}, threads);
    assign_populated(place_in_group_, cell_of.size() + PLACE_WINDOW, std::uint8_t{0}, threads);
    const auto for_each_own_point = [&](std::size_t first_group, std::size_t end_group,
                                        auto&& take) {
        const std::uint64_t low = static_cast<std::uint64_t>(first_group) * CELL_GROUP;
        const std::uint64_t high = static_cast<std::uint64_t>(end_group) * CELL_GROUP;
        for (std::size_t p = 0; p < cell_of.size(); ++p) {
            const std::uint32_t c = cell_of[p];
            if (c >= low && c < high) take(p, c);
        }
    };
    split_work(groups, threads, [&](std::size_t first_group, std::size_t end_group) {
        for_each_own_point(first_group, end_group,
                           [&](std::size_t, std::uint32_t c) { ++start[c / CELL_GROUP]; });
    });
    std::uint32_t before = 0;  // points of the earlier groups
    for (std::size_t g = 0; g <= groups; ++g) {
        const std::uint32_t held = start[g];
        start[g] = before;
        before += held;
    }
    split_work(groups, threads, [&](std::size_t first_group, std::size_t end_group) {
        // Each start is moved on past the points placed in its group, ending where the
        // next group's run begins, and is moved back once its run is ordered.
        std::uint32_t begin = start[first_group];
        for_each_own_point(first_group, end_group, [&](std::size_t p, std::uint32_t c) {
            const std::uint32_t s = start[c / CELL_GROUP]++;
            indices_[s] = static_cast<std::uint32_t>(p);
            place_in_group_[s] = static_cast<std::uint8_t>(c % CELL_GROUP);
        });
        std::vector<std::uint32_t> spare;
        for (std::size_t g = first_group; g < end_group; ++g) {
            const std::uint32_t end = start[g];
            order_by_place(indices_.data() + begin, place_in_group_.data() + begin, end - begin,
                           spare);
            start[g] = begin;
            begin = end;
        }
    });
    group_start_ = std::move(start);
}

void ClusterIndex::clear() {
    nx_ = ny_ = 0;
    cell_size_ = origin_x_ = origin_y_ = 0.0;
    release_storage(group_start_);
    release_storage(indices_);
    release_storage(place_in_group_);
}

std::span<const std::uint32_t> ClusterIndex::cell_at(std::size_t i, std::size_t k) const {
    const std::size_t c = i * ny_ + k;
    const std::size_t first = run_start(c);
    return std::span<const std::uint32_t>(indices_).subspan(first, run_start(c + 1) - first);
}

std::size_t ClusterIndex::column_of(double x) const {
    return empty() ? 0 : cell_position(x, origin_x_, cell_size_, nx_);
}

CellWindow ClusterIndex::covering_window(double x0, double y0, double e) const {
    CellWindow w;
    if (empty()) return w;
    const double half = 0.5 * cell_size_;
    w.ix_first = clamp_position(std::floor((x0 - e - origin_x_ + half) / cell_size_), nx_);
    w.ix_end = clamp_position(std::ceil((x0 + e - origin_x_ + half) / cell_size_), nx_);
    w.iy_first = clamp_position(std::floor((y0 - e - origin_y_ + half) / cell_size_), ny_);
    w.iy_end = clamp_position(std::ceil((y0 + e - origin_y_ + half) / cell_size_), ny_);
    // The last column (row) also holds the points within half a cell beyond it, so a
    // square that starts past the table still visits it.
    if (w.ix_first == nx_ && w.ix_end == nx_) w.ix_first = nx_ - 1;
    if (w.iy_first == ny_ && w.iy_end == ny_) w.iy_first = ny_ - 1;
    if (w.ix_end < w.ix_first) w.ix_end = w.ix_first;
    if (w.iy_end < w.iy_first) w.iy_end = w.iy_first;
    return w;
}

int build_cluster_index(double cell_size, const PointData& points, ClusterIndex& index,
                        RunMonitor& monitor, unsigned threads) {
    const PointExtent& e = points.extent;
    const std::span<const WorkPoint> work(points.work.data(), points.count);
    if (!index.build(cell_size, e.x_min, e.y_min, e.x_max, e.y_max, work, threads)) {
        monitor.show_message(
            "Insufficent memory for creting temporary cluster. Increase radius for search!");
        return 1;
    }
    return 0;
}
