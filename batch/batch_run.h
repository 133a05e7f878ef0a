#pragma once
// From parsed options to a finished run: the settings as "&Calc" would capture them
// (window defaults, then a settings file, then the options), the same start-up checks,
// the run itself and the preview files.

#include <optional>
#include <string>

#include "batch/batch_options.h"
#include "batch/console_monitor.h"
#include "engine/engine.h"
#include "export/export_plan.h"

// Exit statuses of orvane-batch.
inline constexpr int EXIT_RUN_OK = 0;
inline constexpr int EXIT_RUN_FAILED = 1;
inline constexpr int EXIT_USAGE = 2;
inline constexpr int EXIT_INTERRUPTED = 130;

struct BatchPlan {
    RunSettings settings;
    std::optional<std::string> preview_dir;  // previews are written only when set
    PreviewFormat preview_format = PreviewFormat::Bitmap;
    OnFailed on_failed = OnFailed::Skip;
    std::optional<ExportPlan> export_plan;  // exported after the run only when set
};

struct PlanResult {
    std::optional<BatchPlan> plan;
    std::string error;  // the start-up check's own message, or what is wrong otherwise
};

// Builds the run's settings and checks them in the order of "&Calc": file names,
// derived trace file, search radius, then the rest (cell size, grid radius replaced by
// the search radius below 1e-6) and the run limits, then the export's. Reads the
// --settings file if named.
PlanResult plan_batch_run(const BatchOptions& options, char decimal_separator);

// Runs the plan: EXIT_RUN_OK, EXIT_RUN_FAILED (message shown) or EXIT_INTERRUPTED.
// Prints the line about points without a row when there are any. A preview that could
// not be gridded fails the run once the others are written.
int execute_batch_run(const BatchPlan& plan, ConsoleMonitor& monitor);
