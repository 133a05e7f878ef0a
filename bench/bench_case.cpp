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
    s.grid_radius = radius;
    s.tendency = c.tendency;
    s.solver = c.solver;
    s.search_mode = c.search_mode;
    s.nearest_count = c.nearest_count;
    s.threads = threads;
    s.iterations = c.iterations;
    return s;
}

BenchFigures run_preview(const RunSettings& s) {
    BenchFigures f;
    BenchMonitor monitor;
    const Clock::time_point start = Clock::now();
    RunState state;
    if (read_points(s, state.points, monitor) != 0 ||
        build_cluster_index(s.cell_size, state.points, state.index, monitor) != 0)
        return f;
    const Clock::time_point prepared = Clock::now();
    PreviewSet previews;
    f.ok = previews.grid_slot(1, 1, s.tendency, s.search_radius, s.grid_radius, state,
                              monitor, s.threads) == GridOutcome::Done;
    const Clock::time_point end = Clock::now();
    f.prepare_seconds = seconds_between(start, prepared);
    f.work_seconds = seconds_between(prepared, end);
    f.wall_seconds = seconds_between(start, end);
    return f;
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
        c.preview_only = true;
        list.push_back(c);
        return list;
    }();
    return cases;
}

BenchFigures run_bench_case(const BenchCase& c, const std::string& survey_file, double radius,
                            unsigned threads, const std::string& folder) {
    const RunSettings s = settings_for(c, survey_file, radius, threads, folder);
    if (c.preview_only) return run_preview(s);
    BenchFigures f;
    BenchMonitor monitor;
    RunState state;
    const Clock::time_point start = Clock::now();
    f.ok = run_calculation(s, state, monitor, nullptr) == 0;
    const Clock::time_point end = Clock::now();
    f.prepare_seconds = seconds_between(start, monitor.loop_started);
    f.work_seconds = seconds_between(monitor.loop_started, end);
    f.wall_seconds = seconds_between(start, end);
    return f;
}
