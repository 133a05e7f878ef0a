#pragma once
#include "engine/engine.h"
#include "engine/search/neighbour_table.h"
#include "engine/search/cluster_index.h"

struct NearestResult {
    double r_n = 0.0;  // distance of the N-th nearest point
    double d = 0.0;    // half-width of the last window searched
};

// Widens D = R, 2R, 3R, ... until n points lie within D of (x0, y0). False when fewer
// than n points can be found. The passes that cannot succeed are skipped, so the result
// is that of scanning every pass at any radius. table (the point loop's copy of the
// points in index order) only speeds the reading up.
bool NearestSearch(double x0, double y0, int n, double radius, const ClusterIndex& index,
                   const PointData& points, NearestResult& result,
                   const NeighbourTable* table = nullptr);
