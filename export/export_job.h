#pragma once
// An export carried out: every planned variable gridded with the preview's rule on the
// chosen lattice and written, then the station layer, all committed together.

#include <filesystem>
#include <vector>

#include "engine/engine.h"
#include "engine/run/run_state.h"
#include "export/export_plan.h"
#include "export/grid_size.h"

// The points an export works from (a run's or a loaded result file's) and the radii
// their previews are gridded with.
struct ExportSource {
    const RunState* state = nullptr;
    double search_radius = 0.0;
    double grid_radius = 0.0;
    unsigned threads = 1;  // gridding threads: 0 all cores, 1 this thread alone
};

enum class ExportOutcome { Written, Cancelled, Failed };

struct ExportResult {
    ExportOutcome outcome = ExportOutcome::Failed;
    std::vector<std::filesystem::path> files;  // what was written, side files included
};

// The lattice the plan's grids use: the cell size chosen, or the cluster index's (the
// preview's node spacing, where the grid is the preview's node grid).
GridSize planned_lattice(const ExportPlan& plan, const RunState& state, std::size_t max_nodes);

// Writes the plan's files. Failures show their message through the monitor (naming the
// file and GDAL's reason); a stop answered Yes between grid columns cancels. Either way
// nothing of this export is left in the folder.
ExportResult run_export(const ExportPlan& plan, const ExportSource& source, RunMonitor& monitor);
