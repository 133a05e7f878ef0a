#pragma once
// Gridding of one point variable for a preview: inverse-distance weighting onto the
// nodes of the cluster index, then resampling, statistics and colouring.

#include <span>

#include "engine/engine.h"
#include "orvgrid/grid/resample.h"
#include "orvgrid/raster.h"
#include "engine/search/cluster_index.h"
#include "engine/run/run_state.h"

struct NodeLattice;

struct PreviewResult {
    PreviewGrid grid;  // empty (nx = 0) when only the picture's nodes were gridded
    PreviewRaster raster;
    ColourImage colours;
};

// Which nodes a preview's gridding fills: the whole lattice, or only those its picture is
// resampled from (picture_nodes). The raster and colours are the same bit for bit; the
// node grid of the result is then left empty.
enum class GriddedNodes { WholeLattice, PictureOnly };

// Grids WorkPoint position `position` of all points over the index's node lattice,
// resamples it to width x height pixels and colours it. Points farther than
// search_radius from a node never count; grid_radius sets the cell window. Asks
// "Cancel calculation?" when a stop is requested between node columns. Done fills
// `result`; Cancelled (stop flag left set) and Failed (message shown) leave it as it was.
// The node columns are computed on `threads` threads (0: all cores, 1: this thread
// alone); the values and the questions are the same whatever the count. `kept`, when
// given, is the lattice a former gridding left (refresh_lattice): a gridding of the same
// points takes only their values anew, and leaves it for the next. With
// GriddedNodes::PictureOnly the events and the stop question come after each of the
// picture's node columns.
GridOutcome gridPreviewVariable(const PointData& points, const ClusterIndex& index, int position,
                                double search_radius, double grid_radius, int width, int height,
                                RunMonitor& monitor, PreviewResult& result, unsigned threads = 1,
                                NodeLattice* kept = nullptr,
                                GriddedNodes nodes = GriddedNodes::WholeLattice);

// The node grids of several positions (1 to 3; valid WorkPoint positions) in one pass
// over the lattice: the distances and weights are computed once for all of them. Each
// grid is the one gridPreviewVariable makes for its position, bit for bit; events and
// the stop question come between node columns as there. Done fills grids[k] for
// positions[k]; Cancelled leaves the stop flag set. Throws std::bad_alloc when the grids
// do not fit (callers grid fewer positions at once, or report the lack of memory).
// `kept` as for gridPreviewVariable.
GridOutcome grid_node_grids(const PointData& points, const ClusterIndex& index,
                            std::span<const int> positions, double search_radius,
                            double grid_radius, RunMonitor& monitor, std::span<PreviewGrid> grids,
                            unsigned threads = 1, NodeLattice* kept = nullptr);

// Resamples a finished node grid to width x height pixels, takes the statistics and
// colours it into `result` (which takes the grid): Done, or Failed with "Not enough
// memory for temporary buffer" shown and `result` left as it was.
GridOutcome finish_preview(PreviewGrid grid, int width, int height, RunMonitor& monitor,
                           PreviewResult& result);

// The node values of `positions` for the previews' pictures of width x height pixels: the
// whole lattice's (grid_node_grids), or only the nodes each picture is resampled from,
// nodes[k] receiving picture_nodes' layout on the index's lattice and the values of
// positions[k]. Events, the stop question and std::bad_alloc as grid_node_grids.
GridOutcome grid_positions(std::span<PreviewGrid> grids, const PointData& points,
                           const ClusterIndex& index, std::span<const int> positions,
                           double search_radius, double grid_radius, int width, int height,
                           RunMonitor& monitor, unsigned threads = 1,
                           NodeLattice* kept = nullptr);
GridOutcome grid_positions(std::span<PictureNodes> nodes, const PointData& points,
                           const ClusterIndex& index, std::span<const int> positions,
                           double search_radius, double grid_radius, int width, int height,
                           RunMonitor& monitor, unsigned threads = 1,
                           NodeLattice* kept = nullptr);

// As finish_preview, from the picture's nodes; result.grid is left empty.
GridOutcome finish_preview(const PictureNodes& nodes, int width, int height, RunMonitor& monitor,
                           PreviewResult& result);

// The node grid of the index's own lattice from `lattice`, prepared on it for one
// position (refresh_lattice_values): Done fills `grid`; otherwise as grid_node_grids, the
// lack of memory said.
GridOutcome grid_prepared_lattice(const PointData& points, const ClusterIndex& index,
                                  const NodeLattice& lattice, RunMonitor& monitor,
                                  PreviewGrid& grid, unsigned threads = 1);
