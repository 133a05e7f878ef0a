#include "nearest_search.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "distance.h"

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

}  // namespace

bool NearestSearch(double x0, double y0, int n, double radius, const ClusterIndex& index,
                   const PointData& points, NearestResult& result) {
    const auto wanted = static_cast<std::size_t>(n);
    result.d = radius;
    if (n < 1 || wanted > points.count || !(radius > 0.0) || index.empty()) return false;
    const double far = farthest_reach(x0, y0, index);
    std::vector<double> distances;
    double d = radius;
    for (;;) {
        // Every pass scans its whole window afresh; only distances are kept.
        distances.clear();
        const CellWindow w = index.covering_window(x0, y0, d);
        for (std::size_t ix = w.ix_first; ix < w.ix_end; ++ix) {
            for (std::size_t iy = w.iy_first; iy < w.iy_end; ++iy) {
                for (std::uint32_t p : index.cell_at(ix, iy)) {
                    const double* v = points.work[p].value;
                    const double dist = horizontal_distance(v[work::x] - x0, v[work::y] - y0);
                    if (dist <= d) distances.push_back(dist);
                }
            }
        }
        if (distances.size() >= wanted || !(d < far)) break;
        // D grows by R each pass; should R vanish against D, the last pass takes all.
        d = d + radius > d ? d + radius : far;
    }
    result.d = d;
    if (distances.size() < wanted) return false;
    // Only the value of the N-th smallest distance is used, not which point has it.
    std::nth_element(distances.begin(), distances.begin() + (n - 1), distances.end());
    result.r_n = distances[wanted - 1];
    return true;
}
