#include "orvgrid/grid/node_columns.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <span>

#include "orvgrid/raster.h"
#include "engine/search/radius_test.h"
#include "engine/search/cluster_index.h"

namespace {

// ceil(Rg / c), held within 0 .. nx + ny + 1 so that a huge radius cannot overflow the
// integer (such a window already spans the whole lattice).
long long window_reach(double grid_radius, double cell_size, std::size_t nx, std::size_t ny) {
    const double reach = std::ceil(grid_radius / cell_size);
    const double widest = static_cast<double>(nx + ny + 1);
    if (!(reach > 0.0)) return 0;
    return static_cast<long long>(std::min(reach, widest));
}

// The points of the copy, slot after slot.
struct CopiedSamples {
    const NodeSample* samples;
    NodeSample at(std::size_t slot) const { return samples[slot]; }
};

// The point records themselves, reached through the index's slots.
struct RecordSamples {
    const WorkPoint* work;
    const std::uint32_t* slots;
    int position;
    NodeSample at(std::size_t slot) const {
        const double* v = work[slots[slot]].value;
        return {v[work::x], v[work::y], v[position]};
    }
};

// The index cell that holds a node at `coordinate` along one axis, by the index's
// binning rule, kept within -reach - 1 .. n + reach: every window beyond is empty anyway.
long long cell_along(double coordinate, double origin, double cell_size, std::size_t n,
                     long long reach) {
    const double cell = std::floor((coordinate - origin + 0.5 * cell_size) / cell_size);
    const double low = -static_cast<double>(reach) - 1.0;
    const double high = static_cast<double>(n) + static_cast<double>(reach);
    if (!(cell > low)) return static_cast<long long>(low);
    if (cell > high) return static_cast<long long>(high);
    return static_cast<long long>(cell);
}

// Cells cell - reach .. cell + reach - 1 of 0 .. n - 1: the node's own cell, `reach`
// cells below it and reach - 1 above.
void window_along(long long cell, long long reach, std::size_t n, std::size_t& first,
                  std::size_t& end) {
    const long long count = static_cast<long long>(n);
    first = static_cast<std::size_t>(std::clamp(cell - reach, 0LL, count));
    end = static_cast<std::size_t>(std::clamp(cell + reach, 0LL, count));
}

// Sums every point of the window in the order of its cells (columns outer, rows inner,
// stored order within a cell), which is the order of the index's slots: the cells of
// rows iy_first .. iy_end - 1 of one column are one run of slots. The squared distance
// settles most cut-off tests; a point that counts is weighted by its exact distance.
template <class Samples>
double node_value(const Samples& samples, const ClusterIndex& index, double x, double y,
                  const BeyondRadius& beyond, const CellWindow& window) {
    double weighted_sum = 0.0;
    double weight_sum = 0.0;
    for (std::size_t ix = window.ix_first; ix < window.ix_end; ++ix) {
        const std::size_t end = index.slot_begin(ix, window.iy_end);
        for (std::size_t s = index.slot_begin(ix, window.iy_first); s < end; ++s) {
            const NodeSample p = samples.at(s);
            const double dx = x - p.x + 0.001;
            const double dy = y - p.y + 0.001;
            if (beyond(dx, dy)) continue;
            const double d = std::hypot(dx, dy);
            weighted_sum += p.value / d;
            weight_sum += 1.0 / d;
        }
    }
    if (weight_sum == 0.0) return LATTICE_BLANK;
    return weighted_sum / weight_sum;
}

template <class Samples, class Value>
void fill_column(const Samples& samples, const NodeLattice& lattice, std::size_t i,
                 Value* column) {
    const ClusterIndex& index = *lattice.index;
    const GridLattice& nodes = lattice.nodes;
    const double c = index.cell_size();
    const BeyondRadius beyond(lattice.search_radius);
    const long long reach = lattice.reach;
    const double x = static_cast<double>(i) * nodes.cell_size + nodes.origin_x;
    const long long cell_x = lattice.nodes_on_index
                                 ? static_cast<long long>(i)
                                 : cell_along(x, index.origin_x(), c, index.nx(), reach);
    CellWindow window;
    window_along(cell_x, reach, index.nx(), window.ix_first, window.ix_end);
    for (std::size_t j = 0; j < nodes.ny; ++j) {
        const double y = static_cast<double>(j) * nodes.cell_size + nodes.origin_y;
        const long long cell_y = lattice.nodes_on_index
                                     ? static_cast<long long>(j)
                                     : cell_along(y, index.origin_y(), c, index.ny(), reach);
        window_along(cell_y, reach, index.ny(), window.iy_first, window.iy_end);
        column[j] = static_cast<Value>(node_value(samples, index, x, y, beyond, window));
    }
}

template <class Value>
void grid_column(const NodeLattice& lattice, std::size_t i, Value* column) {
    if (!lattice.samples.empty() || lattice.index->slot_points().empty()) {
        fill_column(CopiedSamples{lattice.samples.data()}, lattice, i, column);
    } else {
        fill_column(RecordSamples{lattice.points->work.data(), lattice.index->slot_points().data(),
                                  lattice.position},
                    lattice, i, column);
    }
}

}  // namespace

void prepare_lattice(NodeLattice& lattice, const PointData& points, const ClusterIndex& index,
                     int position, double search_radius, double grid_radius) {
    prepare_lattice(lattice, points, index, position, search_radius, grid_radius,
                    lattice_of_index(index));
}

void prepare_lattice(NodeLattice& lattice, const PointData& points, const ClusterIndex& index,
                     int position, double search_radius, double grid_radius,
                     const GridLattice& nodes) {
    lattice.points = &points;
    lattice.index = &index;
    lattice.position = position;
    lattice.search_radius = search_radius;
    lattice.reach = window_reach(grid_radius, index.cell_size(), index.nx(), index.ny());
    lattice.nodes = nodes;
    lattice.nodes_on_index = nodes.cell_size == index.cell_size() &&
                             nodes.origin_x == index.origin_x() &&
                             nodes.origin_y == index.origin_y();
    lattice.samples.clear();
    const std::span<const std::uint32_t> slots = index.slot_points();
    const RecordSamples records{points.work.data(), slots.data(), position};
    try {
        lattice.samples.resize(slots.size());
    } catch (const std::bad_alloc&) {
        lattice.samples = {};  // read the records instead, a little slower
        return;
    }
    for (std::size_t s = 0; s < slots.size(); ++s) lattice.samples[s] = records.at(s);
}

void grid_node_column(const NodeLattice& lattice, std::size_t i, float* column) {
    grid_column(lattice, i, column);
}

void grid_node_column(const NodeLattice& lattice, std::size_t i, double* column) {
    grid_column(lattice, i, column);
}
