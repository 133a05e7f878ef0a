#include "orvgrid/grid/lattice_grid.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <limits>
#include <string>

#include "engine/run/run_calculation.h"
#include "engine/run/run_state.h"
#include "engine/search/cluster_index.h"
#include "orvgrid/grid/node_columns.h"
#include "orvgrid/grid/preview_grid.h"
#include "tests/support/fake_monitor.h"
#include "tests/support/test_points.h"

namespace fs = std::filesystem;

namespace {

constexpr int cba = work::cba;
constexpr std::size_t plenty = std::size_t{1} << 26;

std::uint64_t splitmix(std::uint64_t& state) {
    std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

double uniform(std::uint64_t& state, double low, double high) {
    return low + (high - low) * static_cast<double>(splitmix(state) >> 11) * 0x1.0p-53;
}

bool same_bits(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// The preview's node grid of `position` against the lattice gridding at the index's
// cell size over the points' extent, both ways of finding a node's cell: node by node,
// the lattice value rounded to float must be the preview's bits.
void expect_preview_grid(const PointData& points, const ClusterIndex& index, int position,
                         double search_radius, double grid_radius, unsigned threads) {
    FakeMonitor monitor;
    PreviewResult preview;
    ASSERT_EQ(gridPreviewVariable(points, index, position, search_radius, grid_radius, 177,
                                  145, monitor, preview),
              GridOutcome::Done);
    const std::optional<GridLattice> lattice =
        lattice_over_extent(points.extent, index.cell_size(), plenty);
    ASSERT_TRUE(lattice);
    ASSERT_EQ(lattice->nx, preview.grid.nx);
    ASSERT_EQ(lattice->ny, preview.grid.ny);
    EXPECT_EQ(lattice->origin_x, preview.grid.origin_x);
    EXPECT_EQ(lattice->origin_y, preview.grid.origin_y);
    std::vector<double> values;
    ASSERT_EQ(grid_lattice(points, index, position, search_radius, grid_radius, *lattice,
                           monitor, values, threads),
              GridOutcome::Done);
    ASSERT_EQ(values.size(), preview.grid.values.size());

    // The binning rule, used off the index's lattice, must place every node of the
    // index's own lattice in its own cell.
    NodeLattice by_rule;
    prepare_lattice(by_rule, points, index, position, search_radius, grid_radius, *lattice);
    by_rule.nodes_on_index = false;
    std::vector<float> column(lattice->ny);
    int filled = 0;
    for (std::size_t i = 0; i < lattice->nx; ++i) {
        grid_node_column(by_rule, i, column.data());
        for (std::size_t j = 0; j < lattice->ny; ++j) {
            const float expected = preview.grid.at(i, j);
            ASSERT_TRUE(same_bits(static_cast<float>(values[i * lattice->ny + j]), expected))
                << "node " << i << ", " << j;
            ASSERT_TRUE(same_bits(column[j], expected)) << "node " << i << ", " << j;
            filled += is_blank(expected) ? 0 : 1;
        }
    }
    EXPECT_GT(filled, 0);
}

PointData random_survey(std::uint64_t seed, std::size_t count, double width, double height) {
    std::uint64_t state = seed;
    std::vector<std::array<double, 3>> xyv;
    for (std::size_t p = 0; p < count; ++p) {
        const double x = uniform(state, 0.0, width);
        const double y = uniform(state, 0.0, height);
        xyv.push_back({x, y, std::cos(x / 40.0) * 5.0 + uniform(state, -1.0, 1.0)});
    }
    return make_points(xyv, cba);
}

}  // namespace

// Every value position of two example runs (inputs and results), gridded as the preview
// does and through the lattice entry at the preview's node spacing.
TEST(lattice_grid, equals_the_preview_node_grid_on_the_examples) {
    const fs::path out = fs::temp_directory_path() / ("lattice_grid_" + std::to_string(::getpid()));
    fs::create_directories(out);
    for (const char* name : {"sphere_survey.dat", "sphere_lines.xyz"}) {
        SCOPED_TRACE(name);
        RunSettings s;
        s.input_file = std::string(ORVANE_EXAMPLES) + "/" + name;
        s.output_file = (out / "result.dat").string();
        s.search_radius = 300.0;
        s.cell_size = 30.0;
        s.grid_radius = 300.0;
        s.threads = 0;
        FakeMonitor monitor;
        RunState state;
        ASSERT_EQ(run_calculation(s, state, monitor, nullptr), 0);
        for (int position = 0; position <= 12; ++position) {
            SCOPED_TRACE(position);
            expect_preview_grid(state.points, state.index, position, 300.0, 300.0, 1);
        }
        expect_preview_grid(state.points, state.index, work::cba, 300.0, 170.0, 2);
        expect_preview_grid(state.points, state.index, 5, 300.0, 450.0, 2);
    }
    fs::remove_all(out);
}

TEST(lattice_grid, equals_the_preview_node_grid_on_random_surveys) {
    struct Case {
        std::uint64_t seed;
        std::size_t count;
        double width, height, search, grid;
        unsigned threads;
    };
    const Case cases[] = {
        {11, 400, 500.0, 300.0, 60.0, 60.0, 1},   {12, 900, 120.0, 800.0, 35.0, 20.0, 2},
        {13, 50, 1000.0, 1000.0, 150.0, 400.0, 1}, {14, 2000, 333.3, 77.7, 13.7, 13.7, 0},
        {15, 3, 10.0, 10.0, 2.5, 2.5, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "seed " << c.seed);
        const PointData points = random_survey(c.seed, c.count, c.width, c.height);
        const ClusterIndex index = make_index(points, 0.1 * c.search);
        expect_preview_grid(points, index, cba, c.search, c.grid, c.threads);
    }
}

// Off the index's lattice, with a gridding radius large enough for the window to hold
// every point within the search radius, a node is the inverse-distance mean over all
// points within reach: summed here over every point, without the index.
TEST(lattice_grid, any_lattice_takes_every_point_within_the_search_radius) {
    const PointData points = random_survey(21, 700, 400.0, 250.0);
    const double search = 40.0;
    const ClusterIndex index = make_index(points, 0.1 * search);
    GridLattice lattice;
    lattice.origin_x = points.extent.x_min - 37.3;  // reaches past the index on every side
    lattice.origin_y = points.extent.y_min - 21.9;
    lattice.cell_size = 7.7;
    lattice.nx = 62;
    lattice.ny = 42;
    FakeMonitor monitor;
    std::vector<double> values;
    ASSERT_EQ(grid_lattice(points, index, cba, search, search + 0.6, lattice, monitor, values, 2),
              GridOutcome::Done);
    ASSERT_EQ(values.size(), lattice.nodes());
    int filled = 0, blank = 0;
    for (std::size_t i = 0; i < lattice.nx; ++i) {
        for (std::size_t j = 0; j < lattice.ny; ++j) {
            const double x = static_cast<double>(i) * lattice.cell_size + lattice.origin_x;
            const double y = static_cast<double>(j) * lattice.cell_size + lattice.origin_y;
            double weighted = 0.0, weights = 0.0;
            for (std::size_t p = 0; p < points.count; ++p) {
                const double d = std::hypot(x - points.work[p].value[work::x] + 0.001,
                                            y - points.work[p].value[work::y] + 0.001);
                if (d > search) continue;
                weighted += points.work[p].value[cba] / d;
                weights += 1.0 / d;
            }
            const double got = values[i * lattice.ny + j];
            if (weights == 0.0) {
                ASSERT_EQ(got, LATTICE_BLANK) << "node " << i << ", " << j;
                ++blank;
            } else {
                ASSERT_NEAR(got, weighted / weights, 1e-12 * (1.0 + std::fabs(got)))
                    << "node " << i << ", " << j;
                ++filled;
            }
        }
    }
    EXPECT_GT(filled, 1000);
    EXPECT_GT(blank, 100);
}

TEST(lattice_grid, stop_is_asked_between_columns) {
    const PointData points = random_survey(31, 300, 200.0, 200.0);
    const ClusterIndex index = make_index(points, 2.0);
    const GridLattice lattice = *lattice_over_extent(points.extent, 5.0, plenty);
    std::vector<double> values;
    for (unsigned threads : {1u, 2u}) {
        FakeMonitor yes;
        yes.stop = true;
        EXPECT_EQ(grid_lattice(points, index, cba, 20.0, 20.0, lattice, yes, values, threads),
                  GridOutcome::Cancelled);
        EXPECT_EQ(yes.question_lines(), std::vector<std::string>{"Warning: Cancel calculation?"});
        EXPECT_TRUE(yes.stop);

        FakeMonitor no;
        no.stop = true;
        no.then_answer = false;
        EXPECT_EQ(grid_lattice(points, index, cba, 20.0, 20.0, lattice, no, values, threads),
                  GridOutcome::Done);
        EXPECT_EQ(no.questions.size(), 1u);
        EXPECT_GE(no.events, static_cast<int>(lattice.nx));  // at least once a column
    }
}

TEST(lattice_grid, lattice_over_extent_counts_nodes_like_the_index_and_refuses_too_many) {
    PointExtent e;
    e.x_min = 100.0;
    e.x_max = 196.0;
    e.y_min = -5.0;
    e.y_max = 44.9;
    const GridLattice l = *lattice_over_extent(e, 10.0, plenty);
    EXPECT_EQ(l.nx, 10u);  // floor(106 / 10)
    EXPECT_EQ(l.ny, 5u);   // floor(59.9 / 10)
    EXPECT_EQ(l.origin_x, 100.0);
    EXPECT_EQ(l.origin_y, -5.0);
    EXPECT_EQ(lattice_over_extent(e, 10.0, 50)->nodes(), 50u);
    EXPECT_FALSE(lattice_over_extent(e, 10.0, 49));
    EXPECT_FALSE(lattice_over_extent(e, 0.0, plenty));
    EXPECT_FALSE(lattice_over_extent(e, -1.0, plenty));
    EXPECT_FALSE(lattice_over_extent(e, std::numeric_limits<double>::quiet_NaN(), plenty));
    EXPECT_FALSE(lattice_over_extent(e, 1e-300, std::numeric_limits<std::size_t>::max()));
    e.x_max = 1e300;
    EXPECT_FALSE(lattice_over_extent(e, 1e-10, std::numeric_limits<std::size_t>::max()));
}
