#include "orvgrid/map/nearest_station.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

struct Best {
    std::size_t point = 0;
    double distance_squared = std::numeric_limits<double>::infinity();
    bool found = false;

    void offer(std::size_t p, double d2) {
        if (!found || d2 < distance_squared || (d2 == distance_squared && p < point)) {
            point = p;
            distance_squared = d2;
            found = true;
        }
    }
};

// Cell column (row) of a coordinate as the index bins points, not clamped to the table;
// held within a range wide enough that ring arithmetic cannot overflow.
long long unclamped_cell(double v, double origin, double cell_size) {
    const double c = std::floor((v - origin + 0.5 * cell_size) / cell_size);
    constexpr double limit = 1e15;
    if (!(c > -limit)) return static_cast<long long>(-limit);
    if (c > limit) return static_cast<long long>(limit);
    return static_cast<long long>(c);
}

}  // namespace

std::optional<std::size_t> nearest_station(const PointData& points, const ClusterIndex& index,
                                           double x, double y) {
    if (points.count == 0 || index.empty()) return std::nullopt;
    const double c = index.cell_size();
    const long long nx = static_cast<long long>(index.nx());
    const long long ny = static_cast<long long>(index.ny());
    const long long ci = unclamped_cell(x, index.origin_x(), c);
    const long long ck = unclamped_cell(y, index.origin_y(), c);
    // Rings before the first do not reach the table; the last reaches its far corner.
    const long long first_ring = std::max({0LL, -ci, ci - (nx - 1), -ck, ck - (ny - 1)});
    const long long last_ring = std::max({ci, nx - 1 - ci, ck, ny - 1 - ck});
    Best best;
    const auto visit = [&](long long i, long long k) {
        if (i < 0 || i >= nx || k < 0 || k >= ny) return;
        for (std::uint32_t p :
             index.cell_at(static_cast<std::size_t>(i), static_cast<std::size_t>(k))) {
            const double dx = points.work[p].value[work::x] - x;
            const double dy = points.work[p].value[work::y] - y;
            best.offer(p, dx * dx + dy * dy);
        }
    };
    for (long long r = first_ring; r <= last_ring; ++r) {
        if (r == 0) {
            visit(ci, ck);
        } else {
            for (long long i = std::max(ci - r, 0LL); i <= std::min(ci + r, nx - 1); ++i) {
                visit(i, ck - r);
                visit(i, ck + r);
            }
            for (long long k = std::max(ck - r + 1, 0LL); k <= std::min(ck + r - 1, ny - 1); ++k) {
                visit(ci - r, k);
                visit(ci + r, k);
            }
        }
        // A point of a later ring is binned at least r + 1 cells away and lies more than
        // r - 1 cells away (one more for the half cell past the table's last column or
        // row that the index folds into it).
        const double reach = static_cast<double>(r - 1) * c;
        if (best.found && reach > 0.0 && best.distance_squared < reach * reach) break;
    }
    if (!best.found) return std::nullopt;
    return best.point;
}
