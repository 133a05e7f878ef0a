#include "bench/bench_case.h"

#include <chrono>
#include <cstdio>

#include "engine/search/cluster_index.h"
#include "engine/points/point_reader.h"
#include "orvgrid/preview_set.h"
#include "engine/run/run_calculation.h"
#include "engine/run/run_state.h"

namespace {

using Clock = std::chrono::steady_clock;

double seconds_between(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double>(b - a).count();
}

// The figures of a case timed from start to end, the work counted from `prepared`.
BenchFigures timed(bool ok, Clock::time_point start, Clock::time_point prepared,
                   Clock::time_point end) {
    BenchFigures f;
    f.ok = ok;
    f.prepare_seconds = seconds_between(start, prepared);
    f.work_seconds = seconds_between(prepared, end);
    f.wall_seconds = seconds_between(start, end);
    return f;
}

// Quiet monitor: answers every failed-point question with Yes, prints messages, and
// notes when the point loop starts (the second progress report of a run: the first is
// the run's own 0 before reading).
struct BenchMonitor : RunMonitor {
    int progress_reports = 0;
    Clock::time_point loop_started{};
    void set_progress(int) override {
        if (++progress_reports == 2) loop_started = Clock::now();
    }
    void show_message(const std::string& text) override {
        std::fprintf(stderr, "message: %s\n", text.c_str());
    }
    bool ask_yes_no(const Question&) override { return true; }
};

RunSettings settings_for(const BenchCase& c, const std::string& survey_file, double radius,
                         unsigned threads, const std::string& folder) {
    RunSettings s;
    s.input_file = survey_file;
    s.output_file = folder + "/" + c.name + "_result.dat";
    s.trace_file = folder + "/" + c.name + "_trace_out.dat";
    s.search_radius = radius;
    s.cell_size = 0.1 * radius;
    s.grid_radius = c.grid_radius > 0.0 ? c.grid_radius : radius;
    s.tendency = c.tendency;
    s.solver = c.solver;
    s.search_mode = c.search_mode;
    s.nearest_count = c.nearest_count;
    s.threads = threads;
    s.iterations = c.iterations;
    return s;
}

NodeGrids node_grids_of(const BenchCase& c) {
    return c.node_grids ? NodeGrids::WithEachGridding : NodeGrids::OnRequest;
}

// The passes with previews on (RunWithPreviews) or off; then the previews a case times.
BenchFigures run_with_previews(const BenchCase& c, RunSettings s) {
    BenchMonitor monitor;
    RunState state;
    PreviewSet previews(177, 145, node_grids_of(c));
    s.preview = c.work == BenchWork::RunWithPreviews;
    const Clock::time_point start = Clock::now();
    bool ok = run_calculation(s, state, monitor, s.preview ? &previews : nullptr) == 0;
    Clock::time_point prepared = Clock::now();
    if (c.work == BenchWork::RunWithPreviews) return timed(ok, start, monitor.loop_started, prepared);
    const int slots[] = {1, 2, 3};
    const int lists[] = {s.preview_var1, s.preview_var2, s.preview_var3};
    ok = ok && previews.grid_slots(slots, lists, s.tendency, s.search_radius, s.grid_radius,
                                   state, monitor, s.threads);
    if (c.work == BenchWork::ListChange) {
        prepared = Clock::now();
        // The second list moves from HGGAX to HGGA.
        ok = ok && previews.grid_slot(2, 2, s.tendency, s.search_radius, s.grid_radius, state,
                                      monitor, s.threads) == GridOutcome::Done;
    }
    return timed(ok, start, prepared, Clock::now());
}

BenchFigures run_preview(const BenchCase& c, const RunSettings& s) {
    BenchMonitor monitor;
    const Clock::time_point start = Clock::now();
    RunState state;
    if (read_points(s, state.points, monitor) != 0 ||
        build_cluster_index(s.cell_size, state.points, state.index, monitor) != 0)
        return BenchFigures{};
    const Clock::time_point prepared = Clock::now();
    PreviewSet previews(177, 145, node_grids_of(c));
    const bool ok = previews.grid_slot(1, 1, s.tendency, s.search_radius, s.grid_radius, state,
                                       monitor, s.threads) == GridOutcome::Done;
    return timed(ok, start, prepared, Clock::now());
}

}  // namespace

const std::vector<BenchCase>& bench_cases() {
    static const std::vector<BenchCase> cases = [] {
        std::vector<BenchCase> list;
        BenchCase c;
        c.name = "radius-mp-1m";
        c.stations = 1000000;
        c.numpy_peer = true;
        list.push_back(c);
        c.numpy_peer = false;
        c.name = "radius-mp-1m-iter2";
        c.iterations = 2;
        list.push_back(c);
        c.iterations = 0;
        c.name = "radius-mp-100k";
        c.stations = 100000;
        list.push_back(c);
        c.name = "nearest20-gj-100k";
        c.solver = SolverKind::GaussJordan;
        c.search_mode = SearchMode::NNearest;
        list.push_back(c);
        c.name = "nearest20-gj-100k-small-r";
        c.radius_scale = 0.25;
        list.push_back(c);
        c = BenchCase{};
        c.name = "lcurve-q10-100k";
        c.stations = 100000;
        c.tendency = Tendency::Quadratic10x10;
        c.solver = SolverKind::Tichonov;
        list.push_back(c);
        c = BenchCase{};
        c.name = "preview-1m";
        c.stations = 1000000;
        c.work = BenchWork::PreviewOne;
        list.push_back(c);
        c.name = "radius-mp-1m-previews";
        c.work = BenchWork::RunWithPreviews;
        list.push_back(c);
        c.name = "previews3-1m";
        c.work = BenchWork::ThreePreviews;
        list.push_back(c);
        c.name = "previews3-1m-grids";
        c.node_grids = true;
        list.push_back(c);
        c.node_grids = false;
        c.name = "list-change-1m";
        c.work = BenchWork::ListChange;
        list.push_back(c);
        c.name = "preview-200k-g3000";
        c.stations = 200000;
        c.work = BenchWork::PreviewOne;
        c.grid_radius = 3000.0;
        list.push_back(c);
        return list;
    }();
    return cases;
}

BenchFigures run_bench_case(const BenchCase& c, const std::string& survey_file, double radius,
                            unsigned threads, const std::string& folder) {
    const RunSettings s = settings_for(c, survey_file, radius, threads, folder);
    if (c.work == BenchWork::PreviewOne) return run_preview(c, s);
    if (c.work != BenchWork::PointLoop) return run_with_previews(c, s);
    BenchMonitor monitor;
    RunState state;
    const Clock::time_point start = Clock::now();
    const bool ok = run_calculation(s, state, monitor, nullptr) == 0;
    return timed(ok, start, monitor.loop_started, Clock::now());
}
