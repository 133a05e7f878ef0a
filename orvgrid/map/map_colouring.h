#pragma once
// The picture of a map: every node of a lattice coloured by the preview palette through a
// colour stretch and darkened by a hill shading under a chosen sun.

#include <cstddef>
#include <span>

#include "orvgrid/map/colour_stretch.h"
#include "orvgrid/preview_image.h"

struct SunShading {
    bool on = true;
    double azimuth = 45.0;    // degrees clockwise from +y
    double elevation = 45.0;  // degrees above the horizon
    // Scales the differences between neighbouring nodes before the normal is formed. The
    // previews take differences per picture pixel of the whole survey; a map passes that
    // pixel's ground size over its own node spacing, so that its relief looks the same at
    // every zoom and equals the previews' at the survey's extent.
    double relief = 1.0;
};

// The relief that makes the root mean square of the differences the shading takes (as
// colour_lattice takes them) one: a typical slope then faces 45 degrees off the vertical,
// whatever the quantity's size. 1 where no pair of nodes has a difference.
double automatic_relief(std::span<const double> values, std::size_t nx, std::size_t ny);

// An nx x ny picture (rows from the top: node (i, j) becomes pixel (i, ny - 1 - j)) of the
// node values (node (i, j) at i * ny + j). Blank nodes are white. With shading on, a node
// takes the previews' shading from its differences towards i + 1 and j + 1 (from i - 1 and
// j - 1 on the last column and row, where the lattice ends), the darkening subtracted from
// each palette channel; a node whose differences reach a blank is shaded as flat ground.
// With shading off the palette colours are drawn as they are.
RgbImage colour_lattice(std::span<const double> values, std::size_t nx, std::size_t ny,
                        const ColourStretch& stretch, const SunShading& sun);
