#include "orvgrid/grid/preview_grid.h"

#include <new>
#include <stdexcept>

#include "orvgrid/grid/colouring.h"
#include "orvgrid/grid/column_sweep.h"
#include "orvgrid/grid/node_columns.h"
#include "orvgrid/grid/resample.h"
#include "engine/search/cluster_index.h"
#include "engine/run/run_state.h"
#include "engine/run/stop_check.h"

namespace {

// Fills the node grid on the index's own lattice. Cancelled leaves the stop flag set.
GridOutcome grid_nodes(const PointData& points, const ClusterIndex& index, int position,
                       double search_radius, double grid_radius, unsigned threads,
                       RunMonitor& monitor, PreviewGrid& grid) {
    grid.nx = index.nx();
    grid.ny = index.ny();
    grid.cell_size = index.cell_size();
    grid.origin_x = index.origin_x();
    grid.origin_y = index.origin_y();
    grid.x_offset = points.extent.x_offset;
    grid.y_offset = points.extent.y_offset;
    grid.values.assign(grid.nx * grid.ny, BLANK_VALUE);
    if (!(grid.cell_size > 0.0)) return GridOutcome::Done;

    NodeLattice lattice;
    prepare_lattice(lattice, points, index, position, search_radius, grid_radius);
    return sweep_node_columns(lattice, threads, monitor, grid.values.data());
}

}  // namespace

GridOutcome gridPreviewVariable(const PointData& points, const ClusterIndex& index,
                                int position, double search_radius, double grid_radius,
                                int width, int height, RunMonitor& monitor,
                                PreviewResult& result, unsigned threads) {
    if (position < 0 || position >= 15) {
        monitor.show_message("No variable selected for this preview");
        return GridOutcome::Failed;
    }
    try {
        PreviewResult fresh;
        const GridOutcome outcome =
            grid_nodes(points, index, position, search_radius, grid_radius, threads,
                       monitor, fresh.grid);
        if (outcome != GridOutcome::Done) return outcome;
        fresh.raster = resample_grid(fresh.grid, width, height);
        take_statistics(fresh.raster);
        fresh.colours = colour_raster(fresh.raster);
        result = std::move(fresh);
        return GridOutcome::Done;
    } catch (const std::bad_alloc&) {
    } catch (const std::length_error&) {
    }
    monitor.show_message("Not enough memory for temporary buffer");
    return GridOutcome::Failed;
}
