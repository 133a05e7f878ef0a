// The point loop with Moore-Penrose systems solved eight at a time in vector lanes, and
// the fits of a block made in the order of their cells: a system that fails among
// working ones still shows its message and asks its question at its own station, in file
// order, and a No there ends the run with exactly the rows of the stations before it.
// The stations that fail are found one by one with the plain fit, which solves with the
// scalar code. The survey's file order is scrambled, so that it is not the cells' order.

#include "engine/run/point_loop.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <bit>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "engine/fit/quantities.h"
#include "engine/fit/trend_fit.h"
#include "engine/fit/trend_model.h"
#include "engine/run/run_calculation.h"
#include "engine/run/run_checks.h"
#include "engine/run/run_state.h"
#include "tests/engine/result_compare.h"
#include "tests/support/fake_monitor.h"

namespace fs = std::filesystem;

namespace {

// The messages and questions of a run in the order they came, each question with the
// point number it names.
struct LoggingMonitor : FakeMonitor {
    std::vector<std::string> log;
    void show_message(const std::string& text) override {
        log.push_back(text);
        FakeMonitor::show_message(text);
    }
    bool ask_yes_no(const Question& question) override {
        log.push_back(question_text(question));
        return FakeMonitor::ask_yes_no(question);
    }
};

class point_loop : public testing::Test {
   protected:
    void SetUp() override {
        folder_ = fs::temp_directory_path() /
                  ("orvane_point_loop_" +
                   std::string(testing::UnitTest::GetInstance()->current_test_info()->name()) +
                   "_" + std::to_string(::getpid()));
        fs::remove_all(folder_);
        fs::create_directories(folder_);
        write_survey(9, "survey.dat");
    }
    void TearDown() override { fs::remove_all(folder_); }

    std::string path(const std::string& name) const { return (folder_ / name).string(); }

    // A side x side grid, 10 m apart, numbered from 1 in the file's order, which takes
    // the grid's stations 37 apart (37 has no common divisor with 81 or 2025); a few
    // stations stand on heights near the largest double, so that the height terms of
    // every system around them overflow and the decomposition meets NaNs that never split
    // off. Those systems fail among ordinary ones, at places that fall anywhere in a group
    // of eight.
    void write_survey(int side, const std::string& name) {
        std::ofstream out(path(name));
        out << "x y point h cba\n";
        char line[200];
        const int stations = side * side;
        for (int number = 1; number <= stations; ++number) {
            const int place = (37 * number) % stations;
            const int i = place / side, k = place % side;
            const bool towering = number == 12 || number == 59;
            const double h = towering ? 1e300 : 2.0 + (3 * i + 7 * k) % 5;
            std::snprintf(line, sizeof line, "%d %d %d %.17g %.17g\n", 10 * i, 10 * k, number, h,
                          0.3 * i - 0.2 * k + 0.01 * h);
            out << line;
        }
    }

    RunSettings settings(Tendency tendency, unsigned threads) const {
        RunSettings s;
        s.input_file = path("survey.dat");
        s.output_file = path("result.dat");
        s.trace_file = derive_trace_file(s.input_file);
        s.tendency = tendency;
        s.solver = SolverKind::MoorePenrose;
        s.search_radius = 15.0;
        s.cell_size = 1.5;
        s.grid_radius = 15.0;
        s.threads = threads;
        return s;
    }

    // The point numbers whose systems the plain fit, one at a time, cannot solve.
    static std::vector<double> failing_stations(const RunSettings& s, const RunState& state) {
        const FitContext context{s, state.points, state.index, nullptr};
        std::vector<double> failing;
        for (std::size_t i = 0; i < state.points.count; ++i) {
            const double* v = state.points.work[i].value;
            LocalSystem system;
            AreaMeans means;
            SolverNotes notes;
            EXPECT_EQ(
                fitLocalTrend(context, v[0], v[1], v[2], v[3], 0.0, false, system, means, notes),
                0);
            if (system.rhs[0] == SOLVER_FAILED)
                failing.push_back(state.points.survey[i].point_number);
        }
        return failing;
    }

    fs::path folder_;
};

}  // namespace

TEST_F(point_loop, failed_lane_systems_ask_at_their_own_stations_in_order) {
    for (Tendency tendency : {Tendency::Linear4x4, Tendency::Linear6x6}) {
        for (unsigned threads : {1u, 2u}) {
            const RunSettings s = settings(tendency, threads);
            LoggingMonitor monitor;
            monitor.then_answer = true;
            RunState state;
            ASSERT_EQ(run_calculation(s, state, monitor, nullptr), 0);
            const std::vector<double> failing = failing_stations(s, state);
            ASSERT_GE(failing.size(), 4u);  // several, in different groups
            ASSERT_LT(failing.size(), 40u);

            // Each failed station's message comes right before its own question.
            std::vector<std::string> expected;
            for (double number : failing) {
                expected.push_back("no convergence in 30 svdcmp iterations");
                expected.push_back(question_text(SystemFailed{number, '.'}));
            }
            EXPECT_EQ(monitor.log, expected);
            EXPECT_EQ(state.rows_written, 81u - failing.size());
            EXPECT_EQ(state.rows_failed, failing.size());
            // No row for a failed station, a row for every other one, in file order.
            const std::vector<std::string> lines = read_lines(s.output_file);
            ASSERT_EQ(lines.size(), 2u + 81u - failing.size());
            std::size_t next_failing = 0, line = 2;
            for (int number = 1; number <= 81; ++number) {
                if (next_failing < failing.size() && failing[next_failing] == number) {
                    ++next_failing;
                    continue;
                }
                EXPECT_EQ(tokens_of(lines[line++])[2], std::to_string(number)) << number;
            }
        }
    }
}

TEST_F(point_loop, no_at_a_failed_lane_system_keeps_only_the_rows_before_it) {
    for (unsigned threads : {1u, 2u}) {
        const RunSettings s = settings(Tendency::Linear4x4, threads);
        FakeMonitor monitor;
        monitor.answers = {true, false};  // go on at the first failure, stop at the second
        RunState state;
        ASSERT_EQ(run_calculation(s, state, monitor, nullptr), 1);
        const std::vector<double> failing = failing_stations(s, state);
        ASSERT_GE(failing.size(), 2u);
        ASSERT_EQ(monitor.questions.size(), 2u);
        EXPECT_EQ(monitor.questions[1], (Question{SystemFailed{failing[1], '.'}}));
        EXPECT_EQ(monitor.messages.size(), 2u);
        // The stations before the second failure, less the first failure, have rows.
        const auto rows = static_cast<std::size_t>(failing[1]) - 2u;
        EXPECT_EQ(state.rows_written, rows);
        EXPECT_EQ(read_lines(s.output_file).size(), 2u + rows);
        EXPECT_FALSE(state.results_ready);
    }
}

// A pass before the last keeps each station's RGA and LGA for the next pass's correction.
// On one thread it fits block after block; on more, the workers share the whole survey
// in cell order, chunk by chunk (10000 stations make a few chunks), and the questions
// wait until every fit of the pass is made. After two further passes every station's
// record is the one a plain loop of single fits, pass after pass, gives, and every pass
// asked at its failed stations in file order.
TEST_F(point_loop, further_passes_correct_each_station_by_its_own_fit) {
    write_survey(100, "large.dat");
    for (unsigned threads : {1u, 2u, 3u}) {
        RunSettings s = settings(Tendency::Linear4x4, threads);
        s.input_file = path("large.dat");
        s.iterations = 2;
        s.alpha = 0.5;
        FakeMonitor monitor;
        monitor.then_answer = true;
        RunState state;
        ASSERT_EQ(run_calculation(s, state, monitor, nullptr), 0);
        const std::vector<double> failing = failing_stations(s, state);
        ASSERT_FALSE(failing.empty());
        std::vector<Question> asked;
        for (int pass = 0; pass <= s.iterations; ++pass)
            for (double number : failing) asked.push_back(SystemFailed{number, '.'});
        EXPECT_EQ(monitor.questions, asked) << "threads " << threads;
        EXPECT_EQ(state.rows_written, 10000u - failing.size());

        PointData plain = state.points;
        for (std::size_t i = 0; i < plain.count; ++i) {
            const WorkPoint& run = state.points.work[i];
            plain.work[i] = WorkPoint{{run.value[0], run.value[1], run.value[2],
                                       plain.survey[i].cba}};
        }
        const FitContext context{s, plain, state.index, nullptr};
        const int lga = trend_model(s.tendency).earlier_lga;
        for (int pass = 0; pass <= s.iterations; ++pass) {
            const bool last = pass == s.iterations;
            for (std::size_t i = 0; pass > 0 && i < plain.count; ++i)
                plain.work[i].value[3] = plain.survey[i].cba - s.alpha * plain.work[i].value[lga];
            // A fit reads only positions 0 to 3, so storing in place leaves the pass's
            // other fits as they would be.
            for (std::size_t i = 0; i < plain.count; ++i) {
                double* v = plain.work[i].value;
                LocalSystem system;
                AreaMeans means;
                SolverNotes notes;
                ASSERT_EQ(fitLocalTrend(context, v[0], v[1], v[2], v[3], 0.0, false, system,
                                        means, notes),
                          0);
                if (system.rhs[0] == SOLVER_FAILED) continue;
                const PointQuantities q = last ? deriveQuantities(s.tendency, system.rhs, v[3])
                                               : deriveRegional(s.tendency, system.rhs, v[3]);
                storeQuantities(s.tendency, last, system.rhs, q, plain.work[i]);
            }
        }
        for (std::size_t i = 0; i < plain.count; ++i)
            for (int k = 0; k < 15; ++k)
                ASSERT_EQ(std::bit_cast<std::uint64_t>(state.points.work[i].value[k]),
                          std::bit_cast<std::uint64_t>(plain.work[i].value[k]))
                    << "threads " << threads << ", station " << i << ", position " << k;
    }
}

// The last pass on workers takes blocks that shrink towards its end; on one thread, blocks
// of one size. Whatever the blocks, every station has its row once, in file order, with
// the same bytes (40000 stations make blocks of several sizes on two and three threads).
TEST_F(point_loop, rows_are_the_same_whatever_the_blocks) {
    write_survey(200, "large.dat");
    std::vector<std::string> first;
    for (unsigned threads : {1u, 2u, 3u}) {
        RunSettings s = settings(Tendency::Linear4x4, threads);
        s.input_file = path("large.dat");
        s.output_file = path("result_" + std::to_string(threads) + ".dat");
        FakeMonitor monitor;
        monitor.then_answer = true;
        RunState state;
        ASSERT_EQ(run_calculation(s, state, monitor, nullptr), 0);
        const std::vector<std::string> lines = read_lines(s.output_file);
        ASSERT_EQ(lines.size(), 2u + state.rows_written);
        ASSERT_EQ(state.rows_written + state.rows_failed, 40000u);
        if (threads == 1) {
            first = lines;
            for (std::size_t k = 3; k < lines.size(); ++k)  // point numbers ascend
                ASSERT_LT(std::stod(tokens_of(lines[k - 1])[2]), std::stod(tokens_of(lines[k])[2]));
        } else {
            EXPECT_EQ(lines, first) << "threads " << threads;
        }
    }
}
