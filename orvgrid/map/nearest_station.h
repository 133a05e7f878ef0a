#pragma once
// The station nearest to a position, found through the cluster index's cells.

#include <cstddef>
#include <optional>

#include "engine/engine.h"
#include "engine/search/cluster_index.h"

// Index of the point nearest to (x, y) in stored coordinates, among the `points.count`
// points the index was built over; of equally near points the first in file order.
// nullopt when there is no point (or no index). Looks at rings of cells around the cell
// of (x, y), widening until no unvisited cell can hold a nearer point.
std::optional<std::size_t> nearest_station(const PointData& points, const ClusterIndex& index,
                                           double x, double y);
