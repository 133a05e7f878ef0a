#include "orvgrid/grid/preview_grid.h"

#include <new>
#include <stdexcept>

#include "engine/memory/populated_resize.h"
#include "orvgrid/grid/colouring.h"
#include "orvgrid/grid/column_sweep.h"
#include "orvgrid/grid/node_columns.h"
#include "orvgrid/grid/node_visits.h"
#include "orvgrid/grid/resample.h"
#include "engine/search/cluster_index.h"
#include "engine/run/run_state.h"

namespace {

// Fills the node grids on the index's own lattice, one for each position, through `kept`
// when given. Cancelled leaves the stop flag set.
GridOutcome grid_nodes(const PointData& points, const ClusterIndex& index,
                       std::span<const int> positions, double search_radius, double grid_radius,
                       unsigned threads, RunMonitor& monitor, std::span<PreviewGrid> grids,
                       NodeLattice* kept) {
    float* values[MAX_SWEPT_VARIABLES];
    for (std::size_t k = 0; k < grids.size(); ++k) {
        PreviewGrid& grid = grids[k];
        grid.nx = index.nx();
        grid.ny = index.ny();
        grid.cell_size = index.cell_size();
        grid.origin_x = index.origin_x();
        grid.origin_y = index.origin_y();
        grid.x_offset = points.extent.x_offset;
        grid.y_offset = points.extent.y_offset;
        assign_populated(grid.values, grid.nx * grid.ny, BLANK_VALUE, threads);
        values[k] = grid.values.data();
    }
    if (!(index.cell_size() > 0.0)) return GridOutcome::Done;

    NodeLattice own;
    NodeLattice& lattice = kept != nullptr ? *kept : own;
    refresh_lattice(lattice, points, index, positions, search_radius, grid_radius,
                    lattice_of_index(index), threads);
    return sweep_node_columns(lattice, threads, monitor, values);
}

}  // namespace

GridOutcome grid_node_grids(const PointData& points, const ClusterIndex& index,
                            std::span<const int> positions, double search_radius,
                            double grid_radius, RunMonitor& monitor, std::span<PreviewGrid> grids,
                            unsigned threads, NodeLattice* kept) {
    if (positions.empty() || positions.size() > MAX_SWEPT_VARIABLES || grids.size() < positions.size())
        throw std::invalid_argument("grid_node_grids: 1 to 3 positions, a grid for each");
    return grid_nodes(points, index, positions, search_radius, grid_radius, threads, monitor,
                      grids.first(positions.size()), kept);
}

GridOutcome finish_preview(PreviewGrid grid, int width, int height, RunMonitor& monitor,
                           PreviewResult& result) {
    try {
        PreviewResult fresh;
        fresh.raster = resample_grid(grid, width, height);
        take_statistics(fresh.raster);
        fresh.colours = colour_raster(fresh.raster);
        fresh.grid = std::move(grid);
        result = std::move(fresh);
        return GridOutcome::Done;
    } catch (const std::bad_alloc&) {
    } catch (const std::length_error&) {
    }
    monitor.show_message("Not enough memory for temporary buffer");
    return GridOutcome::Failed;
}

GridOutcome gridPreviewVariable(const PointData& points, const ClusterIndex& index, int position,
                                double search_radius, double grid_radius, int width, int height,
                                RunMonitor& monitor, PreviewResult& result, unsigned threads,
                                NodeLattice* kept) {
    if (position < 0 || position >= 15) {
        monitor.show_message("No variable selected for this preview");
        return GridOutcome::Failed;
    }
    try {
        PreviewGrid grid;
        const int positions[] = {position};
        const GridOutcome outcome = grid_nodes(points, index, positions, search_radius, grid_radius,
                                               threads, monitor, {&grid, 1}, kept);
        if (outcome != GridOutcome::Done) return outcome;
        return finish_preview(std::move(grid), width, height, monitor, result);
    } catch (const std::bad_alloc&) {
    } catch (const std::length_error&) {
    }
    monitor.show_message("Not enough memory for temporary buffer");
    return GridOutcome::Failed;
}
