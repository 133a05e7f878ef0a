#pragma once
// Gridding a whole lattice column by column: on worker threads when there are several,
// with the window's events and the stop question between columns on the calling thread.

#include <cstdint>
#include <span>

#include "engine/engine.h"
#include "engine/run/run_state.h"
#include "orvgrid/grid/node_columns.h"

// Fills values[i * ny + j] for every node of lattice.nodes (its first position). After each column, in column
// order whatever the number of threads, the monitor gets its events and a stop request
// is answered with "Cancel calculation?" ("Warning"): Yes ends with Cancelled (stop flag
// left set, later columns unfilled), No clears the flag. Each column is summed as on one
// thread, so the values do not depend on `threads` (0: all cores, 1: this thread alone).
GridOutcome sweep_node_columns(const NodeLattice& lattice, unsigned threads,
                               RunMonitor& monitor, float* values);
// The same for every position of the lattice at once: grids[k] receives the values of
// lattice.positions[k], the distances and weights computed once for all of them.
GridOutcome sweep_node_columns(const NodeLattice& lattice, unsigned threads,
                               RunMonitor& monitor, float* const* grids);
GridOutcome sweep_node_columns(const NodeLattice& lattice, unsigned threads,
                               RunMonitor& monitor, double* values);
// The same for the chosen rows of `columns` (node columns) alone: grids[k] receives, for
// column columns[c], the values of its chosen rows at c * rows.count() onward. The events
// and the stop question come after each of these columns.
GridOutcome sweep_chosen_nodes(const NodeLattice& lattice, const ChosenRows& rows,
                               std::span<const std::uint32_t> columns, unsigned threads,
                               RunMonitor& monitor, float* const* grids);
