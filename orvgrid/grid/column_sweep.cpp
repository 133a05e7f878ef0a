#include "orvgrid/grid/column_sweep.h"

#include <algorithm>
#include <thread>

#include "engine/run/ordered_blocks.h"
#include "engine/run/stop_check.h"
#include "orvgrid/grid/node_visits.h"

namespace {

unsigned column_threads(unsigned threads, std::size_t nx) {
    if (threads == 0) threads = std::max(1u, std::thread::hardware_concurrency());
    return static_cast<unsigned>(std::min<std::size_t>(threads, nx));
}

// grid_column(c) for c = 0 .. count - 1; after each, in that order whatever the number
// of threads, the monitor's events and the stop question.
template <class GridColumn>
GridOutcome sweep_columns(std::size_t count, unsigned threads, RunMonitor& monitor,
                          GridColumn&& grid_column) {
    auto on_this_thread = [&] {
        for (std::size_t c = 0; c < count; ++c) {
            grid_column(c);
            if (cancel_confirmed(monitor)) return GridOutcome::Cancelled;
        }
        return GridOutcome::Done;
    };
    const unsigned workers = column_threads(threads, count);
    if (workers <= 1) return on_this_thread();
    OrderedBlocksOptions options;
    options.threads = workers;
    // Columns are handed back in blocks. Waking the calling thread after every column
    // (3000 times a preview of a million points) cost a tenth of a list change in
    // switches between threads. A block is a small share of the columns, so the workers
    // still end together; the events still come after each column in turn, and at most
    // idle_interval apart while the calling thread waits.
    options.block_size = std::clamp<std::size_t>(count / (64u * workers), 1, 32);
    // Each worker writes only the columns it took; the calling thread only asks.
    const bool finished = run_ordered_blocks<char>(
        count, options,
        [&](std::size_t c, char&) { grid_column(c); },
        [&](std::size_t, char&) { return !cancel_confirmed(monitor); },
        [&] {
            monitor.process_events();
            return true;
        });
    return finished ? GridOutcome::Done : GridOutcome::Cancelled;
}

// grids[k] receives the values of lattice.positions[k].
template <class Value>
GridOutcome sweep(const NodeLattice& lattice, unsigned threads, RunMonitor& monitor,
                  Value* const* grids) {
    const std::size_t ny = lattice.nodes.ny;
    const std::size_t count = lattice.positions.size();
    return sweep_columns(lattice.nodes.nx, threads, monitor, [&](std::size_t i) {
        Value* columns[MAX_SWEPT_VARIABLES];
        for (std::size_t k = 0; k < count; ++k) columns[k] = grids[k] + i * ny;
        grid_node_column(lattice, i, columns);
    });
}

}  // namespace

GridOutcome sweep_node_columns(const NodeLattice& lattice, unsigned threads,
                               RunMonitor& monitor, float* const* grids) {
    return sweep(lattice, threads, monitor, grids);
}

GridOutcome sweep_node_columns(const NodeLattice& lattice, unsigned threads,
                               RunMonitor& monitor, float* values) {
    return sweep(lattice, threads, monitor, &values);
}

GridOutcome sweep_node_columns(const NodeLattice& lattice, unsigned threads,
                               RunMonitor& monitor, double* values) {
    return sweep(lattice, threads, monitor, &values);
}

GridOutcome sweep_chosen_nodes(const NodeLattice& lattice, const ChosenRows& rows,
                               std::span<const std::uint32_t> columns, unsigned threads,
                               RunMonitor& monitor, float* const* grids) {
    const std::size_t per_column = rows.count();
    const std::size_t count = lattice.positions.size();
    return sweep_columns(columns.size(), threads, monitor, [&](std::size_t c) {
        float* values[MAX_SWEPT_VARIABLES];
        for (std::size_t k = 0; k < count; ++k) values[k] = grids[k] + c * per_column;
        grid_node_rows(lattice, rows, columns[c], values);
    });
}
