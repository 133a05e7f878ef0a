#pragma once
// The checkpoint of a long loop (between two points of the point loop, between two node
// columns of a preview gridding): the window gets its events and a Stop is answered.

#include "engine/engine.h"

// Processes pending events, then, if Stop was pressed, asks whether to cancel. True when
// the user cancels: the stop flag is left set, for the caller to unwind (a run clears it
// at its end). False to go on; a Stop answered No is cleared.
bool cancel_confirmed(RunMonitor& monitor);
