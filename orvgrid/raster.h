#pragma once
// The rasters of a preview: the node grid, one value per image pixel, one colour per
// pixel, and the blank that marks a node or pixel without data.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/memory/huge_page_allocator.h"

// Marks a node or pixel without value; anything at or above BLANK_LIMIT counts as blank.
inline constexpr float BLANK_VALUE = 1e38f;
inline constexpr float BLANK_LIMIT = 1e37f;

inline bool is_blank(float value) { return value >= BLANK_LIMIT; }

// Node (i, j) lies at (origin_x + i * cell_size, origin_y + j * cell_size) in the stored
// (shifted) coordinates and is kept at i * ny + j. The offsets turn stored coordinates
// back into the coordinates as read (stored - offset). The values of a million-station
// lattice fill tens of megabytes, a fresh block at every gridding: in huge pages that
// takes a few page faults instead of ten thousand.
struct PreviewGrid {
    std::size_t nx = 0, ny = 0;
    double cell_size = 0.0;
    double origin_x = 0.0, origin_y = 0.0;
    double x_offset = 0.0, y_offset = 0.0;
    HugePageVector<float> values;

    float at(std::size_t i, std::size_t j) const { return values[i * ny + j]; }
};

// One value per image pixel: column m (0 at the left), row k (0 at the bottom) at
// m * height + k. Only columns below cols_used and rows below rows_used can hold data.
struct PreviewRaster {
    int width = 0, height = 0;
    int cols_used = 0, rows_used = 0;
    std::vector<float> values;
    double minimum = 1e38, maximum = -1e38;  // over the non-blank values
    double mean = 0.0, std_dev = 1.0;

    float at(int m, int k) const { return values[static_cast<std::size_t>(m) * height + k]; }
};

// Colour of each pixel as red + 256 green + 65536 blue, laid out like PreviewRaster.
struct ColourImage {
    int width = 0, height = 0;
    std::vector<std::uint32_t> colours;

    std::uint32_t at(int m, int k) const {
        return colours[static_cast<std::size_t>(m) * height + k];
    }
};
