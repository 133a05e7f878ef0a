#include "engine/run/run_calculation.h"

#include <new>
#include <stdexcept>

#include "engine/search/cluster_index.h"
#include "engine/points/file_identity.h"
#include "engine/run/file_reach.h"
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

int run_phases(const RunSettings& settings, RunState& state, RunMonitor& monitor,
               PreviewGridder* gridder) {
    state.rows_written = 0;
    state.rows_failed = 0;
    if (!passes(check_run_limits(settings), monitor)) return 1;
    // The names were compared as typed; a relative path, "./" or a link can still lead
    // the result file onto the input, which opening it would wipe out.
    if (!passes(check_files_apart(settings), monitor)) return 1;
    if (const std::optional<std::string> message = unreachable_run_file(settings)) {
        monitor.show_message(*message);
        return 1;
    }
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
    if (build_cluster_index(settings.cell_size, state.points, state.index, monitor,
                            settings.threads) != 0)
        return 1;
    // The N-nearest search ends only when N points can be found at all.
    if (!passes(check_nearest_count(settings, state.points.count), monitor)) return 1;

    const bool previews = settings.preview && gridder != nullptr;
    const int before_loop[] = {1};
    if (previews && !gridder->grid_previews(before_loop, settings, state, monitor)) return 1;

    if (run_point_loop(settings, state, monitor) != 0) return 1;
    state.results_ready = true;
    if (!previews) return 0;

    const int after_loop[] = {2, 3};
    return gridder->grid_previews(after_loop, settings, state, monitor) ? 0 : 1;
}

void out_of_memory(RunState& state, RunMonitor& monitor) {
    state.results_ready = false;
    monitor.show_message(OUT_OF_MEMORY_MESSAGE);
}

}  // namespace

bool PreviewGridder::grid_previews(std::span<const int> slot_numbers, const RunSettings& settings,
                                   const RunState& state, RunMonitor& monitor) {
    for (std::size_t k = 0; k < slot_numbers.size(); ++k) {
        if (k > 0) monitor.process_events();
        const GridOutcome outcome = grid_preview(slot_numbers[k], settings, state, monitor);
        if (monitor.stop_requested()) return false;
        if (outcome == GridOutcome::Done) monitor.preview_ready(slot_numbers[k]);
    }
    return true;
}

int run_calculation(const RunSettings& settings, RunState& state, RunMonitor& monitor,
                    PreviewGridder* gridder) {
    int result = 1;
    // The phases report the memory they size themselves (the point arrays, the cells,
    // the preview buffers); whatever else runs out (a fit's candidates, the rows on
    // their way to the file, a worker's block) ends the run here, its files closed by
    // the unwinding with the rows written so far.
    try {
        result = run_phases(settings, state, monitor, gridder);
    } catch (const std::bad_alloc&) {
        out_of_memory(state, monitor);
    } catch (const std::length_error&) {
        out_of_memory(state, monitor);
    }
    monitor.clear_stop();
    return result;
}
