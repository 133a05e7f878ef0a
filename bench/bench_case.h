#pragma once
// One benchmark case: which survey it runs on and how, and the figures it measures.

#include <cstddef>
#include <string>
#include <vector>

#include "engine/engine.h"

// What a case times after reading and indexing (the `loop` column).
enum class BenchWork {
    PointLoop,        // the passes and the result file
    PreviewOne,       // preview 1 (CBA) gridded and coloured, no point loop
    RunWithPreviews,  // the passes with the window's three previews on, as Calc runs them
    ThreePreviews,    // after a run, the three previews gridded at once, as a loaded file
    ListChange,       // after a run and its three previews, one list changed: one preview
};

struct BenchCase {
    std::string name;
    std::size_t stations = 0;
    double radius_scale = 1.0;  // search radius as a multiple of the ~30-neighbour radius
    BenchWork work = BenchWork::PointLoop;
    double grid_radius = 0.0;  // the previews' gridding radius; 0: the search radius
    // The previews' whole node grids made with each gridding, as for grid files; otherwise
    // only the nodes the pictures are drawn from, as the window and picture files have them.
    bool node_grids = false;
    Tendency tendency = Tendency::Linear4x4;
    SolverKind solver = SolverKind::MoorePenrose;
    SearchMode search_mode = SearchMode::Radius;
    int nearest_count = 20;
    int iterations = 0;       // further passes after the first
    bool numpy_peer = false;  // bench/numpy_peer.py does the same job for comparison
};

// The cases the benchmark knows, in the order it runs them.
const std::vector<BenchCase>& bench_cases();

struct BenchFigures {
    bool ok = false;
    double prepare_seconds = 0.0;  // reading and indexing
    double work_seconds = 0.0;     // the passes and the result file, or the gridding
    double wall_seconds = 0.0;     // prepare + work, everything the user waits for
};

// Runs `c` on the survey file with `threads` point-loop threads, writing into `folder`.
BenchFigures run_bench_case(const BenchCase& c, const std::string& survey_file,
                            double radius, unsigned threads, const std::string& folder);
