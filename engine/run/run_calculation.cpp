#include "engine/run/run_calculation.h"

#include "engine/search/cluster_index.h"
#include "engine/points/file_identity.h"
#include "engine/run/point_loop.h"
#include "engine/points/point_reader.h"
#include "engine/run/run_checks.h"
#include "engine/run/run_state.h"

namespace {

// Shows the message of a failed check; true when there was none.
bool passes(const std::optional<CheckFailure>& failure, RunMonitor& monitor) {
    if (!failure) return true;
    monitor.show_message(failure->message);
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
    if (!passes(check_run_limits(settings), monitor)) return 1;
    // The names were compared as typed; a relative path, "./" or a link can still lead
    // the result file onto the input, which opening it would wipe out.
    if (!passes(check_files_apart(settings), monitor)) return 1;
    state.results_ready = false;
    state.index.clear();
    state.points.clear();
    state.row_neighbours.clear();

    monitor.set_progress(0);
    monitor.clear_previews();
    monitor.process_events();

    if (read_points(settings, state.points, monitor) != 0) return 1;
    if (!settings.subset_file.empty() && read_subset(settings, state.points, monitor) != 0)
        return 1;
    if (build_cluster_index(settings.cell_size, state.points, state.index, monitor) != 0)
        return 1;
    // The N-nearest search ends only when N points can be found at all.
    if (!passes(check_nearest_count(settings, state.points.count), monitor)) return 1;

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
