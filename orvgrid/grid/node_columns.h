#pragma once
// The inverse-distance value of every node of one lattice column, from the points the
// cluster index lists in the node's cell window; several variables of the same points at
// once, sharing the distances and weights.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "engine/engine.h"
#include "engine/search/cluster_index.h"
#include "engine/simd/instruction_set.h"

// What all columns of one gridding share. The points are copied in the index's slot
// order, so that a window column's points are one run of memory; when there was no
// memory for that copy, `xs` is empty and the point records are read through the index.
struct NodeLattice {
    const PointData* points = nullptr;
    const ClusterIndex* index = nullptr;
    std::vector<int> positions;  // WorkPoint positions gridded together, 1 to 3
    double search_radius = 0.0;
    // A point whose dx or dy (offsets included) exceeds this in magnitude is beyond the
    // search radius of the node for certain; infinite when no such bound is safe.
    double reach_radius = 0.0;
    long long reach = 0;  // cells the window reaches below a node (one less above)
    long long node_rows = 0;  // the index's ny
    double per_cell = 0.0;  // 1 / cell size
    InstructionSet instruction_set = InstructionSet::Scalar;  // of the distance kernel
    std::vector<double> node_y;  // ordinate of each node row, padded for whole vectors
    // Smallest and largest x of the points of each cell column (empty columns: +inf, -inf).
    std::vector<double> column_x_low, column_x_high;
    // The slot-order copy: position, cell row, and the values of each position in turn.
    std::vector<double> xs, ys;
    std::vector<std::uint32_t> rows;
    std::vector<double> values;  // values[k * slots + s]
};

// Sets up the gridding of WorkPoint `positions` (1 to 3) on the lattice of `index` with
// the distance kernel of distance_instruction_set(); copies the points if memory allows.
// Throws std::bad_alloc when not even the lattice's small tables fit.
void prepare_lattice(NodeLattice& lattice, const PointData& points, const ClusterIndex& index,
                     std::span<const int> positions, double search_radius, double grid_radius);
void prepare_lattice(NodeLattice& lattice, const PointData& points, const ClusterIndex& index,
                     int position, double search_radius, double grid_radius);

// Writes the ny node values of lattice column i for each position k to
// columns[k][0 .. ny-1].
void grid_node_column(const NodeLattice& lattice, std::size_t i, float* const* columns);
void grid_node_column(const NodeLattice& lattice, std::size_t i, float* column);
