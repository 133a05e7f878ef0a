#include "orvgrid/grid/lattice_grid.h"

#include <cmath>

#include "orvgrid/grid/column_sweep.h"
#include "orvgrid/grid/node_columns.h"

namespace {

// Nodes along one axis, counted as the cluster index counts its cells; 0 when the
// extent cannot be laid out.
double nodes_along(double low, double high, double cell_size) {
    const double n = std::floor((high - low + cell_size) / cell_size);
    if (!(n >= 1.0) || !std::isfinite(n)) return 0.0;
    return n;
}

}  // namespace

std::optional<GridLattice> lattice_over_extent(const PointExtent& extent, double cell_size,
                                               std::size_t max_nodes) {
    if (!(cell_size > 0.0) || !std::isfinite(cell_size)) return std::nullopt;
    const double nx = nodes_along(extent.x_min, extent.x_max, cell_size);
    const double ny = nodes_along(extent.y_min, extent.y_max, cell_size);
    // Compared in double first: a product beyond 2^64 cannot wrap into a small count.
    if (nx == 0.0 || ny == 0.0 || nx * ny > static_cast<double>(max_nodes)) return std::nullopt;
    GridLattice lattice;
    lattice.nx = static_cast<std::size_t>(nx);
    lattice.ny = static_cast<std::size_t>(ny);
    if (lattice.nodes() > max_nodes) return std::nullopt;
    lattice.origin_x = extent.x_min;
    lattice.origin_y = extent.y_min;
    lattice.cell_size = cell_size;
    return lattice;
}

GridLattice lattice_of_index(const ClusterIndex& index) {
    GridLattice lattice;
    lattice.nx = index.nx();
    lattice.ny = index.ny();
    lattice.origin_x = index.origin_x();
    lattice.origin_y = index.origin_y();
    lattice.cell_size = index.cell_size();
    return lattice;
}

GridOutcome grid_lattice(const PointData& points, const ClusterIndex& index, int position,
                         double search_radius, double grid_radius, const GridLattice& lattice,
                         RunMonitor& monitor, std::vector<double>& values, unsigned threads) {
    values.assign(lattice.nodes(), LATTICE_BLANK);
    if (index.empty() || !(index.cell_size() > 0.0)) return GridOutcome::Done;
    NodeLattice nodes;
    prepare_lattice(nodes, points, index, position, search_radius, grid_radius, lattice, threads);
    return sweep_node_columns(nodes, threads, monitor, values.data());
}
