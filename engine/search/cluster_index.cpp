#include "engine/search/cluster_index.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <new>

namespace {

// Above this many cells the table (4 bytes a cell, plus the previews laid out on the
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

}  // namespace

bool ClusterIndex::build(double cell_size, double origin_x, double origin_y, double x_max,
                         double y_max, std::span<const WorkPoint> points) {
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
        HugePageVector<std::uint32_t> cell_of(points.size());
        HugePageVector<std::uint32_t> offsets(cells + 1, 0);
        HugePageVector<std::uint32_t> indices(points.size());

        // A point the rule puts one column (row) past the table, within half a cell of
        // x_max (y_max), goes into the last column (row): the covering window of any
        // square holding it reaches that column. A NaN coordinate lands in cell 0.
        for (std::size_t p = 0; p < points.size(); ++p) {
            const double x = points[p].value[work::x];
            const double y = points[p].value[work::y];
            std::size_t i = clamp_position(std::floor((x - origin_x + 0.5 * cell_size) / cell_size), nx);
            std::size_t k = clamp_position(std::floor((y - origin_y + 0.5 * cell_size) / cell_size), ny);
            if (i == nx) i = nx - 1;
            if (k == ny) k = ny - 1;
            cell_of[p] = static_cast<std::uint32_t>(i * ny + k);
            ++offsets[cell_of[p] + 1];
        }
        for (std::size_t c = 0; c < cells; ++c) offsets[c + 1] += offsets[c];
        // Counting sort: points are placed in file order, so indices ascend within a
        // cell; afterwards offsets[c] holds the end of cell c and is moved back one.
        for (std::size_t p = 0; p < points.size(); ++p)
            indices[offsets[cell_of[p]]++] = static_cast<std::uint32_t>(p);
        for (std::size_t c = cells; c > 0; --c) offsets[c] = offsets[c - 1];
        offsets[0] = 0;

        offsets_ = std::move(offsets);
        indices_ = std::move(indices);
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

void ClusterIndex::clear() {
    nx_ = ny_ = 0;
    cell_size_ = origin_x_ = origin_y_ = 0.0;
    offsets_ = {};
    indices_ = {};
}

std::span<const std::uint32_t> ClusterIndex::cell_at(std::size_t i, std::size_t k) const {
    const std::size_t c = i * ny_ + k;
    return std::span<const std::uint32_t>(indices_).subspan(offsets_[c], offsets_[c + 1] - offsets_[c]);
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
                        RunMonitor& monitor) {
    const PointExtent& e = points.extent;
    const std::span<const WorkPoint> work(points.work.data(), points.count);
    if (!index.build(cell_size, e.x_min, e.y_min, e.x_max, e.y_max, work)) {
        monitor.show_message(
            "Insufficent memory for creting temporary cluster. Increase radius for search!");
        return 1;
    }
    return 0;
}
