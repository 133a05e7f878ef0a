#include "engine/search/nearest_search.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "engine/search/cluster_index.h"
#include "tests/support/fake_monitor.h"

namespace {

// Points and their index with the run's cell size of a tenth of the radius.
struct Survey {
    PointData data;
    ClusterIndex index;

    Survey(const std::vector<std::pair<double, double>>& xy, double radius) {
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
        FakeMonitor monitor;
        EXPECT_EQ(build_cluster_index(0.1 * radius, data, index, monitor), 0);
    }
};

}  // namespace

TEST(nearest_search, hand_computed_cases) {
    struct Case {
        const char* what;
        std::vector<std::pair<double, double>> xy;
        double x0, y0, radius;
        int n;
        double r_n, d;
    };
    const Case cases[] = {
        {"point at the calculation point", {{50, 50}, {53, 54}, {80, 10}}, 50, 50, 10, 1, 0, 10},
        {"all at one distance within R",
         {{100, 100}, {103, 104}, {97, 96}, {104, 97}, {96, 103}, {150, 150}}, 100, 100, 10, 4, 5, 10},
        {"tie at the N-th distance",
         {{0, 0}, {3, 4}, {6, 8}, {8, 6}, {20, 0}}, 0, 0, 12, 3, 10, 12},
        // within 2R = 20 only two points; the third (at 25) needs 3R = 30
        {"three passes", {{0, 0}, {6, 8}, {15, 20}, {40, 0}, {60, 80}}, 0, 0, 10, 3, 25, 30},
        {"all points", {{10, 10}, {13, 14}, {40, 50}, {70, 90}}, 10, 10, 10, 4, 100, 100},
    };
    for (const Case& c : cases) {
        Survey survey(c.xy, c.radius);
        NearestResult result;
        ASSERT_TRUE(NearestSearch(c.x0, c.y0, c.n, c.radius, survey.index, survey.data, result))
            << c.what;
        EXPECT_EQ(result.r_n, c.r_n) << c.what;
        EXPECT_EQ(result.d, c.d) << c.what;
    }
}

TEST(nearest_search, fails_and_ends_when_too_few_points) {
    Survey survey({{0, 0}, {1000, 0}, {0, 1000}, {700, 700}}, 50.0);
    NearestResult result;
    EXPECT_FALSE(NearestSearch(0, 0, 5, 50.0, survey.index, survey.data, result));
    EXPECT_FALSE(NearestSearch(0, 0, 0, 50.0, survey.index, survey.data, result));
    EXPECT_TRUE(NearestSearch(0, 0, 4, 50.0, survey.index, survey.data, result));
    EXPECT_EQ(result.r_n, 1000);
    EXPECT_EQ(result.d, 1000);
    // A point that no circle holds: the passes stop once D reaches every cell.
    survey.data.work[3].value[work::x] = std::nan("");
    FakeMonitor monitor;
    ASSERT_EQ(build_cluster_index(5.0, survey.data, survey.index, monitor), 0);
    EXPECT_FALSE(NearestSearch(0, 0, 4, 50.0, survey.index, survey.data, result));
    EXPECT_GE(result.d, std::hypot(1000.0, 1000.0));
    EXPECT_LT(result.d, std::hypot(1000.0, 1000.0) + 100.0);
}

TEST(nearest_search, agrees_with_sorted_distances) {
    std::mt19937_64 random(7031);
    std::uniform_real_distribution<double> along(0.0, 500.0);
    std::vector<std::pair<double, double>> xy;
    for (int p = 0; p < 400; ++p) xy.emplace_back(along(random), along(random));
    for (int p = 0; p < 5; ++p) xy.push_back(xy[static_cast<std::size_t>(p) * 7]);  // duplicates
    const double radius = 13.0;
    Survey survey(xy, radius);
    std::uniform_int_distribution<int> count_of(1, static_cast<int>(xy.size()));
    for (int trial = 0; trial < 150; ++trial) {
        const auto& [x0, y0] = xy[static_cast<std::size_t>(trial) * 2 % xy.size()];
        const int n = trial % 3 == 0 ? count_of(random) : 1 + trial % 20;
        std::vector<double> all;
        for (const auto& [x, y] : xy) all.push_back(std::hypot(x - x0, y - y0));
        std::sort(all.begin(), all.end());
        // The last pass is the first of R, 2R, 3R, ... holding n points in its circle.
        double d = radius;
        while (std::upper_bound(all.begin(), all.end(), d) - all.begin() < n) d = d + radius;

        NearestResult result;
        ASSERT_TRUE(NearestSearch(x0, y0, n, radius, survey.index, survey.data, result));
        EXPECT_EQ(result.r_n, all[static_cast<std::size_t>(n) - 1]) << trial;
        EXPECT_EQ(result.d, d) << trial;
    }
}
