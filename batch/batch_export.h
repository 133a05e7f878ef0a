#pragma once
// The runner's export for a GIS: after a run from the run's own points, or from a result
// file written earlier, checked before any work as the run's settings are.

#include <optional>
#include <string>

#include "batch/batch_options.h"
#include "batch/console_monitor.h"
#include "engine/engine.h"
#include "engine/run/run_state.h"
#include "export/export_plan.h"

struct BatchExportPlan {
    std::optional<ExportPlan> plan;
    std::string error;  // set when plan is not
};

// The export of a run with `settings` (already checked), when --export is given: the
// export's own checks, and with an explicit --cell the node count over the survey's
// extent (the survey is read once for it). No --export: neither plan nor error.
BatchExportPlan plan_run_export(const BatchOptions& options, const RunSettings& settings);

// Exports the points of a finished run. Says once when no coordinate system was given.
// EXIT_RUN_OK, EXIT_RUN_FAILED (message shown) or EXIT_INTERRUPTED.
int export_run_results(const ExportPlan& plan, const RunSettings& settings,
                       const RunState& state, ConsoleMonitor& monitor);

// --from-result: loads the result file with the loader's rules and exports it.
// EXIT_RUN_OK, EXIT_USAGE (a bad option, nothing written), EXIT_RUN_FAILED or
// EXIT_INTERRUPTED.
int export_result_file(const BatchOptions& options, char decimal_separator,
                       ConsoleMonitor& monitor);
