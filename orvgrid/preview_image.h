#pragma once
// The picture a preview shows: the pixels of an image control, kept without a toolkit.

#include <cstdint>
#include <vector>

#include "orvgrid/raster.h"

// width x height pixels, rows from the top, three bytes (red, green, blue) a pixel.
struct RgbImage {
    int width = 0, height = 0;
    std::vector<std::uint8_t> pixels;

    std::uint8_t* pixel(int x, int y) {
        return pixels.data() + (static_cast<std::size_t>(y) * width + x) * 3;
    }
    const std::uint8_t* pixel(int x, int y) const {
        return pixels.data() + (static_cast<std::size_t>(y) * width + x) * 3;
    }
};

// What clearing an image paints: a one-pixel black outline, white inside.
RgbImage cleared_preview_image(int width, int height);

// Draws the colour image into `image` except its one-pixel frame, which keeps what it
// had: pixel (m, height-1-k) gets the colour of column m, row k (rows count from the
// bottom). Only the part both images cover is drawn.
void draw_preview(const ColourImage& colours, RgbImage& image);
