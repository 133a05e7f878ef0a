#pragma once
// Linear resampling of the node grid to one value per image pixel, and the statistics
// the colour scale is built on.

#include <span>

#include "orvgrid/raster.h"

// Resamples source (values step_in apart) onto target (values step_out apart).
// Positions are accumulated by repeated addition; the last target value is always the
// last source value. A position between a node and a blank node is blank unless it
// falls exactly on the non-blank one; positions beyond the last node take its value.
void resampleLine(std::span<const float> source, double step_in, std::span<float> target,
                  double step_out);

// The raster of width x height pixels that fits the whole node lattice into the image
// with its aspect ratio kept; pixels outside cols_used x rows_used stay blank. Throws
// std::bad_alloc when the working buffers cannot be had.
PreviewRaster resample_grid(const PreviewGrid& grid, int width, int height);

// Minimum, maximum, mean and standard deviation over the non-blank used pixels, summed
// row by row from the bottom. A standard deviation below 1e-6, or one the formula cannot
// give (fewer than two values, a variance rounded below zero), is taken as 1.0; with no
// value at all the mean is 0.
void take_statistics(PreviewRaster& raster);
