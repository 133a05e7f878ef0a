#pragma once
// Small point sets for gridding tests, written as (x, y, value) triples, and the cluster
// index over them.

#include <array>
#include <span>
#include <vector>

#include "engine/engine.h"
#include "engine/search/cluster_index.h"

// Points at (x, y) with `value` at WorkPoint position `position`; the extent is taken
// from the points, offsets are zero.
inline PointData make_points(const std::vector<std::array<double, 3>>& xyv, int position) {
    PointData points;
    points.count = xyv.size();
    points.survey.resize(xyv.size() + 1);
    points.work.resize(xyv.size() + 1);
    for (std::size_t p = 0; p < xyv.size(); ++p) {
        points.work[p].value[work::x] = xyv[p][0];
        points.work[p].value[work::y] = xyv[p][1];
        points.work[p].value[position] = xyv[p][2];
        PointExtent& e = points.extent;
        if (p == 0 || xyv[p][0] < e.x_min) e.x_min = xyv[p][0];
        if (p == 0 || xyv[p][0] > e.x_max) e.x_max = xyv[p][0];
        if (p == 0 || xyv[p][1] < e.y_min) e.y_min = xyv[p][1];
        if (p == 0 || xyv[p][1] > e.y_max) e.y_max = xyv[p][1];
    }
    return points;
}

inline ClusterIndex make_index(const PointData& points, double cell_size) {
    ClusterIndex index;
    const PointExtent& e = points.extent;
    index.build(cell_size, e.x_min, e.y_min, e.x_max, e.y_max,
                std::span<const WorkPoint>(points.work.data(), points.count));
    return index;
}
