#include "orvgrid/grid/preview_grid.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <span>

#include "engine/run/run_state.h"
#include "engine/search/cluster_index.h"
#include "tests/support/fake_monitor.h"
#include "tests/support/test_points.h"

namespace {

constexpr int cba = work::cba;

// Node values of a gridding with a 1 m lattice.
PreviewGrid grid_of(const PointData& points, double search_radius, double grid_radius,
                    FakeMonitor& monitor) {
    const ClusterIndex index = make_index(points, 1.0);
    PreviewResult result;
    EXPECT_EQ(gridPreviewVariable(points, index, cba, search_radius, grid_radius, 20, 20, monitor,
                                  result),
              GridOutcome::Done);
    return result.grid;
}

double distance(double dx, double dy) { return std::sqrt(dx * dx + dy * dy); }

}  // namespace

TEST(preview_grid, point_on_a_node_counts_with_a_finite_weight) {
    FakeMonitor monitor;
    // P0 on node (0, 0); P1 on node (5, 5), 7.07 m away, beyond the 3 m search radius.
    const PointData points = make_points({{0, 0, 7}, {5, 5, 100}}, cba);
    const PreviewGrid grid = grid_of(points, 3.0, 3.0, monitor);
    ASSERT_EQ(grid.nx, 6u);
    ASSERT_EQ(grid.ny, 6u);
    EXPECT_FLOAT_EQ(grid.at(0, 0), 7.0f);
    EXPECT_FLOAT_EQ(grid.at(5, 5), 100.0f);
    // Node (2, 2) is 2.83 m from P0 and 4.24 m from P1; node (3, 3) the other way round.
    EXPECT_FLOAT_EQ(grid.at(2, 2), 7.0f);
    EXPECT_FLOAT_EQ(grid.at(3, 3), 100.0f);
    // Node (0, 5) has no point within 3 m.
    EXPECT_TRUE(is_blank(grid.at(0, 5)));
    EXPECT_EQ(grid.at(0, 5), BLANK_VALUE);
}

TEST(preview_grid, both_offsets_are_added_to_the_differences) {
    FakeMonitor monitor;
    // Node 1 lies midway between the points; the +0.001 puts the right-hand point nearer.
    const PointData points = make_points({{0, 0, 0}, {2, 0, 1}}, cba);
    const PreviewGrid grid = grid_of(points, 10.0, 10.0, monitor);
    ASSERT_EQ(grid.nx, 3u);
    ASSERT_EQ(grid.ny, 1u);
    const double d0 = distance(1.001, 0.001);
    const double d1 = distance(-0.999, 0.001);
    const double expected = (0.0 / d0 + 1.0 / d1) / (1.0 / d0 + 1.0 / d1);
    EXPECT_GT(grid.at(1, 0), 0.5f);
    EXPECT_FLOAT_EQ(grid.at(1, 0), static_cast<float>(expected));
}

TEST(preview_grid, cell_window_reaches_one_cell_less_above) {
    FakeMonitor monitor;
    // Cells 0..3 along x. With Rg = 2 (K = 2) node 1 sees cells 0..2 only, so P1 in
    // cell 3 is left out although it is 2 m away, well inside Rs = 10; node 2 sees
    // cells 0..3 and takes both.
    const PointData points = make_points({{0, 0, 1}, {3, 0, 3}}, cba);
    const PreviewGrid grid = grid_of(points, 10.0, 2.0, monitor);
    ASSERT_EQ(grid.nx, 4u);
    EXPECT_FLOAT_EQ(grid.at(0, 0), 1.0f);
    EXPECT_FLOAT_EQ(grid.at(1, 0), 1.0f);
    const double d0 = distance(2.001, 0.001);
    const double d1 = distance(-0.999, 0.001);
    EXPECT_FLOAT_EQ(grid.at(2, 0),
                    static_cast<float>((1.0 / d0 + 3.0 / d1) / (1.0 / d0 + 1.0 / d1)));
    // Node 3 sees cells 1..3 below it: P0 in cell 0 is out of its window.
    EXPECT_FLOAT_EQ(grid.at(3, 0), 3.0f);
}

TEST(preview_grid, larger_grid_radius_never_counts_points_beyond_search_radius) {
    FakeMonitor monitor;
    const PointData points = make_points({{0, 0, 1}, {3, 0, 3}}, cba);
    const PreviewGrid grid = grid_of(points, 1.5, 10.0, monitor);
    EXPECT_FLOAT_EQ(grid.at(0, 0), 1.0f);
    EXPECT_FLOAT_EQ(grid.at(1, 0), 1.0f);  // P1 1.999 m away
    EXPECT_FLOAT_EQ(grid.at(2, 0), 3.0f);  // P0 2.001 m away
    EXPECT_FLOAT_EQ(grid.at(3, 0), 3.0f);
}

TEST(preview_grid, larger_grid_radius_adds_points_the_high_side_missed) {
    FakeMonitor monitor;
    const PointData points = make_points({{0, 0, 1}, {3, 0, 3}}, cba);
    const PreviewGrid grid = grid_of(points, 10.0, 3.5, monitor);  // K = 4
    const double d0 = distance(1.001, 0.001);
    const double d1 = distance(-1.999, 0.001);
    EXPECT_FLOAT_EQ(grid.at(1, 0),
                    static_cast<float>((1.0 / d0 + 3.0 / d1) / (1.0 / d0 + 1.0 / d1)));
}

TEST(preview_grid, stop_answered_yes_cancels_and_keeps_the_flag) {
    FakeMonitor monitor;
    monitor.stop = true;
    monitor.answers = {true};
    const PointData points = make_points({{0, 0, 1}, {3, 0, 3}}, cba);
    const ClusterIndex index = make_index(points, 1.0);
    PreviewResult result;
    result.raster.mean = 123.0;  // must survive a cancel
    EXPECT_EQ(gridPreviewVariable(points, index, cba, 10.0, 10.0, 20, 20, monitor, result),
              GridOutcome::Cancelled);
    EXPECT_TRUE(monitor.stop);
    EXPECT_EQ(monitor.events, 1);  // asked after the first column
    ASSERT_EQ(monitor.questions.size(), 1u);
    EXPECT_EQ(monitor.questions[0], Question{CancelCalculation{}});
    EXPECT_EQ(result.raster.mean, 123.0);
}

TEST(preview_grid, stop_answered_no_clears_the_flag_and_goes_on) {
    FakeMonitor monitor;
    monitor.stop = true;
    monitor.answers = {false};
    const PointData points = make_points({{0, 0, 1}, {3, 0, 3}}, cba);
    const ClusterIndex index = make_index(points, 1.0);
    PreviewResult result;
    EXPECT_EQ(gridPreviewVariable(points, index, cba, 10.0, 10.0, 20, 20, monitor, result),
              GridOutcome::Done);
    EXPECT_FALSE(monitor.stop);
    EXPECT_EQ(monitor.events, 4);  // once after each of the four node columns
    EXPECT_EQ(monitor.questions.size(), 1u);
    EXPECT_EQ(result.raster.width, 20);
    EXPECT_EQ(result.colours.colours.size(), 400u);
}

TEST(preview_grid, buffers_that_cannot_be_had_fail_with_the_memory_message) {
    FakeMonitor monitor;
    const PointData points = make_points({{0, 0, 1}, {3, 0, 3}}, cba);
    const ClusterIndex index = make_index(points, 1.0);
    PreviewResult result;
    EXPECT_EQ(gridPreviewVariable(points, index, cba, 10.0, 10.0, 2147483647, 2147483647, monitor,
                                  result),
              GridOutcome::Failed);
    ASSERT_EQ(monitor.messages.size(), 1u);
    EXPECT_EQ(monitor.messages[0], "Not enough memory for temporary buffer");
}

TEST(preview_grid, refuses_a_position_outside_the_work_record) {
    FakeMonitor monitor;
    const PointData points = make_points({{0, 0, 1}}, cba);
    const ClusterIndex index = make_index(points, 1.0);
    PreviewResult result;
    for (int position : {-1, 15}) {
        EXPECT_EQ(gridPreviewVariable(points, index, position, 10.0, 10.0, 20, 20, monitor, result),
                  GridOutcome::Failed);
    }
    EXPECT_EQ(monitor.messages.size(), 2u);
    EXPECT_EQ(monitor.events, 0);
}

TEST(preview_grid, empty_index_gives_a_blank_picture) {
    FakeMonitor monitor;
    PointData points;
    ClusterIndex index;
    PreviewResult result;
    EXPECT_EQ(gridPreviewVariable(points, index, cba, 10.0, 10.0, 5, 4, monitor, result),
              GridOutcome::Done);
    EXPECT_EQ(result.raster.cols_used, 0);
    for (float v : result.raster.values) EXPECT_TRUE(is_blank(v));
    for (std::uint32_t c : result.colours.colours) EXPECT_EQ(c, 0xFFFFFFu);
}

TEST(preview_grid, grid_keeps_the_lattice_and_offsets) {
    FakeMonitor monitor;
    PointData points = make_points({{10, 20, 1}, {14, 23, 2}}, cba);
    points.extent.x_offset = 5.0;
    points.extent.y_offset = 7.0;
    const ClusterIndex index = make_index(points, 2.0);
    PreviewResult result;
    ASSERT_EQ(gridPreviewVariable(points, index, cba, 10.0, 10.0, 20, 20, monitor, result),
              GridOutcome::Done);
    EXPECT_EQ(result.grid.nx, 3u);
    EXPECT_EQ(result.grid.ny, 2u);
    EXPECT_EQ(result.grid.cell_size, 2.0);
    EXPECT_EQ(result.grid.origin_x, 10.0);
    EXPECT_EQ(result.grid.origin_y, 20.0);
    EXPECT_EQ(result.grid.x_offset, 5.0);
    EXPECT_EQ(result.grid.y_offset, 7.0);
    const double d0 = distance(0.001, 0.001);
    const double d1 = distance(-3.999, -2.999);
    EXPECT_FLOAT_EQ(result.grid.at(0, 0),
                    static_cast<float>((1.0 / d0 + 2.0 / d1) / (1.0 / d0 + 1.0 / d1)));
}

namespace {

// A few thousand scattered points over a lattice of 80 x 50 nodes.
PointData scattered_survey() {
    std::uint64_t state = 77;
    auto next = [&state] {
        std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return static_cast<double>((z ^ (z >> 31)) >> 11) * 0x1.0p-53;
    };
    std::vector<std::array<double, 3>> xyv;
    for (int p = 0; p < 3000; ++p) {
        const double x = 395.0 * next();
        const double y = 245.0 * next();
        xyv.push_back({x, y, std::cos(x / 40.0) * 5.0 + y / 11.0 + next()});
    }
    return make_points(xyv, cba);
}

bool same_bytes(std::span<const float> a, std::span<const float> b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0;
}

}  // namespace

// The radii of a threaded gridding: 80 node columns, handed back one at a time, or
// 396, handed back in blocks of several.
struct ThreadedCase {
    double cell_size, search_radius, grid_radius;
};
constexpr ThreadedCase THREADED_CASES[] = {
    {5.0, 50.0, 50.0}, {5.0, 50.0, 30.0}, {5.0, 50.0, 80.0}, {1.0, 10.0, 10.0}};

namespace {

// The CBA preview of a case, 177 x 145 pixels, on `threads` threads.
GridOutcome grid_case(const PointData& points, const ClusterIndex& index, const ThreadedCase& c,
                      unsigned threads, FakeMonitor& monitor, PreviewResult& result) {
    return gridPreviewVariable(points, index, cba, c.search_radius, c.grid_radius, 177, 145,
                               monitor, result, threads);
}

}  // namespace

TEST(preview_grid, threads_give_the_same_nodes_raster_and_colours) {
    const PointData points = scattered_survey();
    for (const ThreadedCase& c : THREADED_CASES) {
        SCOPED_TRACE(testing::Message() << "Rs " << c.search_radius << " Rg " << c.grid_radius);
        const ClusterIndex index = make_index(points, c.cell_size);
        FakeMonitor one_monitor;
        PreviewResult one;
        ASSERT_EQ(grid_case(points, index, c, 1, one_monitor, one), GridOutcome::Done);
        EXPECT_EQ(one_monitor.events, static_cast<int>(index.nx()));
        for (unsigned threads : {2u, 4u, 0u}) {
            SCOPED_TRACE(threads);
            FakeMonitor monitor;
            PreviewResult many;
            ASSERT_EQ(grid_case(points, index, c, threads, monitor, many), GridOutcome::Done);
            EXPECT_TRUE(same_bytes(one.grid.values, many.grid.values));
            EXPECT_TRUE(same_bytes(one.raster.values, many.raster.values));
            EXPECT_EQ(one.raster.mean, many.raster.mean);
            EXPECT_EQ(one.raster.std_dev, many.raster.std_dev);
            EXPECT_EQ(one.colours.colours, many.colours.colours);
            // Every finished column still gives the window its events.
            EXPECT_GE(monitor.events, static_cast<int>(index.nx()));
            EXPECT_TRUE(monitor.questions.empty());
        }
    }
}

TEST(preview_grid, stop_between_threaded_columns_asks_once_and_cancels_or_goes_on) {
    const PointData points = scattered_survey();
    for (const ThreadedCase& c : {THREADED_CASES[0], THREADED_CASES[3]}) {
        SCOPED_TRACE(testing::Message() << "Rs " << c.search_radius);
        const ClusterIndex index = make_index(points, c.cell_size);
        FakeMonitor plain;
        PreviewResult reference;
        ASSERT_EQ(grid_case(points, index, c, 1, plain, reference), GridOutcome::Done);
        for (bool cancel : {true, false}) {
            SCOPED_TRACE(cancel);
            FakeMonitor monitor;
            monitor.answers = {cancel};
            monitor.stop_at_event = 5;  // while the workers are some columns in
            PreviewResult result;
            result.raster.mean = 42.0;
            const GridOutcome outcome = grid_case(points, index, c, 2, monitor, result);
            ASSERT_EQ(monitor.questions.size(), 1u);
            EXPECT_EQ(monitor.questions[0], Question{CancelCalculation{}});
            if (cancel) {
                EXPECT_EQ(outcome, GridOutcome::Cancelled);
                EXPECT_TRUE(monitor.stop);
                EXPECT_TRUE(result.grid.values.empty());
                EXPECT_EQ(result.raster.mean, 42.0);
                // Cancelled promptly: not every column was waited for.
                EXPECT_LT(monitor.events, static_cast<int>(index.nx()));
            } else {
                EXPECT_EQ(outcome, GridOutcome::Done);
                EXPECT_FALSE(monitor.stop);
                EXPECT_TRUE(same_bytes(result.grid.values, reference.grid.values));
            }
        }
    }
}
