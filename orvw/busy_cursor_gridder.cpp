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
    const BusyCursor busy;
    return inner_.grid_preview(slot, settings, state, monitor);
}

bool BusyCursorGridder::grid_previews(std::span<const int> slots, const RunSettings& settings,
                                      const RunState& state, RunMonitor& monitor) {
    const BusyCursor busy;
    return inner_.grid_previews(slots, settings, state, monitor);
}
