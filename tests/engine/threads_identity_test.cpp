// Runs the same survey on one thread and on four and compares the result and trace
// files byte for byte, together with every message and question in their order.

#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/support/fake_monitor.h"
#include "engine/run/run_calculation.h"
#include "engine/run/run_checks.h"
#include "engine/run/run_state.h"

namespace fs = std::filesystem;

namespace {

std::string file_bytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct RunOutput {
    int result = 0;
    std::string result_file, trace_file;
    std::vector<std::string> messages;
    std::vector<std::string> questions;
};

// Answers every failed-point question with Yes, so a run goes on past singular points.
FakeMonitor answering_yes() {
    FakeMonitor monitor;
    monitor.then_answer = true;
    return monitor;
}

RunOutput run_with(RunSettings s, unsigned threads, FakeMonitor& monitor) {
    s.threads = threads;
    RunState state;
    RunOutput out;
    out.result = run_calculation(s, state, monitor, nullptr);
    out.result_file = file_bytes(s.output_file);
    if (!s.subset_file.empty()) out.trace_file = file_bytes(s.trace_file);
    out.messages = monitor.messages;
    out.questions = monitor.question_lines();
    fs::remove(s.output_file);
    if (!s.subset_file.empty()) fs::remove(s.trace_file);
    return out;
}

void expect_same(const RunOutput& one, const RunOutput& four, const std::string& label) {
    EXPECT_EQ(one.result, four.result) << label;
    EXPECT_TRUE(one.result_file == four.result_file) << label << ": result files differ";
    EXPECT_TRUE(one.trace_file == four.trace_file) << label << ": trace files differ";
    EXPECT_EQ(one.messages, four.messages) << label;
    EXPECT_EQ(one.questions, four.questions) << label;
}

const char* const kTendencies[] = {"L3", "L4", "L6", "Q10", "NteFay"};
const char* const kSolvers[] = {"GJ", "SVD", "Tik"};

class threads_identity : public testing::Test {
protected:
    void SetUp() override {
        folder_ = fs::temp_directory_path() /
                  ("orvane_threads_identity_" + std::to_string(::getpid()));
        fs::remove_all(folder_);
        fs::create_directories(folder_);
    }
    void TearDown() override { fs::remove_all(folder_); }

    std::string path(const std::string& name) const { return (folder_ / name).string(); }

    // 360 stations over 600 x 450 m, scattered by the golden-ratio sequence (no random
    // generator), with a few repeated positions and a flat patch where height terms fail.
    std::string write_generated_survey() {
        const std::string file = path("generated.dat");
        std::FILE* out = std::fopen(file.c_str(), "w");
        std::fprintf(out, "X Y POINT HEIGHT CBA\n");
        for (int j = 0; j < 360; ++j) {
            const double x = j % 40 == 7 ? 300.0 : -50.0 + 600.0 * std::fmod(j * 0.6180339887498949, 1.0);
            const double y = j % 40 == 7 ? 200.0 : 450.0 * std::fmod(j * 0.7548776662466927, 1.0);
            const bool flat = x < 40.0 && y < 60.0;
            const double h = flat ? 100.0 : 100.0 + 20.0 * std::sin(x / 90.0) * std::cos(y / 70.0) +
                                                std::fmod(j * 3.7, 5.0);
            const double cba = -5.0 + 0.003 * x - 0.001 * y +
                               2.0 / (1.0 + ((x - 280) * (x - 280) + (y - 230) * (y - 230)) / 9000.0);
            std::fprintf(out, "%.3f %.3f %d %.2f %.5f\n", x, y, 1000 + j, h, cba);
        }
        std::fclose(out);
        std::ofstream subset(path("generated_subset.dat"));
        subset << "1003 0 1003 0 0\n1017 0 1017 0 0\n1200 0 1200 0 0\n";
        return file;
    }

    RunSettings base(const std::string& input, double radius) const {
        RunSettings s;
        s.input_file = input;
        s.output_file = path("result.dat");
        s.trace_file = derive_trace_file(input);
        s.search_radius = radius;
        s.cell_size = 0.1 * radius;
        s.grid_radius = radius;
        return s;
    }

    fs::path folder_;
};

}  // namespace

// Every tendency x solver x search mode on the generated survey; the centrings, the
// calculation point, the passes and the trace subset vary from case to case, so that
// each centring mode meets every coordinate.
TEST_F(threads_identity, every_tendency_solver_and_search_mode_gives_the_same_bytes) {
    const std::string input = write_generated_survey();
    int variant = 0;
    std::size_t failed_points = 0, traced_runs = 0;
    for (int t = 0; t < 5; ++t) {
        for (int solver = 0; solver < 3; ++solver) {
            for (int mode = 0; mode < 2; ++mode, ++variant) {
                RunSettings s = base(input, 70.0);
                s.tendency = static_cast<Tendency>(t);
                s.solver = static_cast<SolverKind>(solver);
                s.search_mode = static_cast<SearchMode>(mode);
                s.nearest_count = 12 + variant % 9;
                s.centering_x = static_cast<CenteringMode>(variant % 3);
                s.centering_y = static_cast<CenteringMode>((variant + 1) % 3);
                s.centering_z = static_cast<CenteringMode>((variant / 3) % 3);
                s.centering_cba = static_cast<CenteringMode>((variant / 9) % 3);
                s.include_calc_point = variant % 2 == 1;
                s.iterations = variant % 4 == 0 ? 1 : 0;
                s.alpha = 0.3;
                s.subset_file = path("generated_subset.dat");
                s.min_alpha = 1e-6;
                s.max_alpha = 1e4;
                s.sequence_quotient = 4.0;
                if (solver == 1) s.sv_threshold = variant % 3 == 0 ? 1e-3 : -1.0;
                const std::string label = std::string(kTendencies[t]) + " " + kSolvers[solver] +
                                          (mode ? " nearest" : " radius") + " variant " +
                                          std::to_string(variant);
                FakeMonitor one_monitor = answering_yes(), four_monitor = answering_yes();
                const RunOutput one = run_with(s, 1, one_monitor);
                const RunOutput four = run_with(s, 4, four_monitor);
                ASSERT_GT(one.result_file.size(), 1000u) << label;
                expect_same(one, four, label);
                failed_points += one.questions.size();
                traced_runs += one.trace_file.empty() ? 0 : 1;
            }
        }
    }
    // The table reaches the failed-point question and the L-curve trace.
    EXPECT_GT(failed_points, 0u);
    EXPECT_GT(traced_runs, 0u);
}

// The example surveys with the settings their README describes, and the L-curve with
// the default alphas on the traced stations.
TEST_F(threads_identity, example_surveys_give_the_same_bytes) {
    const std::string survey = std::string(ORVANE_EXAMPLES) + "/sphere_survey.dat";
    const std::string lines = std::string(ORVANE_EXAMPLES) + "/sphere_lines.xyz";
    struct Case {
        std::string input;
        Tendency tendency;
        SolverKind solver;
        SearchMode mode;
        double radius;
    };
    const Case cases[] = {
        {survey, Tendency::Linear4x4, SolverKind::MoorePenrose, SearchMode::Radius, 300.0},
        {survey, Tendency::Linear6x6, SolverKind::GaussJordan, SearchMode::NNearest, 60.0},
        {lines, Tendency::Quadratic10x10, SolverKind::Tichonov, SearchMode::Radius, 150.0},
        {lines, Tendency::Linear3x3, SolverKind::Tichonov, SearchMode::NNearest, 40.0},
    };
    for (const Case& c : cases) {
        RunSettings s = base(c.input, c.radius);
        s.output_file = path("example_result.dat");
        s.trace_file = path("example_trace_out.dat");
        s.subset_file = std::string(ORVANE_EXAMPLES) + "/sphere_subset.dat";
        s.tendency = c.tendency;
        s.solver = c.solver;
        s.search_mode = c.mode;
        s.nearest_count = 25;
        FakeMonitor one_monitor = answering_yes(), four_monitor = answering_yes();
        const RunOutput one = run_with(s, 1, one_monitor);
        const RunOutput four = run_with(s, 4, four_monitor);
        ASSERT_EQ(one.result, 0) << c.input;
        expect_same(one, four, c.input + " tendency " + std::to_string(static_cast<int>(c.tendency)));
    }
}

// Stop answered Yes after the report of point 200: both runs keep the header and the
// rows of points 0 to 200, and ask once.
TEST_F(threads_identity, stop_keeps_the_same_rows) {
    const std::string input = write_generated_survey();
    RunSettings s = base(input, 70.0);
    FakeMonitor one_monitor, four_monitor;
    for (FakeMonitor* monitor : {&one_monitor, &four_monitor}) {
        // Reports: the run's 0, the loop's 0, then points 0, 100, 200. The question then
        // comes before the next point, whatever the number of threads.
        monitor->on_progress = [monitor] {
            if (monitor->progress.size() == 5) monitor->stop = true;
        };
        monitor->answers = {true};
    }
    const RunOutput one = run_with(s, 1, one_monitor);
    const RunOutput four = run_with(s, 4, four_monitor);
    EXPECT_EQ(one.result, 1);
    expect_same(one, four, "stop");
    std::size_t lines = 0;
    for (char c : one.result_file) lines += c == '\n';
    EXPECT_EQ(lines, 2u + 201u);
}
