#include "preview_grid.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <stdexcept>

#include "colouring.h"
#include "resample.h"

namespace {

// Number of cells the window reaches from a node: ceil(Rg / c), held within
// 0 .. nx + ny + 1 so that a huge radius cannot overflow the integer (such a window
// already spans the whole lattice).
long long window_reach(double grid_radius, double cell_size, std::size_t nx, std::size_t ny) {
    const double reach = std::ceil(grid_radius / cell_size);
    const double widest = static_cast<double>(nx + ny + 1);
    if (!(reach > 0.0)) return 0;
    return static_cast<long long>(std::min(reach, widest));
}

// Inverse-distance value of node (x, y) from the points listed in the cell window; the
// 0.001 offsets keep a point sitting on the node at a finite distance.
float node_value(const PointData& points, const ClusterIndex& index, int position, double x,
                 double y, double search_radius, const CellWindow& window) {
    double weighted_sum = 0.0;
    double weight_sum = 0.0;
    for (std::size_t ix = window.ix_first; ix < window.ix_end; ++ix) {
        for (std::size_t iy = window.iy_first; iy < window.iy_end; ++iy) {
            for (std::uint32_t p : index.cell_at(ix, iy)) {
                const double* value = points.work[p].value;
                const double dx = x - value[work::x] + 0.001;
                const double dy = y - value[work::y] + 0.001;
                const double d = std::hypot(dx, dy);
                if (d > search_radius) continue;
                weighted_sum += value[position] / d;
                weight_sum += 1.0 / d;
            }
        }
    }
    if (weight_sum == 0.0) return BLANK_VALUE;
    return static_cast<float>(weighted_sum / weight_sum);
}

// The window of node (i, j) holds its own cell, `reach` cells below and reach - 1 above.
CellWindow node_window(long long i, long long j, long long reach, std::size_t nx,
                       std::size_t ny) {
    CellWindow window;
    window.ix_first = static_cast<std::size_t>(std::max(0LL, i - reach));
    window.ix_end = static_cast<std::size_t>(std::min(static_cast<long long>(nx), i + reach));
    window.iy_first = static_cast<std::size_t>(std::max(0LL, j - reach));
    window.iy_end = static_cast<std::size_t>(std::min(static_cast<long long>(ny), j + reach));
    return window;
}

// Fills the node grid column by column; between columns the window gets its events
// and a stop request is answered. Cancelled leaves the stop flag set.
GridOutcome grid_nodes(const PointData& points, const ClusterIndex& index, int position,
                       double search_radius, double grid_radius, RunMonitor& monitor,
                       PreviewGrid& grid) {
    const std::size_t nx = index.nx();
    const std::size_t ny = index.ny();
    const double c = index.cell_size();
    grid.nx = nx;
    grid.ny = ny;
    grid.cell_size = c;
    grid.origin_x = index.origin_x();
    grid.origin_y = index.origin_y();
    grid.x_offset = points.extent.x_offset;
    grid.y_offset = points.extent.y_offset;
    grid.values.assign(nx * ny, BLANK_VALUE);
    if (!(c > 0.0)) return GridOutcome::Done;

    const long long reach = window_reach(grid_radius, c, nx, ny);
    for (std::size_t i = 0; i < nx; ++i) {
        for (std::size_t j = 0; j < ny; ++j) {
            const double x = static_cast<double>(i) * c + grid.origin_x;
            const double y = static_cast<double>(j) * c + grid.origin_y;
            const CellWindow window = node_window(static_cast<long long>(i),
                                                  static_cast<long long>(j), reach, nx, ny);
            grid.values[i * ny + j] =
                node_value(points, index, position, x, y, search_radius, window);
        }
        monitor.process_events();
        if (monitor.stop_requested()) {
            if (monitor.ask_yes_no("Cancel calculation?", "Warning")) return GridOutcome::Cancelled;
            monitor.clear_stop();
        }
    }
    return GridOutcome::Done;
}

}  // namespace

GridOutcome gridPreviewVariable(const PointData& points, const ClusterIndex& index,
                                int position, double search_radius, double grid_radius,
                                int width, int height, RunMonitor& monitor,
                                PreviewResult& result) {
    if (position < 0 || position >= 15) {
        monitor.show_message("No variable selected for this preview");
        return GridOutcome::Failed;
    }
    try {
        PreviewResult fresh;
        const GridOutcome outcome =
            grid_nodes(points, index, position, search_radius, grid_radius, monitor, fresh.grid);
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
