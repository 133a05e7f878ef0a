#include "orvgrid/preview_image.h"

#include <gtest/gtest.h>

namespace {

bool pixel_is(const RgbImage& image, int x, int y, int r, int g, int b) {
    const std::uint8_t* p = image.pixel(x, y);
    return p[0] == r && p[1] == g && p[2] == b;
}

}  // namespace

TEST(preview_image, cleared_image_is_a_black_outline_around_white) {
    const RgbImage image = cleared_preview_image(5, 4);
    ASSERT_EQ(image.pixels.size(), 60u);
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 5; ++x) {
            const bool edge = x == 0 || y == 0 || x == 4 || y == 3;
            EXPECT_TRUE(edge ? pixel_is(image, x, y, 0, 0, 0) : pixel_is(image, x, y, 255, 255, 255))
                << x << "," << y;
        }
    }
}

TEST(preview_image, draws_inside_the_frame_with_rows_from_the_bottom) {
    ColourImage colours;
    colours.width = 5;
    colours.height = 4;
    // Colour of column m, row k: red m, green k, blue 7.
    for (int m = 0; m < 5; ++m)
        for (int k = 0; k < 4; ++k)
            colours.colours.push_back(static_cast<std::uint32_t>(m + 256 * k + 65536 * 7));
    RgbImage image = cleared_preview_image(5, 4);
    draw_preview(colours, image);
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 5; ++x) {
            const bool edge = x == 0 || y == 0 || x == 4 || y == 3;
            if (edge)
                EXPECT_TRUE(pixel_is(image, x, y, 0, 0, 0)) << x << "," << y;
            else
                EXPECT_TRUE(pixel_is(image, x, y, x, 3 - y, 7)) << x << "," << y;
        }
    }
}

TEST(preview_image, frame_keeps_what_it_had) {
    ColourImage colours;
    colours.width = 3;
    colours.height = 3;
    colours.colours.assign(9, 0x010203u);
    RgbImage image = cleared_preview_image(3, 3);
    image.pixel(0, 0)[0] = 42;
    draw_preview(colours, image);
    EXPECT_TRUE(pixel_is(image, 0, 0, 42, 0, 0));
    EXPECT_TRUE(pixel_is(image, 1, 1, 3, 2, 1));
    EXPECT_TRUE(pixel_is(image, 2, 2, 0, 0, 0));
}
