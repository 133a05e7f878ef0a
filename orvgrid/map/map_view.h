#pragma once
// The lattice a map view is gridded on: one node at the centre of every screen pixel of
// the part of the view that can hold data, and the node under a position.

#include <optional>
#include <span>

#include "orvgrid/grid/lattice_grid.h"

// A rectangle in stored (shifted) coordinates.
struct MapArea {
    double x_min = 0.0, x_max = 0.0, y_min = 0.0, y_max = 0.0;
};

// The lattice for `view` drawn on width x height pixels: the node spacing is the larger
// of the view's width and height per pixel (the whole view fits), nodes sit at pixel
// centres counted from the view's low corner, and only the pixels over `data_area` get
// nodes. nx = ny = 0 when the view misses the data area or has no size.
GridLattice view_lattice(const MapArea& view, int width, int height, const MapArea& data_area);

// The rectangle a lattice's picture covers: each node the centre of a square pixel.
MapArea lattice_area(const GridLattice& lattice);

// The value of the node whose pixel holds (x, y); nullopt outside the picture.
std::optional<double> lattice_value_at(const GridLattice& lattice, std::span<const double> values,
                                       double x, double y);
