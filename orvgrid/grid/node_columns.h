#pragma once
// The inverse-distance value of every node of one lattice column, from the points the
// cluster index lists in the cell window around the index cell that holds the node;
// several variables of the same points at once, sharing the distances and weights.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "engine/engine.h"
#include "engine/memory/huge_page_allocator.h"
#include "engine/search/cluster_index.h"
#include "engine/simd/instruction_set.h"
#include "orvgrid/grid/node_visits.h"
#include "orvgrid/grid/lattice_grid.h"

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
    GridLattice nodes;    // where the nodes lie
    // The nodes are the index's own lattice, so node (i, j) is in cell (i, j) by
    // construction; elsewhere the cell is found with the index's binning rule.
    bool nodes_on_index = true;
    double per_node = 0.0;                                    // 1 / nodes.cell_size
    InstructionSet instruction_set = InstructionSet::Scalar;  // of the distance kernel
    std::vector<double> node_y;  // ordinate of each node row, padded for whole vectors
    // For each cell row of the index: the node rows first .. end - 1 whose window holds it.
    std::vector<std::uint32_t> row_nodes_first, row_nodes_end;
    // Smallest and largest x of the points of each cell column (empty columns: +inf, -inf).
    std::vector<double> column_x_low, column_x_high;
    // The slot-order copy: position, cell row, and the values of each position in turn.
    HugePageVector<double> xs, ys;
    HugePageVector<std::uint32_t> rows;
    HugePageVector<double> values;  // values[k * slots + s]
    // The index's layout when the lattice was prepared, so that a later gridding can tell
    // whether it may keep the copy.
    std::size_t index_nx = 0, index_ny = 0;
    double index_origin_x = 0.0, index_origin_y = 0.0, index_cell_size = 0.0;
    std::vector<std::size_t> column_slots;  // first slot of each cell column, then the end
};

// Sets up the gridding of WorkPoint `positions` (1 to 3) on the nodes of `nodes` with the
// distance kernel of distance_instruction_set(); copies the points if memory allows, on
// up to `threads` threads (0: all cores). Throws std::bad_alloc when not even the
// lattice's small tables fit.
void prepare_lattice(NodeLattice& lattice, const PointData& points, const ClusterIndex& index,
                     std::span<const int> positions, double search_radius, double grid_radius,
                     const GridLattice& nodes, unsigned threads = 1);
// The same on the index's own lattice.
void prepare_lattice(NodeLattice& lattice, const PointData& points, const ClusterIndex& index,
                     std::span<const int> positions, double search_radius, double grid_radius);
// One position, on the index's own lattice or on `nodes`.
void prepare_lattice(NodeLattice& lattice, const PointData& points, const ClusterIndex& index,
                     int position, double search_radius, double grid_radius);
void prepare_lattice(NodeLattice& lattice, const PointData& points, const ClusterIndex& index,
                     int position, double search_radius, double grid_radius,
                     const GridLattice& nodes, unsigned threads = 1);

// As prepare_lattice, but a lattice prepared before for the same points (every
// position bit for bit), index layout, radii and nodes only takes the values of
// `positions` anew: the griddings of one run's points, a list change above all, differ
// in their values alone. Throws std::bad_alloc as prepare_lattice does.
void refresh_lattice(NodeLattice& lattice, const PointData& points, const ClusterIndex& index,
                     std::span<const int> positions, double search_radius, double grid_radius,
                     const GridLattice& nodes, unsigned threads = 1);

// Makes `values` the values of `position`, the lattice's only one: slot-order values its
// copy held before (copied_values), for points that may have changed their values since.
// False, and the lattice left as it was, unless it holds a copy of these points (every
// position bit for bit), index layout, radii and nodes.
bool refresh_lattice_values(NodeLattice& lattice, const PointData& points,
                            const ClusterIndex& index, int position,
                            std::span<const double> values, double search_radius,
                            double grid_radius, const GridLattice& nodes, unsigned threads = 1);

// The values of `position` in slot order as the lattice's copy holds them; empty when it
// holds no copy or not that position.
std::span<const double> copied_values(const NodeLattice& lattice, int position);

// Some of the node rows of the lattice's columns: those a picture is resampled from.
struct ChosenRows {
    std::vector<std::uint32_t> below;  // below[j]: chosen rows under node row j, j = 0 .. ny
    std::vector<double> node_y;        // ordinate of each chosen row, padded for whole vectors
    std::size_t count() const { return node_y.size() - NODE_LANE_PADDING; }
};

// The chosen rows `rows` (increasing node rows of lattice.nodes).
ChosenRows choose_rows(const NodeLattice& lattice, std::span<const std::uint32_t> rows);

// Writes the values of lattice column i at the chosen rows, rows.count() of them, for each
// position k to columns[k]: bit for bit what grid_node_column writes at those rows.
void grid_node_rows(const NodeLattice& lattice, const ChosenRows& rows, std::size_t i,
                    float* const* columns);

// Writes the nodes.ny node values of lattice column i for each position k to
// columns[k][0 .. ny-1]; the float values are the double ones rounded once.
void grid_node_column(const NodeLattice& lattice, std::size_t i, float* const* columns);
void grid_node_column(const NodeLattice& lattice, std::size_t i, double* const* columns);
// The same for the first position alone.
void grid_node_column(const NodeLattice& lattice, std::size_t i, float* column);
void grid_node_column(const NodeLattice& lattice, std::size_t i, double* column);
