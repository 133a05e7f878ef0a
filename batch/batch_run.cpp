#include "batch/batch_run.h"

#include <filesystem>
#include <system_error>

#include "batch/batch_export.h"
#include "batch/batch_previews.h"
#include "orvgrid/preview_set.h"
#include "engine/run/run_calculation.h"
#include "engine/run/run_checks.h"
#include "settings/settings_file.h"
#include "settings/settings_values.h"
#include "engine/run/run_state.h"

namespace {

PlanResult refused(std::string error) { return {std::nullopt, std::move(error)}; }

template <typename T>
void take(const std::optional<T>& option, T& field) {
    if (option) field = *option;
}

// The settings file as the window restores it, the preview selections through the
// tendency rule the window applies right after restoring the tendency.
std::string start_from_settings_file(const std::string& path, RunSettings& s,
                                     SettingsValues& values) {
    SettingsBlock block;
    if (read_settings_file(path, block) != SettingsReadStatus::Read)
        return "cannot read settings file '" + path + "'";
    values = settings_values_from(block);
    apply_settings_values(values, s);
    return {};
}

void lay_options_over(const BatchOptions& o, RunSettings& s) {
    take(o.input_file, s.input_file);
    take(o.output_file, s.output_file);
    take(o.subset_file, s.subset_file);
    if (o.columns) {
        const std::vector<int>& c = *o.columns;
        s.column_x = c[0];
        s.column_y = c[1];
        s.column_point = c[2];
        s.column_height = c[3];
        s.column_cba = c[4];
    }
    take(o.search_radius, s.search_radius);
    take(o.grid_radius, s.grid_radius);
    take(o.tendency, s.tendency);
    take(o.solver, s.solver);
    if (o.nearest_count) {
        s.search_mode = SearchMode::NNearest;
        s.nearest_count = *o.nearest_count;
    }
    take(o.iterations, s.iterations);
    take(o.iteration_object, s.iteration_object);
    take(o.alpha, s.alpha);
    take(o.sv_threshold, s.sv_threshold);
    take(o.min_alpha, s.min_alpha);
    take(o.max_alpha, s.max_alpha);
    take(o.sequence_quotient, s.sequence_quotient);
    take(o.centering_x, s.centering_x);
    take(o.centering_y, s.centering_y);
    take(o.centering_z, s.centering_z);
    take(o.centering_cba, s.centering_cba);
    if (o.include_calc_point) s.include_calc_point = true;
    take(o.threads, s.threads);
}

}  // namespace

PlanResult plan_batch_run(const BatchOptions& options, char decimal_separator) {
    BatchPlan plan;
    RunSettings& s = plan.settings;
    s.decimal_separator = decimal_separator;
    s.threads = 0;  // all cores unless --threads says otherwise
    SettingsValues stored;
    if (options.settings_file) {
        std::string error = start_from_settings_file(*options.settings_file, s, stored);
        if (!error.empty()) return refused(error);
    }
    lay_options_over(options, s);
    if (options.settings_file) {
        s.preview_var1 = preview_index_after_rule(1, s.tendency, stored.cb1);
        s.preview_var2 = preview_index_after_rule(2, s.tendency, stored.cb2);
        s.preview_var3 = preview_index_after_rule(3, s.tendency, stored.cb3);
    }

    // The checks of "&Calc", in its order and with its messages.
    if (auto failure = check_file_names(s.input_file, s.output_file)) return refused(failure->message);
    s.trace_file = derive_trace_file(s.input_file);
    if (auto failure = check_search_radius(s.search_radius)) return refused(failure->message);
    s.cell_size = 0.1 * s.search_radius;
    if (s.grid_radius < 1e-6) s.grid_radius = s.search_radius;
    if (auto failure = check_run_limits(s)) return refused(failure->message);

    s.preview = options.preview_dir.has_value();
    if (options.preview_vars) {
        std::string error = choose_preview_vars(*options.preview_vars, s);
        if (!error.empty()) return refused(error);
    }
    if (options.preview_dir) {
        std::error_code failed;
        std::filesystem::create_directories(*options.preview_dir, failed);
        if (!std::filesystem::is_directory(*options.preview_dir))
            return refused("cannot make preview folder '" + *options.preview_dir + "'");
    }
    plan.preview_dir = options.preview_dir;
    plan.preview_format = options.preview_format;
    plan.on_failed = options.on_failed;
    BatchExportPlan exports = plan_run_export(options, s);
    if (!exports.error.empty()) return refused(exports.error);
    plan.export_plan = exports.plan;
    return {plan, {}};
}

int execute_batch_run(const BatchPlan& plan, ConsoleMonitor& monitor) {
    RunState state;
    // A grid file is written from each preview's whole node grid; a picture needs few of
    // its nodes, and no grid is asked for afterwards.
    PreviewSet previews(177, 145,
                        plan.preview_format == PreviewFormat::SurferGrid ? NodeGrids::WithEachGridding
                                                                          : NodeGrids::Never);
    const int result = run_calculation(plan.settings, state, monitor,
                                       plan.preview_dir ? &previews : nullptr);
    if (result == 0) monitor.set_progress(10000);
    monitor.finish();
    const std::string skipped = monitor.skipped_summary();
    if (!skipped.empty()) monitor.show_message(skipped);
    if (result != 0) return monitor.interrupted() ? EXIT_INTERRUPTED : EXIT_RUN_FAILED;
    if (plan.preview_dir) {
        if (!write_preview_files(previews, plan.settings, *plan.preview_dir,
                                 plan.preview_format, monitor))
            return EXIT_RUN_FAILED;
        // A preview that could not be gridded (for lack of memory: its message is shown)
        // leaves the window's picture as it was; here its file is missing, and the run
        // has not given what it was asked for.
        for (int slot = 1; slot <= 3; ++slot)
            if (!previews.has_result(slot)) return EXIT_RUN_FAILED;
    }
    if (plan.export_plan)
        return export_run_results(*plan.export_plan, plan.settings, state, monitor);
    return EXIT_RUN_OK;
}
