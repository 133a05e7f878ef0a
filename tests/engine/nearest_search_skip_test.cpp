// The N-nearest search skips the passes that cannot succeed: its R_N and D must be those
// of scanning every pass, bit for bit, whatever the radius, the count and the layout.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "engine/search/cluster_index.h"
#include "tests/engine/fit_fixture.h"
#include "engine/search/nearest_search.h"
#include "engine/search/neighbour_table.h"

namespace {

// The widening passes as plainly as they can be written: D = R, D + R, ..., every pass
// rescanning its whole window cell by cell and measuring every point.
bool every_pass(double x0, double y0, std::size_t n, double radius, const ClusterIndex& index,
                const PointData& points, double& r_n, double& d) {
    const double x_end = index.origin_x() + static_cast<double>(index.nx()) * index.cell_size();
    const double y_end = index.origin_y() + static_cast<double>(index.ny()) * index.cell_size();
    const double far = std::hypot(std::max(std::fabs(x0 - index.origin_x()), std::fabs(x_end - x0)),
                                  std::max(std::fabs(y0 - index.origin_y()), std::fabs(y_end - y0)));
    std::vector<double> distances;
    d = radius;
    for (;;) {
        distances.clear();
        const CellWindow w = index.covering_window(x0, y0, d);
        for (std::size_t ix = w.ix_first; ix < w.ix_end; ++ix)
            for (std::size_t iy = w.iy_first; iy < w.iy_end; ++iy)
                for (std::uint32_t p : index.cell_at(ix, iy)) {
                    const double* v = points.work[p].value;
                    const double dist = std::hypot(v[0] - x0, v[1] - y0);
                    if (dist <= d) distances.push_back(dist);
                }
        if (distances.size() >= n || !(d < far)) break;
        d = d + radius > d ? d + radius : far;
    }
    if (distances.size() < n) return false;
    std::sort(distances.begin(), distances.end());
    r_n = distances[n - 1];
    return true;
}

// Compares the search with and without the neighbour table against every_pass for
// every station as calculation point.
void expect_same_as_every_pass(const std::vector<StationValues>& stations, double radius,
                               const std::vector<int>& counts, const char* what) {
    FitFixture f(stations, radius);
    NeighbourTable table;
    table.build(f.index, f.points);
    int compared = 0;
    for (int n : counts) {
        for (std::size_t i = 0; i < stations.size(); ++i) {
            const double x0 = stations[i].x, y0 = stations[i].y;
            double r_n = 0.0, d = 0.0;
            const bool found = every_pass(x0, y0, static_cast<std::size_t>(n), radius, f.index,
                                          f.points, r_n, d);
            const NeighbourTable* const sources[] = {nullptr, &table};
            for (const NeighbourTable* t : sources) {
                NearestResult result;
                ASSERT_EQ(NearestSearch(x0, y0, n, radius, f.index, f.points, result, t), found)
                    << what << " n " << n << " point " << i;
                if (!found) continue;
                ASSERT_EQ(result.r_n, r_n) << what << " n " << n << " point " << i;
                ASSERT_EQ(result.d, d) << what << " n " << n << " point " << i;
                ++compared;
            }
        }
    }
    EXPECT_GT(compared, 0) << what;
}

std::vector<StationValues> scattered(std::size_t count, double side, std::uint64_t seed) {
    Lcg random(seed);
    std::vector<StationValues> stations;
    for (std::size_t i = 0; i < count; ++i)
        stations.push_back({random.uniform(0, side), random.uniform(0, side), 0.0, 0.0});
    return stations;
}

}  // namespace

TEST(nearest_search_skip, scattered_points_with_radii_from_tiny_to_wide) {
    const std::vector<StationValues> stations = scattered(150, 1000.0, 7);
    // About 0.3, 1.7 and 15 stations within R: from about ten passes to one.
    for (double radius : {25.0, 60.0, 178.0})
        expect_same_as_every_pass(stations, radius, {1, 3, 10, 30}, "scattered");
}

TEST(nearest_search_skip, grid_with_ties_at_every_distance) {
    // Integer grid: many stations share a distance, and distances land exactly on
    // multiples of R.
    std::vector<StationValues> stations;
    for (int i = 0; i < 15; ++i)
        for (int k = 0; k < 12; ++k) stations.push_back({10.0 * i, 10.0 * k, 0.0, 0.0});
    for (double radius : {3.0, 10.0, 20.0, 25.0})
        expect_same_as_every_pass(stations, radius, {1, 4, 5, 9, 13, 21}, "grid");
}

TEST(nearest_search_skip, clusters_far_apart_and_repeated_positions) {
    // Two tight clusters 175 m apart, and stations on top of each other: the N-th
    // neighbour of a small cluster lies in the other one.
    std::vector<StationValues> stations = scattered(40, 30.0, 11);
    for (const StationValues& s : scattered(25, 20.0, 12))
        stations.push_back({s.x + 150.0, s.y + 90.0, 0.0, 0.0});
    for (int r = 0; r < 5; ++r) stations.push_back(stations[3]);
    expect_same_as_every_pass(stations, 6.0, {1, 6, 30, 50, 70}, "clusters");
}

TEST(nearest_search_skip, count_of_every_point_reaches_the_farthest) {
    const std::vector<StationValues> stations = scattered(60, 300.0, 3);
    expect_same_as_every_pass(stations, 20.0, {59, 60}, "all points");
}
