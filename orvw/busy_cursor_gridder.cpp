#include "orvw/busy_cursor_gridder.h"
#include "engine/run/run_state.h"

#include <QApplication>

BusyCursor::BusyCursor() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
}

BusyCursor::~BusyCursor() {
    QApplication::restoreOverrideCursor();
}

GridOutcome BusyCursorGridder::grid_preview(int slot, const RunSettings& settings,
                                            const RunState& state, RunMonitor& monitor) {
    if (announce_) announce_(slot);
    const BusyCursor busy;
    return inner_.grid_preview(slot, settings, state, monitor);
}

bool BusyCursorGridder::grid_previews(std::span<const int> slot_numbers,
                                      const RunSettings& settings,
                                      const RunState& state, RunMonitor& monitor) {
    // The slots may be gridded in one shared pass: the first one names the wait.
    if (announce_ && !slot_numbers.empty()) announce_(slot_numbers.front());
    const BusyCursor busy;
    return inner_.grid_previews(slot_numbers, settings, state, monitor);
}
