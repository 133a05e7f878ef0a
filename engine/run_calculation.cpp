#include "run_calculation.h"

#include "cluster_index.h"
#include "point_loop.h"
#include "point_reader.h"
#include "run_checks.h"

namespace {

// The N-nearest search ends only when N points can be found at all.
bool nearest_count_fits(const RunSettings& settings, const PointData& points,
                        RunMonitor& monitor) {
    if (settings.search_mode != SearchMode::NNearest) return true;
    if (settings.nearest_count >= 1 &&
        static_cast<std::size_t>(settings.nearest_count) <= points.count)
        return true;
    monitor.show_message("N nearest points must be between 1 and the number of points (" +
                         std::to_string(points.count) + ").");
    return false;
}

// Grids one preview when previews are on; false when the user cancelled it.
bool grid_preview(int slot, const RunSettings& settings, const RunState& state,
                  RunMonitor& monitor, PreviewGridder* gridder) {
    const GridOutcome outcome = gridder->grid_preview(slot, settings, state, monitor);
    if (monitor.stop_requested()) return false;
    if (outcome == GridOutcome::Done) monitor.preview_ready(slot);
    return true;
}

int run_phases(const RunSettings& settings, RunState& state, RunMonitor& monitor,
               PreviewGridder* gridder) {
    if (std::optional<CheckFailure> failure = check_run_limits(settings)) {
        monitor.show_message(failure->message);
        return 1;
    }
    state.results_ready = false;
    state.index.clear();
    state.points.clear();

    monitor.set_progress(0);
    monitor.clear_previews();
    monitor.process_events();

    if (read_points(settings, state.points, monitor) != 0) return 1;
    if (!settings.subset_file.empty() && read_subset(settings, state.points, monitor) != 0)
        return 1;
    if (build_cluster_index(settings.cell_size, state.points, state.index, monitor) != 0)
        return 1;
    if (!nearest_count_fits(settings, state.points, monitor)) return 1;

    const bool previews = settings.preview && gridder != nullptr;
    if (previews && !grid_preview(1, settings, state, monitor, gridder)) return 1;

    if (run_point_loop(settings, state, monitor) != 0) return 1;
    state.results_ready = true;
    if (!previews) return 0;

    if (!grid_preview(2, settings, state, monitor, gridder)) return 1;
    monitor.process_events();
    if (!grid_preview(3, settings, state, monitor, gridder)) return 1;
    return 0;
}

}  // namespace

int run_calculation(const RunSettings& settings, RunState& state, RunMonitor& monitor,
                    PreviewGridder* gridder) {
    const int result = run_phases(settings, state, monitor, gridder);
    monitor.clear_stop();
    return result;
}
