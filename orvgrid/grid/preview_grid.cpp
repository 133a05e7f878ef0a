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

// Lays out the node grid of the index's own lattice, blank.
void lay_out_grid(PreviewGrid& grid, const PointData& points, const ClusterIndex& index,
                  unsigned threads) {
    grid.nx = index.nx();
    grid.ny = index.ny();
    grid.cell_size = index.cell_size();
    grid.origin_x = index.origin_x();
    grid.origin_y = index.origin_y();
    grid.x_offset = points.extent.x_offset;
    grid.y_offset = points.extent.y_offset;
    assign_populated(grid.values, grid.nx * grid.ny, BLANK_VALUE, threads);
}

// The lattice of the index's own nodes for `positions`: `kept` refreshed when given,
// `own` prepared otherwise.
NodeLattice& lattice_for(NodeLattice* kept, NodeLattice& own, const PointData& points,
                         const ClusterIndex& index, std::span<const int> positions,
                         double search_radius, double grid_radius, unsigned threads) {
    NodeLattice& lattice = kept != nullptr ? *kept : own;
    refresh_lattice(lattice, points, index, positions, search_radius, grid_radius,
                    lattice_of_index(index), threads);
    return lattice;
}

// Fills the node grids on the index's own lattice, one for each position, through `kept`
// when given. Cancelled leaves the stop flag set.
GridOutcome grid_nodes(const PointData& points, const ClusterIndex& index,
                       std::span<const int> positions, double search_radius, double grid_radius,
                       unsigned threads, RunMonitor& monitor, std::span<PreviewGrid> grids,
                       NodeLattice* kept) {
    float* values[MAX_SWEPT_VARIABLES];
    for (std::size_t k = 0; k < grids.size(); ++k) {
        lay_out_grid(grids[k], points, index, threads);
        values[k] = grids[k].values.data();
    }
    if (!(index.cell_size() > 0.0)) return GridOutcome::Done;
    NodeLattice own;
    const NodeLattice& lattice = lattice_for(kept, own, points, index, positions, search_radius,
                                             grid_radius, threads);
    return sweep_node_columns(lattice, threads, monitor, values);
}

// The picture's nodes of each position, as grid_nodes grids the whole lattice.
GridOutcome grid_chosen_nodes(const PointData& points, const ClusterIndex& index,
                              std::span<const int> positions, double search_radius,
                              double grid_radius, int width, int height, unsigned threads,
                              RunMonitor& monitor, std::span<PictureNodes> nodes,
                              NodeLattice* kept) {
    float* values[MAX_SWEPT_VARIABLES];
    for (std::size_t k = 0; k < nodes.size(); ++k) {
        nodes[k] = picture_nodes(index.nx(), index.ny(), index.cell_size(), width, height);
        nodes[k].values.assign(nodes[k].columns.size() * nodes[k].rows.size(), BLANK_VALUE);
        values[k] = nodes[k].values.data();
    }
    if (!(index.cell_size() > 0.0)) return GridOutcome::Done;

    // The copy is taken even for a picture without nodes: `kept` then holds these values,
    // as after any gridding.
    NodeLattice own;
    const NodeLattice& lattice = lattice_for(kept, own, points, index, positions, search_radius,
                                             grid_radius, threads);
    if (nodes.empty() || nodes[0].values.empty()) return GridOutcome::Done;
    const ChosenRows rows = choose_rows(lattice, nodes[0].rows);
    return sweep_chosen_nodes(lattice, rows, nodes[0].columns, threads, monitor, values);
}

// Throws `complaint` unless there are 1 to MAX_SWEPT_VARIABLES positions and somewhere to
// put the values of each.
void check_positions(std::span<const int> positions, std::size_t outputs, const char* complaint) {
    if (positions.empty() || positions.size() > MAX_SWEPT_VARIABLES || outputs < positions.size())
        throw std::invalid_argument(complaint);
}

// work()'s outcome, or Failed with the lack of memory said when work() runs out of it.
template <class Work>
GridOutcome within_memory(RunMonitor& monitor, Work&& work) {
    try {
        return work();
    } catch (const std::bad_alloc&) {
    } catch (const std::length_error&) {
    }
    monitor.show_message("Not enough memory for temporary buffer");
    return GridOutcome::Failed;
}

// A raster made by resample(fresh), its statistics and colours, into `result`; the lack of
// memory said, `result` then left as it was.
template <class Resample>
GridOutcome finish_raster(RunMonitor& monitor, PreviewResult& result, Resample&& resample) {
    return within_memory(monitor, [&] {
        PreviewResult fresh;
        resample(fresh);
        take_statistics(fresh.raster);
        fresh.colours = colour_raster(fresh.raster);
        result = std::move(fresh);
        return GridOutcome::Done;
    });
}

// One position gridded into a Grid and finished into `result`; a missing variable and
// the lack of memory said.
template <class Grid>
GridOutcome grid_preview(const PointData& points, const ClusterIndex& index, int position,
                         double search_radius, double grid_radius, int width, int height,
                         RunMonitor& monitor, PreviewResult& result, unsigned threads,
                         NodeLattice* kept) {
    if (position < 0 || position >= 15) {
        monitor.show_message("No variable selected for this preview");
        return GridOutcome::Failed;
    }
    return within_memory(monitor, [&] {
        Grid grid;
        const int positions[] = {position};
        const GridOutcome outcome =
            grid_positions(std::span<Grid>(&grid, 1), points, index, positions, search_radius,
                           grid_radius, width, height, monitor, threads, kept);
        if (outcome != GridOutcome::Done) return outcome;
        return finish_preview(std::move(grid), width, height, monitor, result);
    });
}

}  // namespace

GridOutcome grid_node_grids(const PointData& points, const ClusterIndex& index,
                            std::span<const int> positions, double search_radius,
                            double grid_radius, RunMonitor& monitor, std::span<PreviewGrid> grids,
                            unsigned threads, NodeLattice* kept) {
    check_positions(positions, grids.size(), "grid_node_grids: 1 to 3 positions, a grid for each");
    return grid_nodes(points, index, positions, search_radius, grid_radius, threads, monitor,
                      grids.first(positions.size()), kept);
}

GridOutcome finish_preview(PreviewGrid grid, int width, int height, RunMonitor& monitor,
                           PreviewResult& result) {
    return finish_raster(monitor, result, [&](PreviewResult& fresh) {
        fresh.raster = resample_grid(grid, width, height);
        fresh.grid = std::move(grid);
    });
}

GridOutcome gridPreviewVariable(const PointData& points, const ClusterIndex& index, int position,
                                double search_radius, double grid_radius, int width, int height,
                                RunMonitor& monitor, PreviewResult& result, unsigned threads,
                                NodeLattice* kept, GriddedNodes nodes) {
    const auto grid = nodes == GriddedNodes::WholeLattice ? grid_preview<PreviewGrid>
                                                          : grid_preview<PictureNodes>;
    return grid(points, index, position, search_radius, grid_radius, width, height, monitor,
                result, threads, kept);
}

GridOutcome grid_positions(std::span<PreviewGrid> grids, const PointData& points,
                           const ClusterIndex& index, std::span<const int> positions,
                           double search_radius, double grid_radius, int, int,
                           RunMonitor& monitor, unsigned threads, NodeLattice* kept) {
    return grid_node_grids(points, index, positions, search_radius, grid_radius, monitor, grids,
                           threads, kept);
}

GridOutcome grid_positions(std::span<PictureNodes> nodes, const PointData& points,
                           const ClusterIndex& index, std::span<const int> positions,
                           double search_radius, double grid_radius, int width, int height,
                           RunMonitor& monitor, unsigned threads, NodeLattice* kept) {
    check_positions(positions, nodes.size(), "grid_positions: 1 to 3 positions, nodes for each");
    return grid_chosen_nodes(points, index, positions, search_radius, grid_radius, width, height,
                             threads, monitor, nodes.first(positions.size()), kept);
}

GridOutcome finish_preview(const PictureNodes& nodes, int width, int height, RunMonitor& monitor,
                           PreviewResult& result) {
    return finish_raster(monitor, result, [&](PreviewResult& fresh) {
        fresh.raster = resample_picture(nodes, width, height);
    });
}

GridOutcome grid_prepared_lattice(const PointData& points, const ClusterIndex& index,
                                  const NodeLattice& lattice, RunMonitor& monitor,
                                  PreviewGrid& grid, unsigned threads) {
    return within_memory(monitor, [&] {
        PreviewGrid fresh;
        lay_out_grid(fresh, points, index, threads);
        float* columns[] = {fresh.values.data()};
        const GridOutcome outcome = sweep_node_columns(lattice, threads, monitor, columns);
        if (outcome == GridOutcome::Done) grid = std::move(fresh);
        return outcome;
    });
}
