#pragma once
#include "engine/engine.h"
#include "engine/run/run_state.h"

inline constexpr const char* OUT_OF_MEMORY_MESSAGE =
    "Not enough memory to go on with the calculation";

// One calculation run, phase by phase: read, subset, index, preview 1, point loop,
// previews 2 and 3. 0 when the point loop finished, 1 when the run stopped early.
// stop_requested is cleared on every exit. gridder may be null (no previews drawn).
// Memory that runs out where no phase has a message of its own ends the run with
// OUT_OF_MEMORY_MESSAGE and 1.
int run_calculation(const RunSettings& settings, RunState& state, RunMonitor& monitor,
                    PreviewGridder* gridder);
