#pragma once
// The preview's node gridding as it was first written: node after node, the window's
// cells in order (columns outer, rows inner, each column's cells one run of the index's
// slots), every point that counts measured with std::hypot. The
// gridding code sums from the points' side, in vectors; its node grids must be these,
// bit for bit.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "engine/engine.h"
#include "engine/search/cluster_index.h"
#include "engine/search/radius_test.h"
#include "orvgrid/raster.h"

// The node value of node (i, j) for WorkPoint position `position`.
inline float reference_node_value(const PointData& points, const ClusterIndex& index, int position,
                                  double search_radius, double grid_radius, std::size_t i,
                                  std::size_t j) {
    const double cells = std::ceil(grid_radius / index.cell_size());
    const long long reach = cells > 0.0
                                ? static_cast<long long>(std::min(
                                      cells, static_cast<double>(index.nx() + index.ny() + 1)))
                                : 0;
    const long long nx = static_cast<long long>(index.nx());
    const long long ny = static_cast<long long>(index.ny());
    const long long ii = static_cast<long long>(i);
    const long long jj = static_cast<long long>(j);
    const double x = static_cast<double>(i) * index.cell_size() + index.origin_x();
    const double y = static_cast<double>(j) * index.cell_size() + index.origin_y();
    const BeyondRadius beyond(search_radius);
    double weighted_sum = 0.0;
    double weight_sum = 0.0;
    // The cells of rows iy_first .. iy_end - 1 of one column are one run of slots.
    const std::size_t iy_first = static_cast<std::size_t>(std::max(0LL, jj - reach));
    const std::size_t iy_end = static_cast<std::size_t>(std::max(0LL, std::min(ny, jj + reach)));
    const std::uint32_t* slots = index.slot_points().data();
    for (long long ix = std::max(0LL, ii - reach); ix < std::min(nx, ii + reach); ++ix) {
        const std::size_t column = static_cast<std::size_t>(ix);
        if (iy_first >= iy_end) break;
        const std::size_t end = index.slot_begin(column, iy_end);
        for (std::size_t s = index.slot_begin(column, iy_first); s < end; ++s) {
            const double* v = points.work[slots[s]].value;
            const double dx = x - v[work::x] + 0.001;
            const double dy = y - v[work::y] + 0.001;
            if (beyond(dx, dy)) continue;
            const double d = std::hypot(dx, dy);
            weighted_sum += v[position] / d;
            weight_sum += 1.0 / d;
        }
    }
    if (weight_sum == 0.0) return BLANK_VALUE;
    return static_cast<float>(weighted_sum / weight_sum);
}

// All node values, at i * ny + j.
inline std::vector<float> reference_node_grid(const PointData& points, const ClusterIndex& index,
                                              int position, double search_radius,
                                              double grid_radius) {
    std::vector<float> values(index.nx() * index.ny());
    for (std::size_t i = 0; i < index.nx(); ++i)
        for (std::size_t j = 0; j < index.ny(); ++j)
            values[i * index.ny() + j] =
                reference_node_value(points, index, position, search_radius, grid_radius, i, j);
    return values;
}

// Index of the first value whose bits differ, or values.size() when all are the same.
inline std::size_t first_different_bits(const std::vector<float>& a, const std::vector<float>& b) {
    if (a.size() != b.size()) return 0;
    for (std::size_t k = 0; k < a.size(); ++k)
        if (std::memcmp(&a[k], &b[k], sizeof(float)) != 0) return k;
    return a.size();
}
