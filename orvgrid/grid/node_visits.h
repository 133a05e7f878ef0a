#pragma once
// Adding points to the inverse-distance sums of the nodes of one lattice column, several
// nodes per vector. A visit is one point seen from one node column: its distance across
// the column, its ordinate, its values, and the run of nodes it may reach. Each node
// takes the visits in the order given, so its sums grow in the same order as a sum
// taken node by node over the same points.

#include <cstddef>
#include <cstdint>

#include "engine/simd/instruction_set.h"

// Node runs are read and written in whole vectors; arrays indexed by node carry this many
// entries past the last node.
inline constexpr std::size_t NODE_LANE_PADDING = 8;

// Positions gridded in one sweep: the three previews at most.
inline constexpr int MAX_SWEPT_VARIABLES = 3;

struct NodeVisit {
    double dx;  // node x - point x + 0.001, the same for every node of the column
    double py;  // the point's y
    double value[MAX_SWEPT_VARIABLES];
    std::uint32_t first, end;  // nodes first .. end - 1 may take the point
};

// The column's sums: weight[j] = sum of 1/d, weighted[k][j] = sum of value[k]/d.
struct NodeSums {
    double* weight;
    double* weighted[MAX_SWEPT_VARIABLES];
};

struct NodeColumnShape {
    const double* node_y;  // ordinate of each node (padded)
    double search_radius;  // a point farther than this from a node never counts
    int variables;         // 1 .. MAX_SWEPT_VARIABLES
};

// For each visit in turn and each node j of its run: dy = node_y[j] - py + 0.001,
// d = hypot(dx, dy); unless d > search_radius, weight[j] += 1/d and
// weighted[k][j] += value[k]/d. `set` chooses the kernel; all give the same bits.
void add_node_visits(InstructionSet set, const NodeColumnShape& shape, const NodeVisit* visits,
                     std::size_t count, const NodeSums& sums);
