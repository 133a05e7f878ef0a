#pragma once
// The lattice of an exported grid, refused with a message before anything is allocated
// when its cell size is not usable or its nodes would not fit into memory.

#include <cstddef>
#include <optional>
#include <string>

#include "engine/engine.h"
#include "orvgrid/grid/lattice_grid.h"

// What one node costs while a grid is written: its double in the gridded values and at
// most a double in GDAL's in-memory copy.
inline constexpr std::size_t EXPORT_BYTES_PER_NODE = 16;

// Nodes an export may ask for on this machine: half its physical memory, or half the
// process's address-space limit where that is less, at 16 bytes a node.
std::size_t export_node_limit();

// "" when cell_size is a number above 0, else the message.
std::string check_cell_size(double cell_size);

struct GridSize {
    std::optional<GridLattice> lattice;
    std::string error;  // set when lattice is not
};

// The lattice of `cell_size` over the extent (its low corner the origin), or the message
// why it cannot be had: a bad cell size, or more nodes than max_nodes.
GridSize export_lattice(const PointExtent& extent, double cell_size, std::size_t max_nodes);
