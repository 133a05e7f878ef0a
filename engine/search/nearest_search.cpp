#include "engine/search/nearest_search.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "engine/search/distance.h"
#include "engine/search/cluster_index.h"

namespace {

// Distance from (x0, y0) to the farthest corner of the index's cells: once D reaches it,
// every point of the index lies within D and a further pass cannot find more.
double farthest_reach(double x0, double y0, const ClusterIndex& index) {
    const double x_end = index.origin_x() + static_cast<double>(index.nx()) * index.cell_size();
    const double y_end = index.origin_y() + static_cast<double>(index.ny()) * index.cell_size();
    const double dx = std::max(std::fabs(x0 - index.origin_x()), std::fabs(x_end - x0));
    const double dy = std::max(std::fabs(y0 - index.origin_y()), std::fabs(y_end - y0));
    return horizontal_distance(dx, dy);
}

// One pass: the distances of the points of window D that lie within D, in any order.
// Points clearly outside D by their squared distance are not measured.
void scan_pass(double x0, double y0, double d, const ClusterIndex& index,
               const SlotValues& values, std::vector<double>& distances) {
    distances.clear();
    const double outside = d >= 1e-100 && d <= 1e100 ? d * d * (1.0 + 1e-9) : HUGE_VAL;
    for_each_window_slot(index, index.covering_window(x0, y0, d), values, [&](std::size_t s) {
        const double* v = values(s);
        const double dx = v[work::x] - x0, dy = v[work::y] - y0;
        if (dx * dx + dy * dy > outside) return;
        const double dist = horizontal_distance(dx, dy);
        if (dist <= d) distances.push_back(dist);
    });
}

// A radius below which fewer than n points lie around (x0, y0), for skipping passes:
// the n-th smallest squared distance over doubling windows, accepted once every point
// that near is sure to lie in the window scanned. Never above the true n-th distance
// (beyond a rounding error); infinite when the index holds fewer than n points.
double nth_distance_estimate(double x0, double y0, std::size_t n, double start, double far,
                             const ClusterIndex& index, const SlotValues& values,
                             std::vector<double>& squares) {
    // A point outside the window of half-width w lies more than w from (x0, y0); two
    // cells of slack cover the points the index keeps in its last column or row.
    const double slack = 2.0 * index.cell_size();
    for (double w = start;; w *= 2.0) {
        squares.clear();
        for_each_window_slot(index, index.covering_window(x0, y0, w), values,
                             [&](std::size_t s) {
            const double* v = values(s);
            const double dx = v[work::x] - x0, dy = v[work::y] - y0;
            const double square = dx * dx + dy * dy;
            if (std::isfinite(square)) squares.push_back(square);
        });
        const bool whole_index = !(w < far) || !std::isfinite(w);
        if (squares.size() >= n) {
            std::nth_element(squares.begin(), squares.begin() + static_cast<long>(n - 1),
                             squares.end());
            const double r = std::sqrt(squares[n - 1]);
            if (whole_index || r <= w * (1.0 - 1e-9) - slack) return r;
        } else if (whole_index) {
            return HUGE_VAL;
        }
    }
}

}  // namespace

bool NearestSearch(double x0, double y0, int n, double radius, const ClusterIndex& index,
                   const PointData& points, NearestResult& result,
                   const NeighbourTable* table) {
    const auto wanted = static_cast<std::size_t>(n);
    result.d = radius;
    if (n < 1 || wanted > points.count || !(radius > 0.0) || index.empty()) return false;
    const SlotValues values{index, points, table};
    const double far = farthest_reach(x0, y0, index);
    // D grows by R each pass; should R vanish against D, the last pass takes all.
    auto next = [&](double d) { return d + radius > d ? d + radius : far; };

    thread_local std::vector<double> distances, squares;
    double d = radius;
    scan_pass(x0, y0, d, index, values, distances);
    if (distances.size() < wanted && d < far) {
        // Every pass whose D lies below the n-th distance finds fewer than n points and
        // only leads to the next; those passes are skipped, the rest are scanned.
        const double estimate =
            nth_distance_estimate(x0, y0, wanted, 2.0 * d, far, index, values, squares);
        const double skip_below = estimate * (1.0 - 1e-9);
        d = next(d);
        while (d < far && d < skip_below) d = next(d);
        for (;;) {
            scan_pass(x0, y0, d, index, values, distances);
            if (distances.size() >= wanted || !(d < far)) break;
            d = next(d);
        }
    }
    result.d = d;
    if (distances.size() < wanted) return false;
    // Only the value of the N-th smallest distance is used, not which point has it.
    std::nth_element(distances.begin(), distances.begin() + (n - 1), distances.end());
    result.r_n = distances[wanted - 1];
    return true;
}
