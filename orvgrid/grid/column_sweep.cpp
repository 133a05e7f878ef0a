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

// grids[k] receives the values of lattice.positions[k].
template <class Value>
GridOutcome sweep(const NodeLattice& lattice, unsigned threads, RunMonitor& monitor,
                  Value* const* grids) {
    const std::size_t nx = lattice.nodes.nx;
    const std::size_t ny = lattice.nodes.ny;
    const std::size_t count = lattice.positions.size();
    auto grid_column = [&](std::size_t i) {
        Value* columns[MAX_SWEPT_VARIABLES];
        for (std::size_t k = 0; k < count; ++k) columns[k] = grids[k] + i * ny;
        grid_node_column(lattice, i, columns);
    };
    auto on_this_thread = [&] {
        for (std::size_t i = 0; i < nx; ++i) {
            grid_column(i);
            if (cancel_confirmed(monitor)) return GridOutcome::Cancelled;
        }
        return GridOutcome::Done;
    };
    const unsigned workers = column_threads(threads, nx);
    if (workers <= 1) return on_this_thread();
    OrderedBlocksOptions options;
    options.threads = workers;
    // Columns are handed back in blocks. Waking the calling thread after every column
    // (3000 times a preview of a million points) cost a tenth of a list change in
    // switches between threads. A block is a small share of the columns, so the workers
    // still end together; the events still come after each column in turn, and at most
    // idle_interval apart while the calling thread waits.
    options.block_size = std::clamp<std::size_t>(nx / (64u * workers), 1, 32);
    // Each worker writes only the columns it took; the calling thread only asks.
    const bool finished = run_ordered_blocks<char>(
        nx, options,
        [&](std::size_t i, char&) { grid_column(i); },
        [&](std::size_t, char&) { return !cancel_confirmed(monitor); },
        [&] {
            monitor.process_events();
            return true;
        });
    return finished ? GridOutcome::Done : GridOutcome::Cancelled;
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
