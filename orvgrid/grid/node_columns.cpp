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

// Sums every point of the window in the order of its cells (columns outer, rows inner,
// stored order within a cell), which is the order of the index's slots: the cells of
// rows iy_first .. iy_end - 1 of one column are one run of slots. The squared distance
// settles most cut-off tests; a point that counts is weighted by its exact distance.
template <class Samples>
float node_value(const Samples& samples, const ClusterIndex& index, double x, double y,
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
    if (weight_sum == 0.0) return BLANK_VALUE;
    return static_cast<float>(weighted_sum / weight_sum);
}

template <class Samples>
void fill_column(const Samples& samples, const NodeLattice& lattice, std::size_t i,
                 float* column) {
    const ClusterIndex& index = *lattice.index;
    const long long nx = static_cast<long long>(index.nx());
    const long long ny = static_cast<long long>(index.ny());
    const double c = index.cell_size();
    const BeyondRadius beyond(lattice.search_radius);
    const long long reach = lattice.reach;
    const long long ii = static_cast<long long>(i);
    // The window holds the node's own cell, `reach` cells below it and reach - 1 above.
    CellWindow window;
    window.ix_first = static_cast<std::size_t>(std::max(0LL, ii - reach));
    window.ix_end = static_cast<std::size_t>(std::min(nx, ii + reach));
    const double x = static_cast<double>(i) * c + index.origin_x();
    for (long long j = 0; j < ny; ++j) {
        window.iy_first = static_cast<std::size_t>(std::max(0LL, j - reach));
        window.iy_end = static_cast<std::size_t>(std::min(ny, j + reach));
        const double y = static_cast<double>(j) * c + index.origin_y();
        column[j] = node_value(samples, index, x, y, beyond, window);
    }
}

}  // namespace

void prepare_lattice(NodeLattice& lattice, const PointData& points, const ClusterIndex& index,
                     int position, double search_radius, double grid_radius) {
    lattice.points = &points;
    lattice.index = &index;
    lattice.position = position;
    lattice.search_radius = search_radius;
    lattice.reach = window_reach(grid_radius, index.cell_size(), index.nx(), index.ny());
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
    if (!lattice.samples.empty() || lattice.index->slot_points().empty()) {
        fill_column(CopiedSamples{lattice.samples.data()}, lattice, i, column);
    } else {
        fill_column(RecordSamples{lattice.points->work.data(), lattice.index->slot_points().data(),
                                  lattice.position},
                    lattice, i, column);
    }
}
