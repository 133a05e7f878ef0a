#include "engine/search/cluster_index.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "tests/support/address_space.h"
#include "tests/support/fake_monitor.h"

namespace {

PointData points_at(const std::vector<std::pair<double, double>>& xy) {
    PointData data;
    data.count = xy.size();
    data.work.resize(xy.size() + 1);
    data.survey.resize(xy.size() + 1);
    data.extent.x_min = data.extent.y_min = 1e38;
    data.extent.x_max = data.extent.y_max = -1e38;
    for (std::size_t p = 0; p < xy.size(); ++p) {
        data.work[p].value[work::x] = xy[p].first;
        data.work[p].value[work::y] = xy[p].second;
        data.extent.x_min = std::min(data.extent.x_min, xy[p].first);
        data.extent.x_max = std::max(data.extent.x_max, xy[p].first);
        data.extent.y_min = std::min(data.extent.y_min, xy[p].second);
        data.extent.y_max = std::max(data.extent.y_max, xy[p].second);
    }
    return data;
}

std::vector<std::uint32_t> cell_list(const ClusterIndex& index, std::size_t i, std::size_t k) {
    auto cell = index.cell_at(i, k);
    return {cell.begin(), cell.end()};
}

// Column of a point found by walking the cell boundaries, not by the division.
std::size_t column_by_boundaries(double x, double origin, double c, std::size_t n) {
    std::size_t i = 0;
    while (i + 1 < n && x >= origin + (static_cast<double>(i) + 0.5) * c) ++i;
    return i;
}

}  // namespace

TEST(cluster_index, bins_columns_at_half_cell_boundaries) {
    // Extent 0..94 with a search radius of 100 m: 10 m cells, ten columns.
    PointData data = points_at({{0, 0}, {44.9, 0}, {45, 0}, {94, 0}});
    ClusterIndex index;
    FakeMonitor monitor;
    ASSERT_EQ(build_cluster_index(0.1 * 100.0, data, index, monitor), 0);
    EXPECT_TRUE(monitor.messages.empty());
    EXPECT_EQ(index.nx(), 10u);
    EXPECT_EQ(index.ny(), 1u);
    EXPECT_EQ(cell_list(index, 0, 0), std::vector<std::uint32_t>{0});
    EXPECT_EQ(cell_list(index, 4, 0), std::vector<std::uint32_t>{1});
    EXPECT_EQ(cell_list(index, 5, 0), std::vector<std::uint32_t>{2});
    EXPECT_EQ(cell_list(index, 9, 0), std::vector<std::uint32_t>{3});
}

TEST(cluster_index, point_past_the_last_column_goes_into_it) {
    // 0..96: nx = floor(106 / 10) = 10, while x = 96 would be column 10.
    PointData data = points_at({{0, 0}, {96, 96}, {90, 94}});
    ClusterIndex index;
    ASSERT_TRUE(index.build(10.0, 0, 0, 96, 96, {data.work.data(), data.count}));
    EXPECT_EQ(index.nx(), 10u);
    EXPECT_EQ(index.ny(), 10u);
    EXPECT_EQ(cell_list(index, 9, 9), (std::vector<std::uint32_t>{1, 2}));
    // A square lying wholly past the last column's nominal range still visits it.
    CellWindow w = index.covering_window(96, 96, 0.5);
    EXPECT_EQ(w.ix_first, 9u);
    EXPECT_EQ(w.ix_end, 10u);
    EXPECT_EQ(w.iy_first, 9u);
    EXPECT_EQ(w.iy_end, 10u);
}

TEST(cluster_index, degenerate_layouts) {
    FakeMonitor monitor;
    {
        PointData data = points_at({{5, 0}, {5, 30}, {5, 12}});
        ClusterIndex index;
        ASSERT_EQ(build_cluster_index(10.0, data, index, monitor), 0);
        EXPECT_EQ(index.nx(), 1u);
        EXPECT_EQ(index.ny(), 4u);
        EXPECT_EQ(cell_list(index, 0, 0), std::vector<std::uint32_t>{0});
        EXPECT_EQ(cell_list(index, 0, 1), std::vector<std::uint32_t>{2});
        EXPECT_TRUE(cell_list(index, 0, 2).empty());
        EXPECT_EQ(cell_list(index, 0, 3), std::vector<std::uint32_t>{1});
    }
    {
        PointData data = points_at({{7, 3}});
        ClusterIndex index;
        ASSERT_EQ(build_cluster_index(1.0, data, index, monitor), 0);
        EXPECT_EQ(index.nx(), 1u);
        EXPECT_EQ(index.ny(), 1u);
        EXPECT_EQ(cell_list(index, 0, 0), std::vector<std::uint32_t>{0});
    }
    {
        PointData data = points_at({{1, 1}, {4, 4}, {1, 1}, {1, 1}});
        ClusterIndex index;
        ASSERT_EQ(build_cluster_index(2.0, data, index, monitor), 0);
        EXPECT_EQ(cell_list(index, 0, 0), (std::vector<std::uint32_t>{0, 2, 3}));
        // extent 1..4 with 2 m cells: nx = ny = 2, and x = y = 4 is held by the last cell
        EXPECT_EQ(index.nx(), 2u);
        EXPECT_EQ(cell_list(index, 1, 1), std::vector<std::uint32_t>{1});
    }
    EXPECT_TRUE(monitor.messages.empty());
}

TEST(cluster_index, refuses_tiny_cells_over_a_large_extent) {
    // Radius 1e-5 over 10 km: 1e10 columns a side, refused instead of allocated.
    PointData data = points_at({{0, 0}, {10000, 10000}});
    ClusterIndex index;
    FakeMonitor monitor;
    EXPECT_EQ(build_cluster_index(0.1 * 1e-5, data, index, monitor), 1);
    ASSERT_EQ(monitor.messages.size(), 1u);
    EXPECT_EQ(monitor.messages[0],
              "Insufficent memory for creting temporary cluster. Increase radius for search!");
    EXPECT_TRUE(index.empty());
    // Also when only the product of the two sides is too large.
    PointData wide = points_at({{0, 0}, {1e5, 1e5}});
    EXPECT_EQ(build_cluster_index(1.0, wide, index, monitor), 1);
    EXPECT_EQ(monitor.messages.size(), 2u);
    EXPECT_TRUE(index.empty());
}

// Under the cap, a table of the cells' groups that does not fit in the memory left ends
// the build with the same message, the index left empty.
TEST(cluster_index, cells_beyond_the_memory_left_ask_for_a_larger_radius) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer reserves more address space than any limit allows";
#endif
    // 10001 x 10001 cells: 25 MB of group starts.
    PointData data = points_at({{0, 0}, {10000, 10000}});
    const auto refused_with_room = [&](rlim_t room) {
        return passes_with_room(
            [&] {
                ClusterIndex index;
                FakeMonitor monitor;
                return build_cluster_index(1.0, data, index, monitor, 1) == 1 && index.empty() &&
                       monitor.messages ==
                           std::vector<std::string>{"Insufficent memory for creting temporary "
                                                    "cluster. Increase radius for search!"};
            },
            room);
    };
    EXPECT_TRUE(refused_with_room(rlim_t{8} << 20));
    EXPECT_FALSE(refused_with_room(rlim_t{64} << 20));
}

TEST(cluster_index, nan_coordinate_lands_in_cell_zero) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    PointData data = points_at({{0, 0}, {20, 20}});
    data.work[1].value[work::x] = nan;
    ClusterIndex index;
    ASSERT_TRUE(index.build(10.0, 0, 0, 20, 20, {data.work.data(), data.count}));
    EXPECT_EQ(cell_list(index, 0, 2), std::vector<std::uint32_t>{1});
    CellWindow w = index.covering_window(nan, 5, 1);
    EXPECT_EQ(w.ix_first, w.ix_end);
}

TEST(cluster_index, covering_window_follows_the_rule_and_clamps) {
    PointData data = points_at({{0, 0}, {94, 44}});  // nx 10, ny 5
    ClusterIndex index;
    ASSERT_TRUE(index.build(10.0, 0, 0, 94, 44, {data.work.data(), data.count}));
    struct Case {
        double x0, y0, e;
        std::size_t ix_first, ix_end, iy_first, iy_end;
    };
    const Case cases[] = {
        // floor((30 - 12 + 5) / 10) = 2, ceil((30 + 12 + 5) / 10) = 5
        {30, 20, 12, 2, 5, 1, 4},
        // an edge on a boundary: ceil(60/10) = 6 excludes column 6
        {40, 20, 15, 3, 6, 1, 4},
        {0, 0, 10, 0, 2, 0, 2},
        {50, 20, 1e300, 0, 10, 0, 5},
        {1e300, -1e300, 5, 9, 10, 0, 0},
    };
    for (const Case& c : cases) {
        CellWindow w = index.covering_window(c.x0, c.y0, c.e);
        EXPECT_EQ(w.ix_first, c.ix_first) << c.x0 << " " << c.e;
        EXPECT_EQ(w.ix_end, c.ix_end) << c.x0 << " " << c.e;
        EXPECT_EQ(w.iy_first, c.iy_first) << c.y0 << " " << c.e;
        EXPECT_EQ(w.iy_end, c.iy_end) << c.y0 << " " << c.e;
    }
}

namespace {

// Bins the points by walking the cell boundaries and checks every cell of the index
// against that, as cell_at gives it, as its run of slots and as its column's walk gives
// its slots with their rows.
void expect_brute_force_cells(const std::vector<std::pair<double, double>>& xy, double c,
                              double width, double height, const ClusterIndex& index) {
    const auto nx = static_cast<std::size_t>(std::floor((width + c) / c));
    const auto ny = static_cast<std::size_t>(std::floor((height + c) / c));
    ASSERT_EQ(index.nx(), nx);
    ASSERT_EQ(index.ny(), ny);
    std::vector<std::vector<std::uint32_t>> expected(nx * ny);
    for (std::size_t p = 0; p < xy.size(); ++p) {
        const std::size_t i = column_by_boundaries(xy[p].first, 0.0, c, nx);
        const std::size_t k = column_by_boundaries(xy[p].second, 0.0, c, ny);
        expected[i * ny + k].push_back(static_cast<std::uint32_t>(p));
    }
    const auto slots = index.slot_points();
    for (std::size_t i = 0; i < nx; ++i) {
        for (std::size_t k = 0; k < ny; ++k) {
            ASSERT_EQ(cell_list(index, i, k), expected[i * ny + k]) << i << "," << k;
            const std::vector<std::uint32_t> run(slots.begin() + index.slot_begin(i, k),
                                                 slots.begin() + index.slot_begin(i, k + 1));
            ASSERT_EQ(run, expected[i * ny + k]) << i << "," << k;
        }
        std::vector<std::uint32_t> walked, by_cells;
        for (std::size_t k = 0; k < ny; ++k)
            for (const std::uint32_t p : expected[i * ny + k]) {
                by_cells.push_back(p);
                by_cells.push_back(static_cast<std::uint32_t>(k));
            }
        index.for_each_slot_of_column(i, [&](std::size_t s, std::size_t k) {
            walked.push_back(slots[s]);
            walked.push_back(static_cast<std::uint32_t>(k));
        });
        ASSERT_EQ(walked, by_cells) << "column " << i;
        if (i + 1 < nx) {
            ASSERT_EQ(index.slot_begin(i, ny), index.slot_begin(i + 1, 0));
        }
    }
    ASSERT_EQ(index.slot_begin(nx - 1, ny), xy.size());
}

// A survey with `heaped` stations on one spot (repeated readings) among scattered ones.
std::vector<std::pair<double, double>> survey_with_heap(std::size_t heaped) {
    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> along(0.0, 100.0);
    std::vector<std::pair<double, double>> xy;
    for (std::size_t p = 0; p < 500; ++p) {
        xy.emplace_back(along(random), along(random));
        if (p == 250) xy.insert(xy.end(), heaped, {40.0, 60.0});
    }
    xy.emplace_back(0.0, 0.0);
    xy.emplace_back(100.0, 100.0);
    return xy;
}

}  // namespace

// A cell's start is found among the slots of its group of cells, step by step in a short
// run and by halves in a long one; a heap fills one cell, and stations that zigzag over
// the cells of one group come in file order far from the order of their cells.
TEST(cluster_index, heaped_and_zigzagging_stations_of_one_group) {
    // With the scattered ones, the group holds from a few slots to over a hundred
    // thousand: the one-word and two-word counts, and the search by halves.
    for (const std::size_t heaped : {0, 1, 3, 6, 11, 12, 70000}) {
        auto xy = survey_with_heap(heaped);
        // Cells of 3 m, 34 rows: x = 40 is column 13, y = 18 .. 63 rows 6 .. 21, which
        // are cells 448 .. 463, one group; the heap at (40, 60) is its cell 462.
        for (std::size_t p = 0; p < heaped / 2; ++p)
            xy.emplace_back(40.0, 3.0 * static_cast<double>(6 + (p * 7) % 16));
        PointData data = points_at(xy);
        // One thread, and three that each count and place the points of their groups.
        for (unsigned threads : {1u, 3u}) {
            ClusterIndex index;
            FakeMonitor monitor;
            ASSERT_EQ(build_cluster_index(3.0, data, index, monitor, threads), 0);
            expect_brute_force_cells(xy, 3.0, 100.0, 100.0, index);
        }
    }
}

TEST(cluster_index, agrees_with_brute_force_binning) {
    std::mt19937_64 random(20261208);
    std::uniform_real_distribution<double> along_x(0.0, 873.0), along_y(0.0, 412.5);
    std::vector<std::pair<double, double>> xy;
    for (int p = 0; p < 3000; ++p) xy.emplace_back(along_x(random), along_y(random));
    xy.emplace_back(0.0, 0.0);
    xy.emplace_back(873.0, 412.5);
    PointData data = points_at(xy);
    const double c = 7.3;
    ClusterIndex index;
    FakeMonitor monitor;
    ASSERT_EQ(build_cluster_index(c, data, index, monitor, 4), 0);
    expect_brute_force_cells(xy, c, 873.0, 412.5, index);

    // Every point inside a square lies in a cell of its covering window.
    std::uniform_real_distribution<double> half_width(0.1, 60.0);
    for (int trial = 0; trial < 200; ++trial) {
        const double x0 = along_x(random), y0 = along_y(random), e = half_width(random);
        const CellWindow w = index.covering_window(x0, y0, e);
        std::vector<bool> seen(xy.size(), false);
        for (std::size_t i = w.ix_first; i < w.ix_end; ++i)
            for (std::size_t k = w.iy_first; k < w.iy_end; ++k)
                for (std::uint32_t p : index.cell_at(i, k)) seen[p] = true;
        for (std::size_t p = 0; p < xy.size(); ++p) {
            if (std::fabs(xy[p].first - x0) <= e && std::fabs(xy[p].second - y0) <= e) {
                ASSERT_TRUE(seen[p]) << "point " << p << " trial " << trial;
            }
        }
    }
}
