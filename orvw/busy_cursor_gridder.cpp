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
