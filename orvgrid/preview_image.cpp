#include "orvgrid/preview_image.h"

#include <algorithm>

RgbImage cleared_preview_image(int width, int height) {
    RgbImage image;
    image.width = std::max(width, 0);
    image.height = std::max(height, 0);
    image.pixels.assign(static_cast<std::size_t>(image.width) * image.height * 3, 255);
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            if (x == 0 || y == 0 || x == image.width - 1 || y == image.height - 1)
                std::fill_n(image.pixel(x, y), 3, std::uint8_t{0});
        }
    }
    return image;
}

void draw_preview(const ColourImage& colours, RgbImage& image) {
    const int width = std::min(colours.width, image.width);
    const int height = std::min(colours.height, image.height);
    for (int m = 1; m + 1 < width; ++m) {
        for (int k = 1; k + 1 < height; ++k) {
            const std::uint32_t colour = colours.at(m, k);
            std::uint8_t* p = image.pixel(m, image.height - 1 - k);
            p[0] = static_cast<std::uint8_t>(colour & 0xFFu);
            p[1] = static_cast<std::uint8_t>((colour >> 8) & 0xFFu);
            p[2] = static_cast<std::uint8_t>((colour >> 16) & 0xFFu);
        }
    }
}
