#include "engine/search/cluster_index.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <limits>
#include <new>

#include "engine/memory/populated_resize.h"
#include "engine/run/split_work.h"

namespace {

// Above this many cells the table (up to 4 bytes a cell, plus the previews laid out on the
// same lattice) would crowd the machine; such a run is refused like a failed allocation.
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
        if (!lay_out_narrow(cell_of, cells, threads)) lay_out_wide(cell_of, cells);
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

// Counting sort, the counts kept as offsets within each group of cells: points are
// placed in file order, so indices ascend within a cell. False, with nothing kept, when
// a group holds too many points for 16-bit offsets. Each thread owns a range of whole
// groups: it counts and places the points of its cells, reading all of cell_of in file
// order, so that no two threads touch one count.
bool ClusterIndex::lay_out_narrow(std::span<const std::uint32_t> cell_of, std::size_t cells,
                                  unsigned threads) {
    const std::size_t groups = cells / CELL_GROUP + 1;  // cell `cells` ends the last
    HugePageVector<std::uint32_t> base(groups, 0);
    HugePageVector<std::uint16_t> start;
    assign_populated(start, cells + 1, std::uint16_t{0}, threads);
    const auto for_each_own_point = [&](std::size_t first_group, std::size_t end_group,
                                        auto&& take) {
        const std::uint32_t low = static_cast<std::uint32_t>(first_group * CELL_GROUP);
        const std::uint64_t high = static_cast<std::uint64_t>(end_group) * CELL_GROUP;
        for (std::size_t p = 0; p < cell_of.size(); ++p) {
            const std::uint32_t c = cell_of[p];
            if (c >= low && c < high && !take(p, c)) return;
        }
    };
    // Counts of the groups first, so that a cell's count never wraps before its group
    // is found too full.
    std::atomic<bool> too_full{false};
    split_work(groups, threads, [&](std::size_t first_group, std::size_t end_group) {
        for_each_own_point(first_group, end_group, [&](std::size_t, std::uint32_t c) {
            if (++base[c / CELL_GROUP] > 0xFFFF) {
                too_full.store(true, std::memory_order_relaxed);
                return false;
            }
            ++start[c];
            return true;
        });
    });
    if (too_full.load()) return false;
    std::uint32_t before = 0;  // points of the earlier groups
    for (std::size_t g = 0; g < groups; ++g) {
        const std::uint32_t held = base[g];
        base[g] = before;
        before += held;
    }
    split_work(groups, threads, [&](std::size_t first_group, std::size_t end_group) {
        for (std::size_t g = first_group; g < end_group; ++g) {
            std::uint16_t running = 0;
            const std::size_t end = std::min(cells + 1, (g + 1) * CELL_GROUP);
            for (std::size_t c = g * CELL_GROUP; c < end; ++c) {
                const std::uint16_t count = start[c];
                start[c] = running;
                running = static_cast<std::uint16_t>(running + count);
            }
        }
        for_each_own_point(first_group, end_group, [&](std::size_t p, std::uint32_t c) {
            indices_[base[c / CELL_GROUP] + start[c]++] = static_cast<std::uint32_t>(p);
            return true;
        });
        // Each start now holds its cell's end, which is where the next cell of the
        // group begins; a group's first cell starts at 0.
        const std::size_t end = std::min(cells + 1, end_group * CELL_GROUP);
        for (std::size_t c = end; c-- > first_group * CELL_GROUP;)
            start[c] = c % CELL_GROUP == 0 ? 0 : start[c - 1];
    });
    group_base_ = std::move(base);
    start_in_group_ = std::move(start);
    return true;
}

void ClusterIndex::lay_out_wide(std::span<const std::uint32_t> cell_of, std::size_t cells) {
    HugePageVector<std::uint32_t> starts(cells + 1, 0);
    for (const std::uint32_t c : cell_of) ++starts[c + 1];
    for (std::size_t c = 0; c < cells; ++c) starts[c + 1] += starts[c];
    // Afterwards starts[c] holds the end of cell c and is moved back one.
    for (std::size_t p = 0; p < cell_of.size(); ++p)
        indices_[starts[cell_of[p]]++] = static_cast<std::uint32_t>(p);
    for (std::size_t c = cells; c > 0; --c) starts[c] = starts[c - 1];
    starts[0] = 0;
    wide_starts_ = std::move(starts);
}

void ClusterIndex::clear() {
    nx_ = ny_ = 0;
    cell_size_ = origin_x_ = origin_y_ = 0.0;
    release_storage(group_base_);
    release_storage(start_in_group_);
    release_storage(wide_starts_);
    release_storage(indices_);
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
