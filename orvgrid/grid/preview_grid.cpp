#include "orvgrid/grid/preview_grid.h"

#include <algorithm>
#include <new>
#include <stdexcept>
#include <system_error>
#include <thread>

#include "orvgrid/grid/colouring.h"
#include "orvgrid/grid/node_columns.h"
#include "orvgrid/grid/node_visits.h"
#include "engine/run/ordered_blocks.h"
#include "orvgrid/grid/resample.h"
#include "engine/search/cluster_index.h"
#include "engine/run/run_state.h"

bool column_checkpoint(RunMonitor& monitor) {
    monitor.process_events();
    if (monitor.stop_requested()) {
        if (monitor.ask_yes_no("Cancel calculation?", "Warning")) return false;
        monitor.clear_stop();
    }
    return true;
}

namespace {

unsigned column_threads(unsigned threads, std::size_t nx) {
    if (threads == 0) threads = std::max(1u, std::thread::hardware_concurrency());
    return static_cast<unsigned>(std::min<std::size_t>(threads, nx));
}

// Fills the node grids column by column; between columns the window gets its events
// and a stop request is answered, in column order whatever the number of threads.
// Workers compute whole columns, each node summed as on one thread, so the values do
// not depend on the thread count. Cancelled leaves the stop flag set.
GridOutcome grid_nodes(const PointData& points, const ClusterIndex& index,
                       std::span<const int> positions, double search_radius,
                       double grid_radius, unsigned threads, RunMonitor& monitor,
                       std::span<PreviewGrid> grids) {
    const std::size_t nx = index.nx();
    const std::size_t ny = index.ny();
    for (PreviewGrid& grid : grids) {
        grid.nx = nx;
        grid.ny = ny;
        grid.cell_size = index.cell_size();
        grid.origin_x = index.origin_x();
        grid.origin_y = index.origin_y();
        grid.x_offset = points.extent.x_offset;
        grid.y_offset = points.extent.y_offset;
        grid.values.assign(nx * ny, BLANK_VALUE);
    }
    if (!(index.cell_size() > 0.0)) return GridOutcome::Done;

    NodeLattice lattice;
    prepare_lattice(lattice, points, index, positions, search_radius, grid_radius);
    auto grid_column = [&](std::size_t i) {
        float* columns[MAX_SWEPT_VARIABLES];
        for (std::size_t k = 0; k < grids.size(); ++k) columns[k] = grids[k].values.data() + i * ny;
        grid_node_column(lattice, i, columns);
    };
    auto on_this_thread = [&] {
        for (std::size_t i = 0; i < nx; ++i) {
            grid_column(i);
            if (!column_checkpoint(monitor)) return GridOutcome::Cancelled;
        }
        return GridOutcome::Done;
    };
    const unsigned workers = column_threads(threads, nx);
    if (workers <= 1) return on_this_thread();
    OrderedBlocksOptions options;
    options.threads = workers;
    options.block_size = 1;
    try {
        // Each worker writes only the columns it took; the calling thread only asks.
        const bool finished = run_ordered_blocks<char>(
            nx, options,
            [&](std::size_t i, char&) { grid_column(i); },
            [&](std::size_t, char&) { return column_checkpoint(monitor); },
            [&] {
                monitor.process_events();
                return true;
            });
        return finished ? GridOutcome::Done : GridOutcome::Cancelled;
    } catch (const std::system_error&) {
        // Only starting a worker throws this, before any column was handed back: the
        // columns are gridded here instead.
    }
    return on_this_thread();
}

}  // namespace

GridOutcome grid_node_grids(const PointData& points, const ClusterIndex& index,
                            std::span<const int> positions, double search_radius,
                            double grid_radius, RunMonitor& monitor,
                            std::span<PreviewGrid> grids, unsigned threads) {
    return grid_nodes(points, index, positions, search_radius, grid_radius, threads, monitor,
                      grids.first(positions.size()));
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

GridOutcome gridPreviewVariable(const PointData& points, const ClusterIndex& index,
                                int position, double search_radius, double grid_radius,
                                int width, int height, RunMonitor& monitor,
                                PreviewResult& result, unsigned threads) {
    if (position < 0 || position >= 15) {
        monitor.show_message("No variable selected for this preview");
        return GridOutcome::Failed;
    }
    try {
        PreviewGrid grid;
        const int positions[] = {position};
        const GridOutcome outcome = grid_nodes(points, index, positions, search_radius,
                                               grid_radius, threads, monitor, {&grid, 1});
        if (outcome != GridOutcome::Done) return outcome;
        return finish_preview(std::move(grid), width, height, monitor, result);
    } catch (const std::bad_alloc&) {
    } catch (const std::length_error&) {
    }
    monitor.show_message("Not enough memory for temporary buffer");
    return GridOutcome::Failed;
}
