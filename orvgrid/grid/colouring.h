#pragma once
// The colour scale and hill shading that turn a preview raster into a picture.

#include <array>
#include <cstdint>

#include "orvgrid/raster.h"

struct PaletteEntry {
    std::uint8_t red, green, blue;
};

// Entry 0 is for blank pixels; 1 to 40 run from blue (lowest) to pink (highest).
extern const std::array<PaletteEntry, 41> PREVIEW_PALETTE;

// The colour of a palette entry (or any channels) as red + 256 green + 65536 blue.
std::uint32_t pack_colour(int red, int green, int blue);

// Colour class 1..40 of a value: classes are 0.066 standard deviations wide and class 21
// ends at the mean. Huge or NaN quotients are held within 1..40 before any conversion.
int colour_class(double value, double mean, double std_dev);

// A sun direction: the unit vector towards a sun at `azimuth` degrees clockwise from +y
// (north) and `elevation` degrees above the horizon, and its computed length.
struct Light {
    double x, y, z, length;
};
Light light_from(double azimuth_degrees, double elevation_degrees);

// Cosine of the angle between the surface normal (dx, dy, 1) and the light, held within
// 0..1, times 255.
double shade_of(double dx, double dy, const Light& light);

// shade_of under the previews' light: elevation 45 and azimuth 45 degrees.
double shade_of(double dx, double dy);

// Darkening 1..128 subtracted from each channel for a shade of 0..255.
int darkening_of(double shade);

// Colours the used part of the raster; unused, blank and unshaded pixels are white. The
// last used column repeats the one before it, the last used row takes the shade of the
// row below.
ColourImage colour_raster(const PreviewRaster& raster);
