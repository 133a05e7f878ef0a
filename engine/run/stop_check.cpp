#include "engine/run/stop_check.h"

bool cancel_confirmed(RunMonitor& monitor) {
    monitor.process_events();
    if (!monitor.stop_requested()) return false;
    if (monitor.ask_yes_no(CancelCalculation{})) return true;
    monitor.clear_stop();
    return false;
}
