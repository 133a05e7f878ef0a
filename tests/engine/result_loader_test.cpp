#include "engine/points/result_loader.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>

#include "tests/support/fake_monitor.h"
#include "engine/run/run_calculation.h"
#include "engine/run/run_state.h"

namespace fs = std::filesystem;

namespace {

const char* const kRadiusHeader =
    "Map: survey.dat  Radius:    350  Iter:   2  Object: LGA  Tendencies: Linear  "
    "Interpolation(4x4)\n";
const char* const kNames =
    "          x           y      point          h        cba      hggax      hggay       "
    "hgga       vgga        rga        lga       asig tilt_angle    npoints\n";

class result_loader : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "orvane_load_XXXXXX").string();
        folder_ = ::mkdtemp(pattern.data());
    }
    void TearDown() override { fs::remove_all(folder_); }

    std::string write(const std::string& text, const std::string& name = "r.dat") {
        std::string path = (folder_ / name).string();
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }

    ResultLoad load(const std::string& path, double nearest_radius = 0.0) {
        ResultLoadOptions options;
        options.path = path;
        options.nearest_radius = nearest_radius;
        return load_result_file(options, state_, monitor_);
    }

    // A state as a previous run leaves it, to see whether a load keeps or drops it.
    void previous_run() {
        std::string path = write(std::string(kRadiusHeader) + kNames +
                                     "1 1 1 1 1 1 1 1 1 1 1 1 1 7\n"
                                     "2 2 2 2 2 2 2 2 2 2 2 2 2 7\n",
                                 "previous.dat");
        ASSERT_EQ(load(path).outcome, LoadOutcome::Loaded);
        ASSERT_EQ(state_.points.count, 2u);
        monitor_.messages.clear();
    }

    fs::path folder_;
    RunState state_;
    FakeMonitor monitor_;
};

}  // namespace

TEST(result_header, reads_tokens_3_5_7_of_a_radius_run) {
    auto h = parse_result_header(kRadiusHeader);
    ASSERT_TRUE(h);
    EXPECT_FALSE(h->nearest);
    EXPECT_EQ(h->radius_text, "350");
    EXPECT_EQ(h->iterations_text, "2");
    EXPECT_EQ(h->object_text, "LGA");
}

TEST(result_header, reads_an_n_nearest_run) {
    auto h = parse_result_header(
        "Map: survey.dat N nearest:     12  Iter:   0  Object: RGA  Tendencies: Quadratic  "
        "Interpolation\r\n");
    ASSERT_TRUE(h);
    EXPECT_TRUE(h->nearest);
    EXPECT_EQ(h->radius_text, "");
    EXPECT_EQ(h->nearest_count_text, "12");
    EXPECT_EQ(h->iterations_text, "0");
    EXPECT_EQ(h->object_text, "RGA");
}

TEST(result_header, refuses_lines_that_are_no_header) {
    const char* refused[] = {
        "MAP: survey.dat  Radius:    350  Iter:   2  Object: LGA  Tendencies: Linear  X\n",
        "map: survey.dat  Radius:    350  Iter:   2  Object: LGA  Tendencies: Linear  X\n",
        "Map: survey.dat  Radius:    350  Iter:   2  Object: LGA  Tendencies: Linear\n",  // 10
        " Map survey.dat  Radius:    350  Iter:   2  Object: LGA  Tendencies: Linear  X\n",
        "",
        "1 2 3 4 5 6 7 8 9 10 11 12\n",
    };
    for (const char* line : refused) EXPECT_FALSE(parse_result_header(line)) << line;
    EXPECT_TRUE(parse_result_header(
        "   Map:  a  Radius:  1  Iter:  0  Object:  RGA  Tendencies:  Linear  X"));
}

TEST_F(result_loader, refused_header_keeps_the_previous_data_silently) {
    previous_run();
    const std::string headers[] = {
        "MAP: survey.dat  Radius:    350  Iter:   2  Object: LGA  Tendencies: Linear  "
        "Interpolation(4x4)\n",
        "Map: survey.dat  Radius:  Iter:   2  Object: LGA\n",
    };
    for (const auto& header : headers) {
        ResultLoad r = load(write(header + "1 1 1 1 1 1 1 1 1 1 1 1 1 7\n"));
        EXPECT_EQ(r.outcome, LoadOutcome::PreviousKept);
        EXPECT_FALSE(r.header);
        EXPECT_TRUE(monitor_.messages.empty());
        EXPECT_EQ(state_.points.count, 2u);
        EXPECT_TRUE(state_.results_ready);
    }
}

TEST_F(result_loader, blank_in_the_file_name_is_refused_after_setting_the_texts) {
    previous_run();
    ResultLoad r = load(write(
        "Map: my survey.dat  Radius:    350  Iter:   2  Object: LGA  Tendencies: Linear  "
        "Interpolation(4x4)\n1 1 1 1 1 1 1 1 1 1 1 1 1 7\n"));
    EXPECT_EQ(r.outcome, LoadOutcome::PreviousKept);
    ASSERT_TRUE(r.header);
    EXPECT_EQ(r.header->radius_text, "Radius:");
    EXPECT_EQ(r.header->iterations_text, "Iter:");
    EXPECT_EQ(r.header->object_text, "Object:");
    EXPECT_TRUE(monitor_.messages.empty());
    EXPECT_EQ(state_.points.count, 2u);
    EXPECT_TRUE(state_.results_ready);
}

TEST_F(result_loader, missing_file_says_so_and_keeps_the_previous_data) {
    previous_run();
    ResultLoad r = load((folder_ / "none.dat").string());
    EXPECT_EQ(r.outcome, LoadOutcome::PreviousKept);
    EXPECT_EQ(monitor_.messages, std::vector<std::string>{"Cannot open input data file"});
    EXPECT_EQ(state_.points.count, 2u);

    monitor_.messages.clear();
    r = load(folder_.string());  // a folder opens but cannot be read
    EXPECT_EQ(r.outcome, LoadOutcome::PreviousKept);
    EXPECT_EQ(monitor_.messages, std::vector<std::string>{"Cannot open input data file"});
    EXPECT_EQ(state_.points.count, 2u);

    monitor_.messages.clear();
    r = load(write(""));  // an empty file has no header: refused without a word
    EXPECT_EQ(r.outcome, LoadOutcome::PreviousKept);
    EXPECT_TRUE(monitor_.messages.empty());
}

TEST_F(result_loader, no_data_line_leaves_no_data) {
    previous_run();
    ResultLoad r = load(write(std::string(kRadiusHeader) + kNames +
                              "1 2 3 4 5 6 7 8 9\n"           // 9 values
                              "1 2 3 4 5 6 7 8 9 1-2 11 12\n"  // no number
                              "1 2 3 4 5 6 7 8 9 nan 11 12\n"
                              "1 2 3 4 5 6 7 8 9 10 11 x12\n"));
    EXPECT_EQ(r.outcome, LoadOutcome::NoData);
    EXPECT_TRUE(r.header);
    EXPECT_EQ(monitor_.messages,
              std::vector<std::string>{"Calculated file contains no valid xyz data"});
    EXPECT_EQ(state_.points.count, 0u);
    EXPECT_TRUE(state_.points.work.empty());
    EXPECT_TRUE(state_.index.empty());
    EXPECT_FALSE(state_.results_ready);
}

TEST_F(result_loader, skips_short_and_non_numeric_lines) {
    ResultLoad r = load(write(std::string(kRadiusHeader) + kNames +
                              "1 2 3 4 5 6 7 8 9\n"
                              "10 20 1 4 5 6 7 8 9 10 11 12 13 14\n"
                              "1 2 3 4 5 6 7 8 9 10 1e 12 13 14\n"
                              "/ 1 2 3 4 5 6 7 8 9 10 11 12 13\n"
                              "30\t40,2 4 5 6 7 8 9 10 11 12 13 14\n"));
    ASSERT_EQ(r.outcome, LoadOutcome::Loaded);
    ASSERT_EQ(state_.points.count, 2u);
    EXPECT_EQ(state_.points.work.size(), 3u);  // count + 1
    EXPECT_EQ(state_.points.work[0].value[0], 10.0);
    EXPECT_EQ(state_.points.work[1].value[0], 30.0);
    EXPECT_EQ(state_.points.work[1].value[1], 40.0);  // tab and comma are blanks
    EXPECT_EQ(r.tendency, Tendency::Linear4x4);
    EXPECT_EQ(r.search_radius, 350.0);
    EXPECT_EQ(r.grid_radius, 350.0);
    EXPECT_EQ(r.cell_size, 35.0);
    EXPECT_EQ(r.iteration_object, 1);
    EXPECT_TRUE(state_.results_ready);
    EXPECT_FALSE(state_.index.empty());
}

// Tokens after the CBA column go to these positions; -1: not stored.
struct PositionCase {
    int tokens;
    Tendency tendency;
    std::vector<int> positions;  // for tokens 5 .. tokens - 2
};

TEST_F(result_loader, puts_each_column_count_at_its_positions) {
    const PositionCase cases[] = {
        {12, Tendency::Linear3x3, {5, 6, 7, 8, 11, 12}},
        {13, Tendency::Linear6x6, {5, 6, 7, 8, 9, 10, 12}},
        {14, Tendency::Linear4x4, {5, 6, 7, 8, 9, 10, 11, 12}},
        {15, Tendency::Quadratic10x10, {5, 6, 7, 8, 9, 10, 11, 12, 13}},
        {16, Tendency::Quadratic10x10, {5, 6, 7, 8, 9, 10, 11, 12, 13, 14}},
        {20, Tendency::Quadratic10x10, {5, 6, 7, 8, 9, 10, 11, 12, 13, 14, -1, -1, -1, -1}},
    };
    for (const auto& c : cases) {
        std::string row = "100 200 7 300 -5";
        for (int t = 5; t < c.tokens - 1; ++t) row += " " + std::to_string(t * 10);
        row += " 33\n";
        ResultLoad r = load(write(kRadiusHeader + row));
        ASSERT_EQ(r.outcome, LoadOutcome::Loaded) << c.tokens;
        EXPECT_EQ(r.tendency, c.tendency) << c.tokens;
        const WorkPoint& w = state_.points.work[0];
        double expected[15] = {100, 200, 300, -5};
        for (std::size_t q = 0; q < c.positions.size(); ++q)
            if (c.positions[q] >= 0) expected[c.positions[q]] = static_cast<double>((5 + q) * 10);
        for (int p = 0; p < 15; ++p) EXPECT_EQ(w.value[p], expected[p]) << c.tokens << " @" << p;
    }
}

TEST_F(result_loader, ten_and_eleven_tokens_keep_the_tendency_of_the_line_before) {
    ResultLoad r = load(write(std::string(kRadiusHeader) +
                              "1 1 1 1 1 1 1 1 1 1 1 1 1\n"  // 13: Linear6x6
                              "2 2 2 2 2 6 7 8 9 3\n"        // 10
                              "3 3 3 3 3 6 7 8 9 10 3\n"));  // 11
    ASSERT_EQ(r.outcome, LoadOutcome::Loaded);
    EXPECT_EQ(r.tendency, Tendency::Linear6x6);
    const WorkPoint& ten = state_.points.work[1];
    EXPECT_EQ(ten.value[8], 9.0);
    EXPECT_EQ(ten.value[9], 0.0);
    EXPECT_EQ(state_.points.work[2].value[9], 10.0);

    r = load(write(std::string(kRadiusHeader) + "2 2 2 2 2 6 7 8 9 3\n"));
    EXPECT_EQ(r.tendency, Tendency::Linear3x3);
}

TEST_F(result_loader, a_tendency_4_file_loads_as_tendency_0) {
    ResultLoad r = load(write(
        "Map: s.dat  Radius:    100  Iter:   0  Object: RGA  Tendencies: Linear  "
        "Interpolation(3x3)\n"
        "          x           y      point        nte        fay      hggax      hggay       "
        "hgga       vgga       asig tilt_angle    npoints\n"
        "    10.000     20.000          1    368.890 -10.763100  -0.000491  -0.000044   "
        "0.000493   0.010906   0.010917   1.525618         22\n"));
    ASSERT_EQ(r.outcome, LoadOutcome::Loaded);
    EXPECT_EQ(r.tendency, Tendency::Linear3x3);
    EXPECT_EQ(r.iteration_object, 0);
    EXPECT_EQ(state_.points.work[0].value[11], 0.010917);
    EXPECT_EQ(state_.points.work[0].value[12], 1.525618);
}

TEST_F(result_loader, extents_are_the_coordinates_as_written) {
    ResultLoad r = load(write(std::string(kRadiusHeader) +
                              "-250 40 1 4 5 6 7 8 9 10 11 12 13 14\n"
                              "100 -30 2 9 5 6 7 8 9 10 11 12 13 14\n"
                              "20 70 3 -1 5 6 7 8 9 10 11 12 13 14\n"));
    ASSERT_EQ(r.outcome, LoadOutcome::Loaded);
    const PointExtent& e = state_.points.extent;
    EXPECT_EQ(e.x_min, -250.0);
    EXPECT_EQ(e.x_max, 100.0);
    EXPECT_EQ(e.y_min, -30.0);
    EXPECT_EQ(e.y_max, 70.0);
    EXPECT_EQ(e.height_min, -1.0);
    EXPECT_EQ(e.height_max, 9.0);
    EXPECT_EQ(e.x_offset, 0.0);
    EXPECT_EQ(e.y_offset, 0.0);
    EXPECT_EQ(state_.points.work[0].value[0], -250.0);
}

TEST_F(result_loader, n_nearest_file_loads_with_the_radius_given) {
    const std::string text =
        "Map: s.dat N nearest:     12  Iter:   1  Object: LGA  Tendencies: Linear  "
        "Interpolation(4x4)\n"
        "1 2 3 4 5 6 7 8 9 10 11 12 13 14\n";
    previous_run();
    ResultLoad r = load(write(text));
    EXPECT_EQ(r.outcome, LoadOutcome::PreviousKept);
    EXPECT_TRUE(r.radius_needed);
    EXPECT_FALSE(r.header);
    ASSERT_EQ(monitor_.messages.size(), 1u);
    EXPECT_NE(monitor_.messages[0].find("search radius"), std::string::npos);
    EXPECT_EQ(state_.points.count, 2u);

    r = load(write(text), 250.0);
    ASSERT_EQ(r.outcome, LoadOutcome::Loaded);
    ASSERT_TRUE(r.header);
    EXPECT_TRUE(r.header->nearest);
    EXPECT_EQ(r.header->radius_text, "");
    EXPECT_EQ(r.header->iterations_text, "1");
    EXPECT_EQ(r.search_radius, 250.0);
    EXPECT_EQ(r.cell_size, 25.0);
    EXPECT_EQ(r.iteration_object, 1);
    EXPECT_EQ(state_.points.count, 1u);
}

TEST_F(result_loader, zero_radius_header_needs_a_radius_too) {
    const std::string text =
        "Map: s.dat  Radius:      0  Iter:   0  Object: RGA  Tendencies: Linear  "
        "Interpolation(4x4)\n1 2 3 4 5 6 7 8 9 10 11 12 13 14\n";
    ResultLoad r = load(write(text));
    EXPECT_TRUE(r.radius_needed);
    EXPECT_EQ(r.outcome, LoadOutcome::PreviousKept);
    r = load(write(text), 5.0);
    EXPECT_EQ(r.outcome, LoadOutcome::Loaded);
    EXPECT_EQ(r.search_radius, 5.0);
}

TEST_F(result_loader, long_and_wide_lines_load_without_harm) {
    std::string wide;  // 200 single-digit values: read in pieces of 253 characters
    for (int t = 0; t < 200; ++t) wide += (t ? " " : "") + std::to_string(t % 10);
    std::string long_name(300, 'n');
    ResultLoad r = load(write("Map: /" + long_name +
                              ".dat  Radius:    350  Iter:   0  Object: RGA  Tendencies: "
                              "Quadratic  Interpolation\n" +
                              wide + "\n1 2 3 4 5 6 7 8 9 10 11 12 13 14\n"));
    ASSERT_EQ(r.outcome, LoadOutcome::Loaded);
    EXPECT_EQ(r.search_radius, 350.0);
    ASSERT_GE(state_.points.count, 2u);
    EXPECT_EQ(state_.points.work[0].value[14], 4.0);  // token 14 of the first 99
    EXPECT_EQ(state_.points.work[state_.points.count - 1].value[12], 13.0);
}

// A file written by a run loads back to the values the run left in its points.
TEST_F(result_loader, reads_back_what_a_run_wrote) {
    std::string survey;
    int number = 1;
    for (int i = 0; i < 7; ++i)
        for (int k = 0; k < 7; ++k) {
            double x = 1000.0 + 37.0 * i + 3.0 * k, y = 2000.0 + 41.0 * k + 2.0 * i;
            double h = 300.0 + 0.05 * x - 0.02 * y;
            double g = 0.001 * (x - 1100) * (y - 2100) * 0.01 + 0.002 * h;
            char line[128];
            std::snprintf(line, sizeof line, "%.2f %.2f %d %.3f %.6f\n", x, y, number++, h, g);
            survey += line;
        }
    std::string input = write(survey, "survey.dat");
    for (Tendency t : {Tendency::Linear3x3, Tendency::Linear4x4, Tendency::Linear6x6,
                       Tendency::Quadratic10x10, Tendency::Linear3x3NteFay}) {
        RunSettings s;
        s.input_file = input;
        s.output_file = (folder_ / "run.dat").string();
        s.search_radius = 150.0;
        s.cell_size = 15.0;
        s.grid_radius = 150.0;
        s.tendency = t;
        RunState run;
        FakeMonitor run_monitor;
        ASSERT_EQ(run_calculation(s, run, run_monitor, nullptr), 0);

        ResultLoad r = load(s.output_file);
        ASSERT_EQ(r.outcome, LoadOutcome::Loaded);
        Tendency shown = t == Tendency::Linear3x3NteFay ? Tendency::Linear3x3 : t;
        EXPECT_EQ(r.tendency, shown);
        ASSERT_EQ(state_.points.count, run.points.count);
        for (std::size_t p = 0; p < run.points.count; ++p)
            for (int v = 5; v < 15; ++v)
                ASSERT_NEAR(state_.points.work[p].value[v], run.points.work[p].value[v], 5.1e-7)
                    << "tendency " << static_cast<int>(t) << " point " << p << " @" << v;
    }
}
