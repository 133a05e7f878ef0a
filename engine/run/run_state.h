#pragma once
// What a run leaves behind, and the seam through which it has previews gridded.

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
    std::vector<double> row_neighbours;
    bool results_ready = false;
};

// Grids preview `slot` (1, 2, 3) from the run state; supplied by the preview code so
// that the engine does not depend on it.
enum class GridOutcome { Done, Cancelled, Failed };
class PreviewGridder {
public:
    virtual ~PreviewGridder() = default;
    virtual GridOutcome grid_preview(int slot, const RunSettings& settings,
                                     const RunState& state, RunMonitor& monitor) = 0;
};
