#include "orvgrid/grid/node_columns.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "orvgrid/grid/preview_grid.h"
#include "tests/support/scripted_monitor.h"
#include "engine/search/cluster_index.h"

namespace {

constexpr int cba = work::cba;

std::uint64_t splitmix(std::uint64_t& state) {
    std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

double uniform(std::uint64_t& state, double low, double high) {
    return low + (high - low) * static_cast<double>(splitmix(state) >> 11) * 0x1.0p-53;
}

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
        if (std::hypot(dx, dy) <= search_radius && dx * dx + dy * dy > search_radius * search_radius)
            xyv.push_back({x, y, 100.0 + k});
    }
    return xyv;
}

// Scattered points, one on the origin (so node (i, j) lies at (5i, 5j)), two at one
// place, and the close calls of the cut-off.
PointData survey(double search_radius) {
    std::uint64_t state = 20261208;
    std::vector<std::array<double, 3>> xyv = {{0.0, 0.0, 2.0}};
    for (int p = 0; p < 600; ++p) {
        const double x = uniform(state, 0.0, 200.0);
        const double y = uniform(state, 0.0, 140.0);
        xyv.push_back({x, y, std::sin(x / 30.0) * 10.0 + y / 7.0});
    }
    xyv.push_back({50.0, 50.0, 3.0});
    xyv.push_back({50.0, 50.0, -3.0});
    xyv.push_back({200.0, 140.0, 1.0});
    const std::vector<std::array<double, 3>> edge = close_calls(search_radius);
    EXPECT_GE(edge.size(), 3u);
    xyv.insert(xyv.end(), edge.begin(), edge.end());
    return make_points(xyv, cba);
}

// The node value as the gridding defines it: every cell of the window in turn (columns
// outer, rows inner), each point of the cell measured with hypot.
float brute_force_node(const PointData& points, const ClusterIndex& index, std::size_t i,
                       std::size_t j, double search_radius, double grid_radius) {
    const long long reach = static_cast<long long>(std::ceil(grid_radius / index.cell_size()));
    const long long nx = static_cast<long long>(index.nx());
    const long long ny = static_cast<long long>(index.ny());
    const long long ii = static_cast<long long>(i);
    const long long jj = static_cast<long long>(j);
    const double x = static_cast<double>(i) * index.cell_size() + index.origin_x();
    const double y = static_cast<double>(j) * index.cell_size() + index.origin_y();
    double weighted = 0.0;
    double weights = 0.0;
    for (long long ix = std::max(0LL, ii - reach); ix < std::min(nx, ii + reach); ++ix) {
        for (long long iy = std::max(0LL, jj - reach); iy < std::min(ny, jj + reach); ++iy) {
            for (std::uint32_t p : index.cell_at(static_cast<std::size_t>(ix),
                                                 static_cast<std::size_t>(iy))) {
                const double dx = x - points.work[p].value[work::x] + 0.001;
                const double dy = y - points.work[p].value[work::y] + 0.001;
                const double d = std::hypot(dx, dy);
                if (d > search_radius) continue;
                weighted += points.work[p].value[cba] / d;
                weights += 1.0 / d;
            }
        }
    }
    return weights == 0.0 ? BLANK_VALUE : static_cast<float>(weighted / weights);
}

bool same_bits(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }

}  // namespace

// Both ways of reading the points (the slot-order copy and the records through the
// index) give every node bit for bit the value of the cell-by-cell definition.
TEST(node_columns, every_node_equals_the_cell_by_cell_sum) {
    struct Radii {
        double search, grid;
    };
    const Radii cases[] = {{20.0, 20.0}, {20.0, 12.0}, {20.0, 33.0}, {7.5, 20.0}, {20.0, 0.0}};
    for (const Radii& r : cases) {
        SCOPED_TRACE(testing::Message() << "Rs " << r.search << " Rg " << r.grid);
        const PointData points = survey(r.search);
        const ClusterIndex index = make_index(points, 5.0);
        NodeLattice lattice;
        prepare_lattice(lattice, points, index, cba, r.search, r.grid);
        ASSERT_EQ(lattice.xs.size(), points.count);
        std::vector<float> copied(index.ny());
        std::vector<float> records(index.ny());
        int counted = 0;
        for (std::size_t i = 0; i < index.nx(); ++i) {
            grid_node_column(lattice, i, copied.data());
            NodeLattice without_copy = lattice;
            without_copy.xs.clear();
            grid_node_column(without_copy, i, records.data());
            for (std::size_t j = 0; j < index.ny(); ++j) {
                const float expected = brute_force_node(points, index, i, j, r.search, r.grid);
                ASSERT_TRUE(same_bits(copied[j], expected)) << "node " << i << ", " << j;
                ASSERT_TRUE(same_bits(records[j], expected)) << "node " << i << ", " << j;
                counted += is_blank(expected) ? 0 : 1;
            }
        }
        // Rg = 0 leaves every window empty; otherwise most nodes have points.
        if (r.grid > 0.0) EXPECT_GT(counted, static_cast<int>(index.nx() * index.ny() / 2));
        else EXPECT_EQ(counted, 0);
    }
}
