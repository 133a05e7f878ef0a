#pragma once
// What a run leaves behind, and the seam through which it has previews gridded.

#include <cstddef>
#include <span>
#include <vector>

#include "engine/engine.h"
#include "engine/search/cluster_index.h"

// Everything a run leaves behind: the points, the index and whether results are ready.
struct RunState {
    PointData points;
    ClusterIndex index;
    // Per point, the neighbour count its final result row shows; NaN for a point that got
    // no row (its system could not be solved). The one value of a row the points do not
    // keep, so that the rows can be exported without reading the result file back.
    HugePageVector<double> row_neighbours;
    bool results_ready = false;
    // Rows of the last run's result file: written, and left out because the point's
    // system could not be solved (the user chose to go on).
    std::size_t rows_written = 0;
    std::size_t rows_failed = 0;
};

// Grids preview `slot` (1, 2, 3) from the run state; supplied by the preview code so
// that the engine does not depend on it.
enum class GridOutcome { Done, Cancelled, Failed };
class PreviewGridder {
public:
    virtual ~PreviewGridder() = default;
    virtual GridOutcome grid_preview(int slot, const RunSettings& settings,
                                     const RunState& state, RunMonitor& monitor) = 0;

    // Grids the slots `slot_numbers` in turn, the window's events processed between two, and reports
    // each one done with monitor.preview_ready. False as soon as one was cancelled (the
    // stop flag is then set and the later slots are left alone). This form calls
    // grid_preview slot by slot; a gridder that can share work between the slots
    // overrides it with the same outcome.
    virtual bool grid_previews(std::span<const int> slot_numbers, const RunSettings& settings,
                               const RunState& state, RunMonitor& monitor);
};
