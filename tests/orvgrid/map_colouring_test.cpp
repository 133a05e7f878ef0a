#include "orvgrid/map/map_colouring.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "orvgrid/grid/colouring.h"

namespace {

std::array<int, 3> rgb(const RgbImage& image, int x, int y) {
    const std::uint8_t* p = image.pixel(x, y);
    return {p[0], p[1], p[2]};
}

std::array<int, 3> darkened(int colour_class, int darkening) {
    const PaletteEntry& e = PREVIEW_PALETTE[static_cast<std::size_t>(colour_class)];
    return {std::max(e.red - darkening, 0), std::max(e.green - darkening, 0),
            std::max(e.blue - darkening, 0)};
}

// A plane rising by `slope` a node towards +x on nx x ny nodes (node (i, j) at i * ny + j).
std::vector<double> plane(std::size_t nx, std::size_t ny, double slope) {
    std::vector<double> v(nx * ny);
    for (std::size_t i = 0; i < nx; ++i)
        for (std::size_t j = 0; j < ny; ++j) v[i * ny + j] = slope * static_cast<double>(i);
    return v;
}

}  // namespace

TEST(map_colouring, flat_ground_under_the_previews_sun_is_darkened_by_38) {
    const std::vector<double> v(4 * 3, 2.0);
    const ColourStretch s = linear_stretch(v);
    const RgbImage image = colour_lattice(v, 4, 3, s, SunShading{});
    ASSERT_EQ(image.width, 4);
    ASSERT_EQ(image.height, 3);
    for (int x = 0; x < 4; ++x)
        for (int y = 0; y < 3; ++y) EXPECT_EQ(rgb(image, x, y), darkened(21, 38));
}

TEST(map_colouring, the_default_sun_shades_as_the_previews_do) {
    // The previews' own shading of the same differences, scaled by the relief.
    const std::vector<double> v = plane(5, 4, -0.5);
    const ColourStretch s = linear_stretch(v);
    SunShading sun;
    sun.relief = 3.0;
    const RgbImage image = colour_lattice(v, 5, 4, s, sun);
    const int d = darkening_of(shade_of(0.5 * 3.0, 0.0));
    for (std::size_t i = 0; i < 5; ++i)
        for (std::size_t j = 0; j < 4; ++j)
            EXPECT_EQ(rgb(image, static_cast<int>(i), static_cast<int>(3 - j)),
                      darkened(stretch_class(s, v[i * 4 + j]), d));
}

TEST(map_colouring, the_sun_side_is_lit_and_the_far_side_dark) {
    // Ground falling towards +x faces a sun in the east (azimuth 90) and turns from one in
    // the west (270).
    const std::vector<double> v = plane(3, 3, -1.0);
    const ColourStretch s = linear_stretch(v);
    SunShading east;
    east.azimuth = 90.0;
    east.elevation = 30.0;
    SunShading west = east;
    west.azimuth = 270.0;
    const RgbImage lit = colour_lattice(v, 3, 3, s, east);
    const RgbImage dark = colour_lattice(v, 3, 3, s, west);
    const int k = stretch_class(s, v[4]);
    // Normal (1, 0, 1)/sqrt(2) against (cos 30, 0, sin 30): cos = 0.9659.
    EXPECT_EQ(rgb(lit, 1, 1), darkened(k, darkening_of(255.0 * 0.96592582628906831)));
    EXPECT_EQ(rgb(dark, 1, 1), darkened(k, darkening_of(0.0)));
    SunShading off = east;
    off.on = false;
    EXPECT_EQ(rgb(colour_lattice(v, 3, 3, s, off), 1, 1), darkened(k, 0));
}

TEST(map_colouring, rows_run_from_the_top_and_blanks_stay_white) {
    // Two columns, three rows: node (0, 2) is the top-left pixel; node (1, 0) is blank.
    const std::vector<double> v = {1.0, 2.0, 3.0, 1e38, 5.0, 6.0};
    const ColourStretch s = equalised_stretch(v);
    SunShading off;
    off.on = false;
    const RgbImage image = colour_lattice(v, 2, 3, s, off);
    EXPECT_EQ(rgb(image, 0, 0), darkened(stretch_class(s, 3.0), 0));
    EXPECT_EQ(rgb(image, 0, 2), darkened(stretch_class(s, 1.0), 0));
    EXPECT_EQ(rgb(image, 1, 2), (std::array<int, 3>{255, 255, 255}));
    EXPECT_EQ(rgb(image, 1, 0), darkened(stretch_class(s, 6.0), 0));
    // With the sun on, a node beside the blank keeps its colour, shaded as flat ground.
    const RgbImage shaded = colour_lattice(v, 2, 3, s, SunShading{});
    EXPECT_EQ(rgb(shaded, 0, 2), darkened(stretch_class(s, 1.0), 38));
    EXPECT_EQ(rgb(shaded, 1, 2), (std::array<int, 3>{255, 255, 255}));
}

TEST(map_colouring, automatic_relief_makes_typical_slopes_one) {
    // Differences of 0.25 a node along x and 0 along y; pairs reaching a blank are left out.
    std::vector<double> v = plane(6, 5, 0.25);
    EXPECT_EQ(automatic_relief(v, 6, 5), 4.0);
    v[3 * 5 + 2] = 1e38;
    EXPECT_EQ(automatic_relief(v, 6, 5), 4.0);
    // Differences (3, 4) everywhere: a slope of length 5.
    std::vector<double> tilted(4 * 4);
    for (std::size_t i = 0; i < 4; ++i)
        for (std::size_t j = 0; j < 4; ++j)
            tilted[i * 4 + j] = -3.0 * static_cast<double>(i) - 4.0 * static_cast<double>(j);
    EXPECT_DOUBLE_EQ(automatic_relief(tilted, 4, 4), 0.2);
    EXPECT_EQ(automatic_relief(std::vector<double>(9, 1.0), 3, 3), 1.0);
    EXPECT_EQ(automatic_relief(std::vector<double>(3, 1.0), 3, 1), 1.0);
}
