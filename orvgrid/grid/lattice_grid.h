#pragma once
// The preview's gridding rule on any regular lattice of nodes: one entry shared by the
// previews, the exported grids and the map window, so that a grid at the preview's node
// spacing is the preview's node grid, whoever asks for it.

#include <cstddef>
#include <optional>
#include <vector>

#include "engine/engine.h"
#include "engine/run/run_state.h"
#include "engine/search/cluster_index.h"
#include "orvgrid/raster.h"

// A regular lattice of nodes in the stored (shifted) coordinates: node (i, j) lies at
// (origin_x + i * cell_size, origin_y + j * cell_size); values are kept at i * ny + j.
struct GridLattice {
    std::size_t nx = 0, ny = 0;
    double origin_x = 0.0, origin_y = 0.0;
    double cell_size = 0.0;

    std::size_t nodes() const { return nx * ny; }
};

// The value of a node without any weighted point: the preview's BLANK_VALUE, widened.
inline constexpr double LATTICE_BLANK = BLANK_VALUE;

// The lattice of `cell_size` over the extent: its origin is the extent's low corner and
// it holds floor((max - min + cell_size) / cell_size) nodes along each axis, the
// cluster index's own count, so a cell size equal to the index's gives the index's
// lattice. nullopt when the cell size is not a positive finite number, or the node count
// overflows or exceeds max_nodes (callers say "not enough memory" before allocating).
std::optional<GridLattice> lattice_over_extent(const PointExtent& extent, double cell_size,
                                               std::size_t max_nodes);

// The lattice of the index's own cells: node (i, j) at the centre of cell (i, j).
GridLattice lattice_of_index(const ClusterIndex& index);

// Grids WorkPoint position `position` onto `lattice` with the preview's rule: the
// candidates of a node are the points the index lists in the cell window the preview
// uses around the index cell holding the node (K = ceil(grid_radius / index cell
// size)); each weighs 1/d with d measured with the +0.001 offsets, points farther than
// search_radius skip, and a node without weight is LATTICE_BLANK. On the index's own
// lattice every value, made a float, is the preview's node value bit for bit. Between
// node columns the monitor gets its events and a stop request is answered with
// "Cancel calculation?", as the preview does; Cancelled leaves `values` partly filled.
// `values` receives lattice.nodes() values. threads: 0 all cores, 1 this thread alone.
// Throws std::bad_alloc when `values` cannot be had.
GridOutcome grid_lattice(const PointData& points, const ClusterIndex& index, int position,
                         double search_radius, double grid_radius, const GridLattice& lattice,
                         RunMonitor& monitor, std::vector<double>& values,
                         unsigned threads = 1);
