// Bad input of every kind a survey, a result file or a file system can bring: each must
// end with a clear message and a clean state, or read exactly what the file holds. No
// input may crash a run, hang it, or leave a result file passed off as complete.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "engine/points/number_text.h"
#include "engine/points/point_reader.h"
#include "tests/support/fake_monitor.h"
#include "engine/points/result_loader.h"
#include "engine/run/run_calculation.h"
#include "engine/run/run_checks.h"
#include "engine/run/run_state.h"

namespace fs = std::filesystem;

namespace {

const char* const NO_DATA = "Input file contains no valid xyz data";
const char* const SAME_NAME = "Input and output file name must not be the same.";

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

// A 5 x 5 grid of stations 10 m apart starting at (x0, y0), numbered from 1, over a
// plane anomaly with a gentle height term, one station a line.
std::string grid_survey(double x0, double y0, const char* line_end = "\n") {
    std::string text = "X Y POINT HEIGHT CBA" + std::string(line_end);
    int number = 1;
    for (int i = 0; i < 5; ++i)
        for (int k = 0; k < 5; ++k) {
            const double x = x0 + 10.0 * i, y = y0 + 10.0 * k;
            const double h = 100.0 + (3 * i + 7 * k) % 5;
            const double cba = -12.0 + 0.002 * (10.0 * i) - 0.001 * (10.0 * k) + 0.0001 * h;
            text += format_c('.', "%.3f %.3f %d %.3f %.6f", x, y, number++, h, cba) + line_end;
        }
    return text;
}

class bad_input : public testing::Test {
protected:
    void SetUp() override {
        folder_ = fs::temp_directory_path() /
                  ("orvane_bad_" +
                   std::string(testing::UnitTest::GetInstance()->current_test_info()->name()) +
                   "_" + std::to_string(::getpid()));
        fs::remove_all(folder_);
        fs::create_directories(folder_);
    }
    void TearDown() override { fs::remove_all(folder_); }

    std::string path(const std::string& name) const { return (folder_ / name).string(); }
    std::string write(const std::string& name, const std::string& bytes) const {
        std::ofstream(path(name), std::ios::binary) << bytes;
        return path(name);
    }

    RunSettings settings_for(const std::string& input, const std::string& output,
                             double radius = 25.0) const {
        RunSettings s;
        s.input_file = input;
        s.output_file = output;
        s.trace_file = derive_trace_file(input);
        s.search_radius = radius;
        s.cell_size = 0.1 * radius;
        s.grid_radius = radius;
        return s;
    }

    fs::path folder_;
};

}  // namespace

// Files that hold no point at all: the run says so and writes nothing.
TEST_F(bad_input, files_without_points_say_so_and_write_nothing) {
    std::mt19937 random(9);
    std::string binary;
    for (int i = 0; i < 65536; ++i) binary.push_back(static_cast<char>(random() & 0xFF));
    const struct {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"empty", ""},
        {"binary", binary},
        {"one_enormous_line", std::string(4 << 20, 'x')},
        {"words_only", "X Y POINT HEIGHT CBA\nStation list\n"},
        {"numbers_that_are_no_numbers",
         "1e999 2 3 4 5\n1 2 3 4 nan\ninf 2 3 4 5\n1.2.3 2 3 4 5\n+-5 2 3 4 5\n1 2 3 4\n"},
        {"nul_bytes", std::string("\0\0\0\n\0 1 2 3 4 5\n", 16)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string output = path(std::string(c.name) + ".out");
        RunState state;
        state.results_ready = true;
        FakeMonitor monitor;
        EXPECT_EQ(run_calculation(settings_for(write(c.name, c.bytes), output), state, monitor,
                                  nullptr),
                  1);
        EXPECT_EQ(monitor.messages, std::vector<std::string>{NO_DATA});
        EXPECT_FALSE(fs::exists(output));
        EXPECT_FALSE(state.results_ready);
        EXPECT_EQ(state.points.count, 0u);
        EXPECT_TRUE(state.index.empty());
    }
}

// A line longer than the line limit is read in pieces, each its own line: a file of one
// enormous line of numbers gives one point a piece, in bounded time and memory.
TEST_F(bad_input, enormous_line_of_numbers_is_read_in_pieces) {
    std::string line;
    while (line.size() < 1000000) line += "1 2 3 4 5 ";
    PointData points;
    FakeMonitor monitor;
    ASSERT_EQ(read_points(settings_for(write("long", line), path("out")), points, monitor), 0);
    const std::size_t pieces = (line.size() + MAX_LINE_CHARS - 1) / MAX_LINE_CHARS;
    EXPECT_EQ(points.count, pieces);
    for (std::size_t p = 0; p < points.count; ++p) {
        EXPECT_GE(points.x(p), 1.0);
        EXPECT_LE(points.x(p), 5.0);
    }
}

// Every kind of line end, and a byte-order mark before the first line, give the same
// points: none lost, none made of the wrong columns.
TEST_F(bad_input, line_ends_and_byte_order_mark_read_the_same_points) {
    const std::string lf = grid_survey(0.0, 0.0, "\n");
    const std::string no_header = lf.substr(lf.find('\n') + 1);
    const struct {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"crlf", grid_survey(0.0, 0.0, "\r\n")},
        {"cr_only", grid_survey(0.0, 0.0, "\r")},
        {"mixed", "X Y POINT HEIGHT CBA\r" + grid_survey(0.0, 0.0, "\n").substr(21)},
        {"bom_header", "\xEF\xBB\xBF" + lf},
        {"bom_data", "\xEF\xBB\xBF" + no_header},
        {"no_final_line_end", lf.substr(0, lf.size() - 1)},
    };
    PointData expected;
    FakeMonitor monitor;
    ASSERT_EQ(read_points(settings_for(write("lf", lf), path("out")), expected, monitor), 0);
    ASSERT_EQ(expected.count, 25u);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        PointData points;
        ASSERT_EQ(read_points(settings_for(write(c.name, c.bytes), path("out")), points, monitor), 0);
        ASSERT_EQ(points.count, expected.count);
        for (std::size_t p = 0; p < points.count; ++p) {
            EXPECT_EQ(points.x(p), expected.x(p)) << p;
            EXPECT_EQ(points.y(p), expected.y(p)) << p;
            EXPECT_EQ(points.survey[p].point_number, expected.survey[p].point_number) << p;
            EXPECT_EQ(points.height(p), expected.height(p)) << p;
            EXPECT_EQ(points.survey[p].cba, expected.survey[p].cba) << p;
        }
    }
    EXPECT_TRUE(monitor.messages.empty());
}

// Number texts at the edges of what a double holds: only finite numbers written in full
// are numbers; a line holding anything else is not a data line.
TEST_F(bad_input, number_forms_at_the_edges) {
    const struct {
        const char* text;
        bool number;
        double value;
    } cases[] = {
        {"1e999", false, 0},  {"-1e999", false, 0}, {"nan", false, 0},   {"inf", false, 0},
        {"1.2.3", false, 0},  {"+-5", false, 0},    {"-+5", false, 0},   {"--5", false, 0},
        {"", false, 0},       {"1e", false, 0},     {"e5", false, 0},    {".", false, 0},
        {"-0", true, -0.0},   {"+5", true, 5},      {"1e-320", true, 1e-320},
        {"1.5E3", true, 1500}, {"1e308", true, 1e308},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const std::optional<double> v = parse_double(c.text, '.');
        ASSERT_EQ(v.has_value(), c.number);
        if (c.number) {
            EXPECT_EQ(*v, c.value);
            EXPECT_EQ(std::signbit(*v), std::signbit(c.value));
        }
    }

    // In a file: the lines with a number that is none are skipped, the others read.
    const std::string text =
        "1e999 2 3 4 5\n-0 0 1 4 5\n1 2 nan 4 5\n1e-320 10 2 4 5\n1.2.3 2 3 4 5\n+-5 2 3 4 5\n"
        "10 -0 3 4 5\n";
    PointData points;
    FakeMonitor monitor;
    ASSERT_EQ(read_points(settings_for(write("edges", text), path("out")), points, monitor), 0);
    ASSERT_EQ(points.count, 3u);
    EXPECT_EQ(points.survey[0].point_number, 1.0);
    EXPECT_EQ(points.x(1), 1e-320);
    EXPECT_EQ(points.survey[2].point_number, 3.0);
    // -0 is not below 0: no shift.
    EXPECT_EQ(points.extent.x_offset, 0.0);
    EXPECT_EQ(points.extent.y_offset, 0.0);
}

// Two stations on the same spot see the same neighbourhood, so they get the same row
// but for the point number; the run neither fails nor asks.
TEST_F(bad_input, duplicate_stations_get_the_same_row) {
    std::string text = grid_survey(0.0, 0.0);
    std::string station_13 = lines_of(text)[13];
    ASSERT_EQ(station_13.substr(0, 17), "20.000 20.000 13 ");
    text += station_13.replace(14, 2, "99") + "\n";  // the same spot, another number
    const std::string output = path("out.dat");
    RunState state;
    FakeMonitor monitor;
    ASSERT_EQ(run_calculation(settings_for(write("dup.dat", text), output), state, monitor, nullptr),
              0);
    EXPECT_TRUE(monitor.messages.empty());
    EXPECT_TRUE(monitor.questions.empty());
    const std::vector<std::string> rows = lines_of(slurp(output));
    ASSERT_EQ(rows.size(), 2u + 26u);
    std::string original = rows[2 + 12], twin = rows[2 + 25];
    ASSERT_NE(original.find("        13 "), std::string::npos) << original;
    original.replace(original.find("        13 "), 11, "        99 ");
    EXPECT_EQ(original, twin);
}

// All stations on one spot: no plane can be fitted. Gauss-Jordan reports every point,
// and answering No ends the run with only the header lines written.
TEST_F(bad_input, stations_all_on_one_spot_are_reported) {
    std::string text;
    for (int p = 1; p <= 6; ++p) text += "500 700 " + std::to_string(p) + " 100 -12\n";
    const std::string input = write("spot.dat", text);
    RunSettings s = settings_for(input, path("out.dat"));
    s.solver = SolverKind::GaussJordan;
    RunState state;
    FakeMonitor monitor;
    monitor.answers = {true, true, false};
    EXPECT_EQ(run_calculation(s, state, monitor, nullptr), 1);
    ASSERT_EQ(monitor.questions.size(), 3u);
    EXPECT_EQ(question_text(monitor.questions[0]),
              "Error in SLE - Check coordinate of point 1. Continue?");
    EXPECT_EQ(question_text(monitor.questions[2]),
              "Error in SLE - Check coordinate of point 3. Continue?");
    EXPECT_EQ(lines_of(slurp(s.output_file)).size(), 2u);
    EXPECT_FALSE(state.results_ready);

    // The other solvers give an answer or report the point; a row never holds NaN.
    for (SolverKind solver : {SolverKind::MoorePenrose, SolverKind::Tichonov}) {
        s.solver = solver;
        FakeMonitor quiet;
        quiet.answers = std::deque<bool>(6, true);
        run_calculation(s, state, quiet, nullptr);
        const std::string result = slurp(s.output_file);
        EXPECT_EQ(result.find("nan"), std::string::npos) << result;
        EXPECT_EQ(result.find("inf"), std::string::npos) << result;
    }
}

// A survey of one station: it has no neighbour, so it is reported and has no row; the
// N-nearest search can still take the station itself when it may count.
TEST_F(bad_input, survey_of_one_station) {
    const std::string input = write("one.dat", "10 20 7 100 -12\n");
    RunSettings s = settings_for(input, path("out.dat"));
    s.solver = SolverKind::GaussJordan;
    RunState state;
    FakeMonitor monitor;
    monitor.answers = {true};
    EXPECT_EQ(run_calculation(s, state, monitor, nullptr), 0);
    ASSERT_EQ(monitor.questions.size(), 1u);
    EXPECT_EQ(question_text(monitor.questions[0]),
              "Error in SLE - Check coordinate of point 7. Continue?");
    EXPECT_EQ(lines_of(slurp(s.output_file)).size(), 2u);

    s.search_mode = SearchMode::NNearest;
    s.nearest_count = 2;
    FakeMonitor nearest;
    EXPECT_EQ(run_calculation(s, state, nearest, nullptr), 1);
    EXPECT_EQ(nearest.messages, std::vector<std::string>{
                                    "N nearest points must be between 1 and the number of "
                                    "points (1)."});
}

// Projected coordinates with large offsets: the fit is centred on the point, so the
// gradients are those of the same grid near the origin. A radius of 1e-5 over such an
// extent would need a cell table beyond any memory: refused with the index's message.
TEST_F(bad_input, large_coordinates_and_a_tiny_radius) {
    RunState near_state, far_state;
    FakeMonitor monitor;
    const RunSettings near = settings_for(write("near.dat", grid_survey(0.0, 0.0)), path("near.out"));
    const RunSettings far =
        settings_for(write("far.dat", grid_survey(1e9, 2e9)), path("far.out"));
    ASSERT_EQ(run_calculation(near, near_state, monitor, nullptr), 0);
    ASSERT_EQ(run_calculation(far, far_state, monitor, nullptr), 0);
    EXPECT_TRUE(monitor.messages.empty());
    ASSERT_EQ(near_state.points.count, far_state.points.count);
    for (std::size_t p = 0; p < near_state.points.count; ++p) {
        for (int q = 5; q <= 12; ++q) {
            EXPECT_NEAR(far_state.points.work[p].value[q], near_state.points.work[p].value[q],
                        1e-6)
                << p << " " << q;
        }
    }
    const std::vector<std::string> far_rows = lines_of(slurp(far.output_file));
    ASSERT_EQ(far_rows.size(), 27u);
    EXPECT_EQ(far_rows[2].substr(0, 32), "1000000000.000 2000000000.000   ");

    RunState tiny_state;
    FakeMonitor tiny;
    const RunSettings tiny_radius =
        settings_for(write("tiny.dat", grid_survey(1e9, 2e9)), path("tiny.out"), 1e-5);
    EXPECT_EQ(run_calculation(tiny_radius, tiny_state, tiny, nullptr), 1);
    EXPECT_EQ(tiny.messages,
              std::vector<std::string>{
                  "Insufficent memory for creting temporary cluster. Increase radius for search!"});
    EXPECT_FALSE(fs::exists(tiny_radius.output_file));
    EXPECT_TRUE(tiny_state.index.empty());
}

// Anomalies near 1e203 over a few metres give gradients near 1e200, whose squares leave
// the doubles: the analytic signal is still the finite root, in memory and in the file.
TEST_F(bad_input, gradients_whose_squares_overflow) {
    std::string text = "X Y POINT HEIGHT CBA\n";
    for (int i = 0; i < 5; ++i)
        for (int k = 0; k < 5; ++k)
            text += format_c('.', "%.3f %.3f %d 100.000 %.6e\n", 10.0 * i, 10.0 * k,
                             5 * i + k + 1, 1e203 * (0.002 * i - 0.001 * k + 1.0));
    RunState state;
    FakeMonitor monitor;
    const RunSettings s = settings_for(write("steep.dat", text), path("steep.out"));
    ASSERT_EQ(run_calculation(s, state, monitor, nullptr), 0);
    EXPECT_TRUE(monitor.messages.empty());
    for (std::size_t p = 0; p < state.points.count; ++p) {
        const double* v = state.points.work[p].value;
        EXPECT_GT(std::fabs(v[work::hggax]), 1e199) << p;
        EXPECT_TRUE(std::isfinite(v[work::asig])) << p;
        EXPECT_DOUBLE_EQ(v[work::asig], std::hypot(v[work::hgga], v[work::vgga])) << p;
    }
    const std::string rows = slurp(s.output_file);
    EXPECT_EQ(rows.find("inf"), std::string::npos);
    EXPECT_EQ(lines_of(rows).size(), 27u);
}

// The input gives its lines once and is gone at the second pass (a pipe here): the run
// ends with a message before any result file is made.
TEST_F(bad_input, input_gone_before_the_second_pass) {
    const std::string input = path("pipe");
    ASSERT_EQ(::mkfifo(input.c_str(), 0600), 0);
    const std::string survey = grid_survey(0.0, 0.0);
    std::thread writer([&] { std::ofstream(input, std::ios::binary) << survey; });
    RunState state;
    FakeMonitor monitor;
    const RunSettings s = settings_for(input, path("out.dat"));
    EXPECT_EQ(run_calculation(s, state, monitor, nullptr), 1);
    writer.join();
    EXPECT_EQ(monitor.messages, std::vector<std::string>{"Input file changed while reading"});
    EXPECT_FALSE(fs::exists(s.output_file));
    EXPECT_EQ(state.points.count, 0u);
}

// A result file that cannot be created: a missing folder, a place where nothing may be
// created, a file standing where a folder should be. The run says so; the input stays.
TEST_F(bad_input, output_that_cannot_be_created) {
    const std::string survey = grid_survey(0.0, 0.0);
    const std::string input = write("in.dat", survey);
    write("plain_file", "x");
    for (const std::string& output :
         {path("no_such_folder/out.dat"), std::string("/proc/orvane_no_such_entry/out.dat"),
          std::string("/proc/out.dat"), path("plain_file/out.dat")}) {
        SCOPED_TRACE(output);
        RunState state;
        FakeMonitor monitor;
        EXPECT_EQ(run_calculation(settings_for(input, output), state, monitor, nullptr), 1);
        EXPECT_EQ(monitor.messages, std::vector<std::string>{"Error by opening output file"});
        EXPECT_FALSE(state.results_ready);
        EXPECT_EQ(slurp(input), survey);
    }
}

// The result file named as the input by another spelling: refused before anything is
// opened, and the input keeps every byte.
TEST_F(bad_input, output_that_is_the_input_by_another_spelling) {
    const std::string survey = grid_survey(0.0, 0.0);
    const std::string input = write("in.dat", survey);
    fs::create_directory(path("sub"));
    fs::create_symlink(input, path("link.dat"));
    fs::create_hard_link(input, path("hard.dat"));
    const std::string relative = fs::relative(input, fs::current_path()).string();
    const std::string spellings[] = {
        path("./in.dat"), path("sub/../in.dat"), folder_.string() + "//in.dat",
        path("link.dat"), path("hard.dat"), relative,
    };
    for (const std::string& output : spellings) {
        SCOPED_TRACE(output);
        ASSERT_NE(output, input);
        RunState state;
        state.results_ready = true;
        FakeMonitor monitor;
        EXPECT_EQ(run_calculation(settings_for(input, output), state, monitor, nullptr), 1);
        EXPECT_EQ(monitor.messages, std::vector<std::string>{SAME_NAME});
        EXPECT_EQ(slurp(input), survey);
        EXPECT_TRUE(state.results_ready);  // refused like a check: nothing was touched
    }
    // The other way round: the input reached through a link, the output by its name.
    RunState state;
    FakeMonitor monitor;
    EXPECT_EQ(run_calculation(settings_for(path("link.dat"), input), state, monitor, nullptr), 1);
    EXPECT_EQ(monitor.messages, std::vector<std::string>{SAME_NAME});
    EXPECT_EQ(slurp(input), survey);
}

// With a subset, the subset file and the trace file are files of the run too: the
// result file may be neither, and the trace file may overwrite no input.
TEST_F(bad_input, output_and_trace_file_must_not_meet_the_subset_or_each_other) {
    const std::string survey = grid_survey(0.0, 0.0);
    const std::string input = write("in.dat", survey);
    const std::string subset_text = "0 0 1 100 -12\n";
    const std::string subset = write("subset.dat", subset_text);
    const std::string trace = derive_trace_file(input);
    struct Case {
        std::string output, subset, message;
    };
    const Case cases[] = {
        {path("./subset.dat"), subset, "Subset and output file name must not be the same."},
        {path("./in_trace_out.dat"), subset,
         "Output file name must not be the same as the trace file name (" + trace + ")."},
        {path("out.dat"), path("in_trace_out.dat"),
         "Subset file name must not be the same as the trace file name (" + trace + ")."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.output);
        if (c.subset != subset) write("in_trace_out.dat", subset_text);
        RunSettings s = settings_for(input, c.output);
        s.subset_file = c.subset;
        RunState state;
        FakeMonitor monitor;
        EXPECT_EQ(run_calculation(s, state, monitor, nullptr), 1);
        EXPECT_EQ(monitor.messages, std::vector<std::string>{c.message});
        EXPECT_EQ(slurp(input), survey);
        EXPECT_EQ(slurp(c.subset), subset_text);
    }
}

// A full disk: the rows cannot all be written, so the run fails with a message and the
// results are not ready, whether the result file or the trace file hits it.
TEST_F(bad_input, full_disk_is_never_success) {
    const std::string input = write("in.dat", grid_survey(0.0, 0.0));
    RunState state;
    FakeMonitor monitor;
    EXPECT_EQ(run_calculation(settings_for(input, "/dev/full"), state, monitor, nullptr), 1);
    EXPECT_EQ(monitor.messages, std::vector<std::string>{"Error by writing output file"});
    EXPECT_FALSE(state.results_ready);

    // The trace file lands on the full device through a link in its place.
    fs::create_symlink("/dev/full", derive_trace_file(input));
    RunSettings s = settings_for(input, path("out.dat"));
    s.subset_file = write("subset.dat", "0 0 1 100 -12\n10 10 7 100 -12\n");
    s.solver = SolverKind::Tichonov;
    s.sv_threshold = -1.0;
    FakeMonitor traced;
    EXPECT_EQ(run_calculation(s, state, traced, nullptr), 1);
    EXPECT_EQ(traced.messages, std::vector<std::string>{"Error by writing output trace file"});
    EXPECT_FALSE(state.results_ready);
}

// Result files with odd rows: NaN fields and short rows are no data lines; 200 columns
// are cut to the first 99.
TEST_F(bad_input, result_files_with_odd_rows) {
    const std::string header =
        "Map: in.dat  Radius:     25  Iter:   0  Object: RGA  Tendencies: Linear  "
        "Interpolation(4x4)\n";
    std::string wide;
    for (int t = 0; t < 200; ++t) wide += std::to_string(t % 7) + " ";
    wide += "\n";
    const struct {
        const char* name;
        std::string rows;
        LoadOutcome outcome;
        std::size_t count;
    } cases[] = {
        {"nan_fields",
         "1 2 3 4 5 nan 7 8 9 10 11 12 13 14\n1 2 3 4 5 6 7 8 9 NaN 11 12 13 14\n",
         LoadOutcome::NoData, 0},
        {"inf_and_huge", "1 2 3 4 5 inf 7 8 9 10 11 12 13 14\n1 2 3 1e999 5 6 7 8 9 10 11 12\n",
         LoadOutcome::NoData, 0},
        {"fewer_than_10", "1 2 3 4 5 6 7 8 9\n1 2 3 4 5\n", LoadOutcome::NoData, 0},
        {"mixed", "1 2 3 4 5 nan 7 8 9 10 11 12 13 14\n1 2 3 4 5 6 7 8 9 10 11 12 13 14\n",
         LoadOutcome::Loaded, 1},
        {"two_hundred_columns", wide, LoadOutcome::Loaded, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RunState state;
        FakeMonitor monitor;
        const ResultLoad load =
            load_result_file({write(c.name, header + c.rows), '.', 0.0}, state, monitor);
        EXPECT_EQ(load.outcome, c.outcome);
        EXPECT_EQ(state.points.count, c.count);
        if (c.outcome == LoadOutcome::NoData) {
            EXPECT_EQ(monitor.messages,
                      std::vector<std::string>{"Calculated file contains no valid xyz data"});
            EXPECT_FALSE(state.results_ready);
        } else {
            EXPECT_TRUE(monitor.messages.empty());
            EXPECT_TRUE(state.results_ready);
            for (std::size_t p = 0; p < state.points.count; ++p)
                for (double v : state.points.work[p].value) EXPECT_TRUE(std::isfinite(v));
        }
    }
}

// A result file with CR-only line ends or a byte-order mark loads like any other.
TEST_F(bad_input, result_file_line_ends_and_byte_order_mark) {
    const std::string text =
        "Map: in.dat  Radius:     25  Iter:   0  Object: LGA  Tendencies: Linear  "
        "Interpolation(4x4)\n"
        "          x           y      point          h        cba      hggax      hggay       "
        "hgga       vgga        rga        lga       asig tilt_angle    npoints\n"
        "1 2 3 4 5 6 7 8 9 10 11 12 13 14\n3 4 5 6 7 8 9 10 11 12 13 14 15 16\n";
    std::string cr = text;
    for (char& c : cr)
        if (c == '\n') c = '\r';
    for (const std::string& bytes : {cr, "\xEF\xBB\xBF" + text}) {
        RunState state;
        FakeMonitor monitor;
        const ResultLoad load = load_result_file({write("result", bytes), '.', 0.0}, state, monitor);
        ASSERT_EQ(load.outcome, LoadOutcome::Loaded);
        EXPECT_EQ(state.points.count, 2u);
        EXPECT_EQ(load.iteration_object, 1);
        EXPECT_EQ(load.tendency, Tendency::Linear4x4);
        EXPECT_EQ(state.points.work[1].value[work::x], 3.0);
    }
}

// A result file whose header radius is tiny against the area of its rows (found by
// fuzzing: a damaged radius of 2 over kilometres asked for a 200-million-cell index):
// beyond the index's cap the load is refused with the index's message, no data left.
TEST_F(bad_input, result_file_with_a_radius_too_small_for_its_area) {
    const std::string text =
        "Map: in.dat  Radius:  0.001  Iter:   0  Object: RGA  Tendencies: Linear  "
        "Interpolation(3x3)\n"
        "0 0 1 100 -12 1 2 3 4 5 6 30\n5000 8000 2 100 -12 1 2 3 4 5 6 30\n";
    RunState state;
    state.results_ready = true;
    FakeMonitor monitor;
    const ResultLoad load = load_result_file({write("tiny_radius", text), '.', 0.0}, state, monitor);
    EXPECT_EQ(load.outcome, LoadOutcome::NoData);
    EXPECT_EQ(monitor.messages,
              std::vector<std::string>{
                  "Insufficent memory for creting temporary cluster. Increase radius for search!"});
    EXPECT_FALSE(state.results_ready);
    EXPECT_EQ(state.points.count, 0u);
    EXPECT_TRUE(state.index.empty());
}
