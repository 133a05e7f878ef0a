#include "orvgrid/map/nearest_station.h"

#include <gtest/gtest.h>

#include <random>

#include "tests/support/test_points.h"

namespace {

std::optional<std::size_t> brute_force(const PointData& points, double x, double y) {
    std::optional<std::size_t> best;
    double best_d2 = 0.0;
    for (std::size_t p = 0; p < points.count; ++p) {
        const double dx = points.work[p].value[work::x] - x;
        const double dy = points.work[p].value[work::y] - y;
        const double d2 = dx * dx + dy * dy;
        if (!best || d2 < best_d2) {
            best = p;
            best_d2 = d2;
        }
    }
    return best;
}

}  // namespace

TEST(nearest_station, agrees_with_brute_force_inside_and_outside_the_extent) {
    std::mt19937 random(11);
    std::uniform_real_distribution<double> along(0.0, 1000.0);
    std::vector<std::array<double, 3>> xyv;
    // A dense cluster and a sparse field, so that rings must widen in places.
    for (int i = 0; i < 300; ++i) xyv.push_back({along(random) * 0.05, along(random) * 0.05, 0});
    for (int i = 0; i < 60; ++i) xyv.push_back({along(random), along(random) * 0.6, 0});
    const PointData points = make_points(xyv, work::cba);
    for (double cell : {3.0, 25.0, 400.0}) {
        const ClusterIndex index = make_index(points, cell);
        std::uniform_real_distribution<double> anywhere(-800.0, 1800.0);
        for (int q = 0; q < 2000; ++q) {
            const double x = anywhere(random), y = anywhere(random);
            EXPECT_EQ(nearest_station(points, index, x, y), brute_force(points, x, y))
                << "cell " << cell << " at " << x << ", " << y;
        }
    }
}

TEST(nearest_station, takes_the_first_of_equally_near_points) {
    const PointData points =
        make_points({{10, 10, 0}, {0, 0, 0}, {20, 20, 0}, {0, 0, 0}}, work::cba);
    const ClusterIndex index = make_index(points, 1.0);
    EXPECT_EQ(nearest_station(points, index, 10.0, 10.0), 0u);
    EXPECT_EQ(nearest_station(points, index, 0.0, 0.0), 1u);    // duplicates: file order
    EXPECT_EQ(nearest_station(points, index, 15.0, 15.0), 0u);  // 10,10 and 20,20 tie
    EXPECT_EQ(nearest_station(points, index, 1e9, 1e9), 2u);
}

TEST(nearest_station, finds_nothing_without_points) {
    const PointData none;
    const ClusterIndex empty;
    EXPECT_FALSE(nearest_station(none, empty, 0.0, 0.0).has_value());
}
