#pragma once
// The inverse-distance value of every node of one lattice column, from the points the
// cluster index lists in the cell window around the index cell that holds the node.

#include <cstddef>
#include <vector>

#include "engine/engine.h"
#include "engine/search/cluster_index.h"
#include "orvgrid/grid/lattice_grid.h"

// One point as the gridding reads it: stored position and the gridded value.
struct NodeSample {
    double x, y, value;
};

// What all columns of one gridding share. The samples are the points in the index's slot
// order, so that a window column's cells are one run of memory; when there was no memory
// for that copy, `samples` is empty and the point records are read through the index.
struct NodeLattice {
    const PointData* points = nullptr;
    const ClusterIndex* index = nullptr;
    int position = 0;
    double search_radius = 0.0;
    long long reach = 0;  // cells the window reaches below a node (one less above)
    GridLattice nodes;    // where the nodes lie
    // The nodes are the index's own lattice, so node (i, j) is in cell (i, j) by
    // construction; elsewhere the cell is found with the index's binning rule.
    bool nodes_on_index = true;
    std::vector<NodeSample> samples;
};

// Sets up the gridding of WorkPoint position `position` on the index's own lattice;
// copies the samples if memory allows.
void prepare_lattice(NodeLattice& lattice, const PointData& points, const ClusterIndex& index,
                     int position, double search_radius, double grid_radius);

// The same on the nodes of `nodes`.
void prepare_lattice(NodeLattice& lattice, const PointData& points, const ClusterIndex& index,
                     int position, double search_radius, double grid_radius,
                     const GridLattice& nodes);

// Writes the nodes.ny node values of lattice column i to column[0 .. ny-1]; the float
// values are the double ones rounded once.
void grid_node_column(const NodeLattice& lattice, std::size_t i, float* column);
void grid_node_column(const NodeLattice& lattice, std::size_t i, double* column);
