#pragma once
#include "engine/engine.h"

// Builds the cluster index over the points with the run's cell size. 0 or 1 (the
// memory message shown).
int build_cluster_index(double cell_size, const PointData& points, ClusterIndex& index,
                        RunMonitor& monitor);
