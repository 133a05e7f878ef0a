#include "batch/batch_export.h"

#include <fstream>

#include "batch/batch_run.h"
#include "engine/points/point_reader.h"
#include "engine/points/result_loader.h"
#include "export/crs_text.h"
#include "export/export_job.h"
#include "export/grid_size.h"

namespace {

// Keeps the messages of the survey read made only to learn its extent: the run reads it
// again and reports what is wrong with it then.
class SilentMonitor : public RunMonitor {
public:
    void show_message(const std::string&) override {}
};

// The export's options with its folder and the variables: those named, or every
// quantity or coefficient of the trend model.
ExportOptions export_options_for(const BatchOptions& options, Tendency tendency) {
    ExportOptions chosen = options.export_options;
    chosen.folder = *options.export_dir;
    if (options.export_vars) {
        chosen.variables = *options.export_vars;
    } else {
        const std::vector<GridVariable> all = grid_variables(tendency);
        for (std::size_t v = 4; v < all.size(); ++v) chosen.variables.push_back(all[v].name);
    }
    return chosen;
}

std::string check_node_count(const ExportOptions& options, const RunSettings& settings) {
    if (!options.cell_size || options.variables.empty()) return {};
    PointData points;
    SilentMonitor silent;
    if (read_points(settings, points, silent) != 0) return {};
    return export_lattice(points.extent, *options.cell_size, export_node_limit()).error;
}

int exported(const ExportPlan& plan, const RunState& state, double search_radius,
             double grid_radius, unsigned threads, ConsoleMonitor& monitor) {
    if (plan.crs_wkt.empty())
        monitor.show_message("No --crs given: the exported files carry no coordinate system.");
    ExportSource source;
    source.state = &state;
    source.search_radius = search_radius;
    source.grid_radius = grid_radius;
    source.threads = threads;
    switch (run_export(plan, source, monitor).outcome) {
    case ExportOutcome::Written: return EXIT_RUN_OK;
    case ExportOutcome::Cancelled: return EXIT_INTERRUPTED;
    case ExportOutcome::Failed: return EXIT_RUN_FAILED;
    }
    return EXIT_RUN_FAILED;
}

}  // namespace

BatchExportPlan plan_run_export(const BatchOptions& options, const RunSettings& settings) {
    if (!options.export_dir) return {};
    const ExportOptions chosen = export_options_for(options, settings.tendency);
    std::vector<std::string> inputs = {settings.input_file, settings.output_file,
                                       settings.subset_file};
    if (!settings.subset_file.empty()) inputs.push_back(settings.trace_file);
    if (options.settings_file) inputs.push_back(*options.settings_file);
    ExportPlanResult planned = plan_export(chosen, settings.tendency, settings.output_file, inputs);
    if (!planned.plan) return {std::nullopt, planned.error};
    if (std::string error = check_node_count(chosen, settings); !error.empty())
        return {std::nullopt, error};
    return {planned.plan, {}};
}

int export_run_results(const ExportPlan& plan, const RunSettings& settings,
                       const RunState& state, ConsoleMonitor& monitor) {
    return exported(plan, state, settings.search_radius, settings.grid_radius, settings.threads,
                    monitor);
}

int export_result_file(const BatchOptions& options, char decimal_separator,
                       ConsoleMonitor& monitor) {
    const std::string& path = *options.from_result;
    // What needs no data is refused before the file is read.
    if (options.export_options.cell_size) {
        if (std::string error = check_cell_size(*options.export_options.cell_size); !error.empty()) {
            monitor.show_message(error);
            return EXIT_USAGE;
        }
    }
    if (std::string error = check_crs(options.export_options.crs).error; !error.empty()) {
        monitor.show_message(error);
        return EXIT_USAGE;
    }

    RunState state;
    ResultLoadOptions load_options;
    load_options.path = path;
    load_options.decimal_separator = decimal_separator;
    load_options.nearest_radius = options.search_radius.value_or(0.0);
    const ResultLoad load = load_result_file(load_options, state, monitor);
    if (load.outcome != LoadOutcome::Loaded) {
        // The loader refuses a file without a result header silently, as the window does.
        if (!load.radius_needed && load.outcome == LoadOutcome::PreviousKept &&
            std::ifstream(path).good())
            monitor.show_message("'" + path + "' is not a result file: its first line is not a "
                                 "result header (\"Map: ...\")");
        return EXIT_RUN_FAILED;
    }
    const ExportOptions chosen = export_options_for(options, load.tendency);
    const ExportPlanResult planned = plan_export(chosen, load.tendency, path, {path});
    if (!planned.plan) {
        monitor.show_message(planned.error);
        return EXIT_USAGE;
    }
    const double grid_radius =
        options.grid_radius && *options.grid_radius >= 1e-6 ? *options.grid_radius : load.grid_radius;
    return exported(*planned.plan, state, load.search_radius, grid_radius,
                    options.threads.value_or(0), monitor);
}
