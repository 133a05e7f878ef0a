#pragma once
// Gridding of one point variable for a preview: inverse-distance weighting onto the
// nodes of the cluster index, then resampling, statistics and colouring.

#include "engine/engine.h"
#include "orvgrid/raster.h"
#include "engine/search/cluster_index.h"
#include "engine/run/run_state.h"

struct PreviewResult {
    PreviewGrid grid;
    PreviewRaster raster;
    ColourImage colours;
};

// Grids WorkPoint position `position` of all points over the index's node lattice,
// resamples it to width x height pixels and colours it. Points farther than
// search_radius from a node never count; grid_radius sets the cell window. Asks
// "Cancel calculation?" when a stop is requested between node columns. Done fills
// `result`; Cancelled (stop flag left set) and Failed (message shown) leave it as it was.
// The node columns are computed on `threads` threads (0: all cores, 1: this thread
// alone); the values and the questions are the same whatever the count.
GridOutcome gridPreviewVariable(const PointData& points, const ClusterIndex& index,
                                int position, double search_radius, double grid_radius,
                                int width, int height, RunMonitor& monitor,
                                PreviewResult& result, unsigned threads = 1);
