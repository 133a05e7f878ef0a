#pragma once
#include "engine/engine.h"
#include "engine/run/run_state.h"

// All passes over the points, the result file and the trace file. 0 when every pass
// finished, 1 when the loop stopped (message shown, files closed).
int run_point_loop(const RunSettings& settings, RunState& state, RunMonitor& monitor);
