#include "orvgrid/grid/node_columns.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "engine/search/cluster_index.h"
#include "engine/simd/instruction_set.h"
#include "orvgrid/raster.h"
#include "tests/support/random_surveys.h"
#include "tests/support/reference_gridding.h"
#include "tests/support/test_points.h"

namespace {

constexpr int cba = work::cba;

// Points on the circle of the search radius below and left of node (4, 4) of a 5 m
// lattice (the side its window reaches farther) whose distance, as hypot gives it, is
// within the radius while dx^2 + dy^2 exceeds its square: only the exact distance keeps
// them.
std::vector<std::array<double, 3>> close_calls(double search_radius) {
    std::vector<std::array<double, 3>> xyv;
    for (int k = 0; k < 2000 && xyv.size() < 8; ++k) {
        const double angle = 3.2 + k * 0.001;
        const double x = 20.001 + search_radius * std::cos(angle);
        const double y = 20.001 + search_radius * std::sin(angle);
        const double dx = 20.0 - x + 0.001;
        const double dy = 20.0 - y + 0.001;
        if (std::hypot(dx, dy) <= search_radius &&
            dx * dx + dy * dy > search_radius * search_radius)
            xyv.push_back({x, y, 100.0 + k});
    }
    return xyv;
}

// Scattered points, one on the origin (so node (i, j) lies at (5i, 5j)), two at one
// place, and the close calls of the cut-off.
PointData survey(double search_radius) {
    SurveyRandom r(20261208);
    std::vector<std::array<double, 3>> xyv = {{0.0, 0.0, 2.0}};
    for (int p = 0; p < 600; ++p) {
        const double x = r.uniform(0.0, 200.0);
        const double y = r.uniform(0.0, 140.0);
        xyv.push_back({x, y, std::sin(x / 30.0) * 10.0 + y / 7.0});
    }
    xyv.push_back({50.0, 50.0, 3.0});
    xyv.push_back({50.0, 50.0, -3.0});
    xyv.push_back({200.0, 140.0, 1.0});
    const std::vector<std::array<double, 3>> edge = close_calls(search_radius);
    EXPECT_GE(edge.size(), 3u);
    xyv.insert(xyv.end(), edge.begin(), edge.end());
    PointData points = make_points(xyv, cba);
    add_more_variables(points);
    return points;
}

// Every column of every position, gridded with `lattice` as it stands.
std::vector<std::vector<float>> grid_all(const NodeLattice& lattice) {
    const std::size_t nx = lattice.index->nx(), ny = lattice.index->ny();
    std::vector<std::vector<float>> grids(lattice.positions.size(), std::vector<float>(nx * ny));
    for (std::size_t i = 0; i < nx; ++i) {
        float* columns[3];
        for (std::size_t k = 0; k < grids.size(); ++k) columns[k] = grids[k].data() + i * ny;
        grid_node_column(lattice, i, columns);
    }
    return grids;
}

struct Radii {
    double search, grid;  // as multiples of a survey's spacing
};

}  // namespace

// Every way of summing (each instruction set, the slot-order copy and the records read
// through the index, one variable or three at once) gives every node bit for bit the
// value of the node-by-node sum, on the shapes that trouble a gridding and with grid
// radii below, at and above the search radius, none and one spanning the whole lattice.
TEST(node_columns, every_node_equals_the_node_by_node_sum) {
    const int positions[] = {cba, 5, 6};
    const Radii radii[] = {{6.0, 6.0}, {6.0, 3.7}, {6.0, 10.0}, {2.0, 6.0}, {6.0, 0.0}, {6.0, 1e6}};
    for (const RandomSurvey& s : random_surveys(91, 700, cba)) {
        for (const Radii& r : radii) {
            // A window over the whole lattice makes the node-by-node sum slow: one shape.
            if (r.grid > 100.0 && s.name != "clustered") continue;
            const double rs = r.search * s.spacing, rg = r.grid * s.spacing;
            SCOPED_TRACE(testing::Message() << s.name << " Rs " << rs << " Rg " << rg);
            const ClusterIndex index = make_index(s.points, 0.1 * rs);
            std::vector<std::vector<float>> expected;
            for (int position : positions)
                expected.push_back(reference_node_grid(s.points, index, position, rs, rg));
            NodeLattice lattice;
            // The copy in slot order made by three threads, each its share of the columns.
            prepare_lattice(lattice, s.points, index, positions, rs, rg, lattice_of_index(index), 3);
            ASSERT_EQ(lattice.xs.size(), s.points.count);
            for (InstructionSet set : runnable_instruction_sets()) {
                SCOPED_TRACE(instruction_set_name(set));
                lattice.instruction_set = set;
                const auto together = grid_all(lattice);
                for (std::size_t k = 0; k < 3; ++k)
                    ASSERT_EQ(first_different_bits(together[k], expected[k]), expected[k].size())
                        << "position " << positions[k];
                NodeLattice records = lattice;  // without the copy: records through the index
                records.xs.clear();
                records.positions = {positions[1]};
                const auto alone = grid_all(records);
                ASSERT_EQ(first_different_bits(alone[0], expected[1]), expected[1].size());
            }
            const auto blank = std::count_if(expected[0].begin(), expected[0].end(), is_blank);
            if (r.grid == 0.0) {
                EXPECT_EQ(blank, static_cast<long>(expected[0].size()));
            } else {
                EXPECT_LT(blank, static_cast<long>(expected[0].size()));
            }
        }
    }
}

// The cut-off is decided by the exact distance: points whose dx^2 + dy^2 exceeds the
// squared radius while hypot puts them within it still count, in every kernel.
TEST(node_columns, points_just_inside_the_radius_by_hypot_count) {
    for (double grid_radius : {20.0, 12.0, 33.0, 0.0}) {
        SCOPED_TRACE(testing::Message() << "Rg " << grid_radius);
        const PointData scattered = survey(20.0);
        // The close calls alone around node (4, 4), and two points 28 m away from it
        // that lay out the lattice.
        std::vector<std::array<double, 3>> xyv = close_calls(20.0);
        xyv.push_back({0.0, 0.0, 2.0});
        xyv.push_back({40.0, 40.0, 2.0});
        const PointData alone = make_points(xyv, cba);
        for (const PointData* points : {&scattered, &alone}) {
            const ClusterIndex index = make_index(*points, 5.0);
            NodeLattice lattice;
            prepare_lattice(lattice, *points, index, cba, 20.0, grid_radius);
            const std::vector<float> expected =
                reference_node_grid(*points, index, cba, 20.0, grid_radius);
            for (InstructionSet set : runnable_instruction_sets()) {
                SCOPED_TRACE(instruction_set_name(set));
                lattice.instruction_set = set;
                ASSERT_EQ(first_different_bits(grid_all(lattice)[0], expected), expected.size());
            }
            // With a window that holds them (values 100 and up), node (4, 4) has no
            // other point within reach.
            if (points == &alone && grid_radius >= 20.0) {
                EXPECT_GT(expected[4 * index.ny() + 4], 100.0f);
                EXPECT_FALSE(is_blank(expected[4 * index.ny() + 4]));
            }
        }
    }
}

// A point lying on a node counts with a finite weight, and a node whose points are all
// beyond the search radius is blank, whatever kernel sums it.
TEST(node_columns, node_on_a_point_and_node_without_points) {
    const PointData points = make_points({{0, 0, 7}, {5, 5, 100}}, cba);
    const ClusterIndex index = make_index(points, 1.0);
    NodeLattice lattice;
    prepare_lattice(lattice, points, index, cba, 3.0, 3.0);
    for (InstructionSet set : runnable_instruction_sets()) {
        SCOPED_TRACE(instruction_set_name(set));
        lattice.instruction_set = set;
        const std::vector<float> grid = grid_all(lattice)[0];
        EXPECT_EQ(grid[0 * 6 + 0], 7.0f);
        EXPECT_EQ(grid[3 * 6 + 3], 100.0f);
        EXPECT_EQ(grid[2 * 6 + 0], 7.0f);
        EXPECT_EQ(grid[0 * 6 + 5], BLANK_VALUE);
        EXPECT_EQ(grid[5 * 6 + 5], 100.0f);
        // Node (1, 1) is 1.41 m from P0 and 5.66 m from P1: only P0 counts.
        EXPECT_EQ(grid[1 * 6 + 1], 7.0f);
    }
}

// A lattice kept from one gridding to the next grids what the points hold now: another
// variable, changed values, a moved point, other radii; each time every node is the
// node-by-node sum over the points as they are.
TEST(node_columns, a_kept_lattice_follows_the_points_it_grids) {
    PointData points = survey(20.0);
    const ClusterIndex index = make_index(points, 2.0);
    const GridLattice nodes = lattice_of_index(index);
    NodeLattice kept;
    const auto expect_reference = [&](int position, double rs, double rg) {
        const int positions[] = {position};
        // Four threads take the values (and look for moved points) in their share.
        refresh_lattice(kept, points, index, positions, rs, rg, nodes, 4);
        const std::vector<float> expected = reference_node_grid(points, index, position, rs, rg);
        ASSERT_EQ(first_different_bits(grid_all(kept)[0], expected), expected.size());
    };
    {
        SCOPED_TRACE("first gridding");
        expect_reference(cba, 20.0, 20.0);
    }
    {
        SCOPED_TRACE("another variable of the same points");
        expect_reference(5, 20.0, 20.0);
    }
    for (std::size_t p = 0; p < points.count; ++p) points.work[p].value[5] *= -3.5;
    {
        SCOPED_TRACE("changed values");
        expect_reference(5, 20.0, 20.0);
    }
    points.work[7].value[work::x] += 0.25;
    points.work[9].value[work::y] -= 0.25;
    {
        SCOPED_TRACE("moved points");
        expect_reference(5, 20.0, 20.0);
    }
    {
        SCOPED_TRACE("other radii");
        expect_reference(5, 14.0, 26.0);
    }
    // Three variables after one, then one again.
    const int three[] = {cba, 5, 6};
    refresh_lattice(kept, points, index, three, 14.0, 26.0, nodes);
    const auto together = grid_all(kept);
    for (std::size_t k = 0; k < 3; ++k) {
        const std::vector<float> expected =
            reference_node_grid(points, index, three[k], 14.0, 26.0);
        ASSERT_EQ(first_different_bits(together[k], expected), expected.size()) << three[k];
    }
    {
        SCOPED_TRACE("one variable after three");
        expect_reference(6, 14.0, 26.0);
    }
}
