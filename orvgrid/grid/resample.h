#pragma once
// Linear resampling of the node grid to one value per image pixel, and the statistics
// the colour scale is built on.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "orvgrid/raster.h"

// Resamples source (values step_in apart) onto target (values step_out apart).
// Positions are accumulated by repeated addition; the last target value is always the
// last source value. A position between a node and a blank node is blank unless it
// falls exactly on the non-blank one; positions beyond the last node take its value.
void resampleLine(std::span<const float> source, double step_in, std::span<float> target,
                  double step_out);

// The source entries resampleLine reads for a source of n_in values step_in apart and a
// target of n_out values step_out apart, in increasing order: no other entry can change
// the target.
std::vector<std::uint32_t> resampled_sources(std::size_t n_in, double step_in, std::size_t n_out,
                                             double step_out);

// The raster of width x height pixels that fits the whole node lattice into the image
// with its aspect ratio kept; pixels outside cols_used x rows_used stay blank. Throws
// std::bad_alloc when the working buffers cannot be had.
PreviewRaster resample_grid(const PreviewGrid& grid, int width, int height);

// The nodes of an nx x ny lattice that a picture of width x height pixels is resampled
// from: the crossings of `columns` and `rows`, a few hundred of each, however many nodes
// the lattice has. values[c * rows.size() + r] is node (columns[c], rows[r]).
struct PictureNodes {
    std::size_t nx = 0, ny = 0;
    double cell_size = 0.0;
    std::vector<std::uint32_t> columns, rows;
    std::vector<float> values;
};

// The columns and rows resample_grid reads for a picture of width x height pixels of a
// lattice of nx x ny nodes cell_size apart; `values` is left empty. Throws
// std::bad_alloc as resample_grid does.
PictureNodes picture_nodes(std::size_t nx, std::size_t ny, double cell_size, int width,
                           int height);

// The raster resample_grid makes of the whole lattice, from the picture's nodes alone.
PreviewRaster resample_picture(const PictureNodes& nodes, int width, int height);

// Minimum, maximum, mean and standard deviation over the non-blank used pixels, summed
// row by row from the bottom. A standard deviation below 1e-6, or one the formula cannot
// give (fewer than two values, a variance rounded below zero), is taken as 1.0; with no
// value at all the mean is 0.
void take_statistics(PreviewRaster& raster);
