#pragma once
// Gridding a whole lattice column by column: on worker threads when there are several,
// with the window's events and the stop question between columns on the calling thread.

#include "engine/engine.h"
#include "engine/run/run_state.h"
#include "orvgrid/grid/node_columns.h"

// Fills values[i * ny + j] for every node of lattice.nodes. After each column, in column
// order whatever the number of threads, the monitor gets its events and a stop request
// is answered with "Cancel calculation?" ("Warning"): Yes ends with Cancelled (stop flag
// left set, later columns unfilled), No clears the flag. Each column is summed as on one
// thread, so the values do not depend on `threads` (0: all cores, 1: this thread alone).
GridOutcome sweep_node_columns(const NodeLattice& lattice, unsigned threads,
                               RunMonitor& monitor, float* values);
GridOutcome sweep_node_columns(const NodeLattice& lattice, unsigned threads,
                               RunMonitor& monitor, double* values);
