#include "orvgrid/grid/colouring.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <set>
#include <utility>
#include <vector>

namespace {

constexpr std::uint32_t white = 0xFFFFFFu;

std::uint32_t rgb(int r, int g, int b) { return static_cast<std::uint32_t>(r + 256 * g + 65536 * b); }

// Palette entry darkened by d, channels floored at 0.
std::uint32_t darkened(int entry, int d) {
    const PaletteEntry& p = PREVIEW_PALETTE[static_cast<std::size_t>(entry)];
    return rgb(std::max(p.red - d, 0), std::max(p.green - d, 0), std::max(p.blue - d, 0));
}

PreviewRaster flat_raster(int width, int height, float value) {
    PreviewRaster r;
    r.width = r.cols_used = width;
    r.height = r.rows_used = height;
    r.values.assign(static_cast<std::size_t>(width) * height, value);
    r.mean = value;
    r.std_dev = 1.0;
    return r;
}

}  // namespace

TEST(colouring, palette_ends_and_middle) {
    ASSERT_EQ(PREVIEW_PALETTE.size(), 41u);
    const std::vector<std::pair<int, std::uint32_t>> spots = {
        {0, rgb(255, 255, 255)}, {1, rgb(0, 0, 255)},      {6, rgb(0, 233, 255)},
        {11, rgb(0, 255, 49)},   {16, rgb(109, 255, 0)},   {21, rgb(255, 233, 0)},
        {24, rgb(255, 180, 0)},  {31, rgb(255, 53, 0)},    {34, rgb(255, 0, 18)},
        {38, rgb(255, 11, 218)}, {39, rgb(255, 121, 255)}, {40, rgb(255, 159, 255)},
    };
    for (const auto& [entry, colour] : spots) EXPECT_EQ(darkened(entry, 0), colour) << entry;
}

TEST(colouring, class_edges) {
    const double w = 0.066;  // mean 0, standard deviation 1
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const std::vector<std::pair<double, int>> cases = {
        {0.0, 21},       {w, 22},         {w + 1e-9, 23}, {-1e-9, 21},    {-w, 20},
        {-1.32, 1},      {-5.0, 1},       {18 * w + 1e-9, 40}, {18 * w - 1e-9, 39},
        {1e300, 40},     {-1e300, 1},     {inf, 40},      {-inf, 1},      {nan, 1},
    };
    for (const auto& [value, expected] : cases)
        EXPECT_EQ(colour_class(value, 0.0, 1.0), expected) << value;
    EXPECT_EQ(colour_class(1003.3, 1000.0, 50.0), 22);  // w = 3.3: exactly one class up
    EXPECT_EQ(colour_class(5.0, 5.0, 0.0), 1);           // no width at all: still in range
}

TEST(colouring, shade_and_darkening) {
    EXPECT_NEAR(shade_of(0.0, 0.0), 255.0 * std::sqrt(0.5), 1e-9);
    EXPECT_EQ(darkening_of(shade_of(0.0, 0.0)), 38);
    EXPECT_EQ(shade_of(-100.0, -100.0), 0.0);  // facing away from the light
    EXPECT_EQ(darkening_of(0.0), 128);
    EXPECT_EQ(darkening_of(255.0), 1);
    // Facing the light: N parallel to L = (0.5, 0.5, 0.7071) at dx = dy = 0.7071.
    EXPECT_NEAR(shade_of(std::sqrt(0.5), std::sqrt(0.5)), 255.0, 1e-9);
    // A value below the floats' range is -infinity in the raster, and a slope to it has no
    // defined light: held at the darkest, as a slope facing away.
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(shade_of(-inf, inf), 0.0);
    EXPECT_EQ(shade_of(inf, 0.0), 0.0);
    EXPECT_EQ(darkening_of(shade_of(-inf, -inf)), 128);
}

TEST(colouring, flat_area_is_its_class_colour_minus_38) {
    const ColourImage image = colour_raster(flat_raster(4, 3, 10.0f));
    ASSERT_EQ(image.colours.size(), 12u);
    for (std::uint32_t c : image.colours) EXPECT_EQ(c, darkened(21, 38));
    EXPECT_EQ(darkened(21, 38), rgb(217, 195, 0));
}

TEST(colouring, one_blank_whitens_itself_left_below_and_below_left) {
    for (const auto& [bm, bk] : {std::pair{2, 3}, std::pair{2, 5}, std::pair{4, 2}}) {
        PreviewRaster r = flat_raster(6, 6, 1.0f);
        r.values[static_cast<std::size_t>(bm) * 6 + bk] = BLANK_VALUE;
        const ColourImage image = colour_raster(r);
        std::set<std::pair<int, int>> whites = {{bm, bk}, {bm - 1, bk}, {bm, bk - 1}, {bm - 1, bk - 1}};
        // Column 5 repeats column 4, so a blank in column 4 also whitens column 5.
        if (bm == 4) whites.insert({{5, bk}, {5, bk - 1}});
        for (int m = 0; m < 6; ++m) {
            for (int k = 0; k < 6; ++k) {
                const bool white_expected = whites.count({m, k}) > 0;
                EXPECT_EQ(image.at(m, k), white_expected ? white : darkened(21, 38))
                    << "blank at " << bm << "," << bk << " pixel " << m << "," << k;
            }
        }
    }
}

TEST(colouring, unused_part_and_tiny_rasters_stay_white) {
    PreviewRaster r = flat_raster(5, 5, 1.0f);
    r.cols_used = 3;
    r.rows_used = 2;
    const ColourImage image = colour_raster(r);
    for (int m = 0; m < 5; ++m)
        for (int k = 0; k < 5; ++k)
            EXPECT_EQ(image.at(m, k) == white, m >= 3 || k >= 2) << m << "," << k;

    for (const auto& [cols, rows] : {std::pair{1, 5}, std::pair{5, 1}, std::pair{0, 0}}) {
        PreviewRaster tiny = flat_raster(5, 5, 1.0f);
        tiny.cols_used = cols;
        tiny.rows_used = rows;
        for (std::uint32_t c : colour_raster(tiny).colours) EXPECT_EQ(c, white);
    }
}

TEST(colouring, taller_than_256_rows) {
    const ColourImage image = colour_raster(flat_raster(3, 400, 2.0f));
    EXPECT_EQ(image.at(2, 399), darkened(21, 38));
}

TEST(colouring, small_raster_end_to_end) {
    // z(m, k) with mean 0 and standard deviation 10 (class width 0.66):
    //   row 2:  -1   2   1
    //   row 1:   0 0.5   1
    //   row 0:   0 0.5   1
    // Classes: 0 -> 21, 0.5 -> 22, -1 -> 20, 2 -> 25.
    // Shades: dx = -0.5, dy = 0 gives c = (0.7071 - 0.25) / 1.1180 = 0.4089, shade 104.26,
    // D = 128 - 52 = 76 (column 0 row 0, column 1 rows 0 and 1); column 0 row 1 has
    // dx = -0.5, dy = -1.5, c < 0, D = 128. Row 2 repeats row 1, column 2 column 1.
    PreviewRaster r;
    r.width = r.height = r.cols_used = r.rows_used = 3;
    r.values = {0, 0, -1, 0.5f, 0.5f, 2, 1, 1, 1};
    r.mean = 0.0;
    r.std_dev = 10.0;
    const ColourImage image = colour_raster(r);
    const std::vector<std::uint32_t> expected = {
        rgb(179, 157, 0), rgb(127, 105, 0), rgb(127, 127, 0),  // column 0
        rgb(179, 136, 0), rgb(179, 136, 0), rgb(179, 94, 0),   // column 1
        rgb(179, 136, 0), rgb(179, 136, 0), rgb(179, 94, 0),   // column 2 = column 1
    };
    EXPECT_EQ(image.colours, expected);
}
