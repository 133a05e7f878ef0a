#include "orvgrid/map/map_colouring.h"

#include <algorithm>
#include <cmath>

#include "orvgrid/grid/colouring.h"

namespace {

// The previews' differences at node (i, j): dx from (i, j) to (i + 1, j), dy from
// (i + 1, j) to (i + 1, j + 1); the last column and row use the pair before them. False
// when the lattice is a single column or row, or a value of the pair is blank.
bool differences_at(std::span<const double> v, std::size_t nx, std::size_t ny, std::size_t i,
                    std::size_t j, double& dx, double& dy) {
    if (nx < 2 || ny < 2) return false;
    const std::size_t a = std::min(i, nx - 2);
    const std::size_t b = std::min(j, ny - 2);
    const double z00 = v[a * ny + b];
    const double z10 = v[(a + 1) * ny + b];
    const double z11 = v[(a + 1) * ny + b + 1];
    if (is_blank_value(z00) || is_blank_value(z10) || is_blank_value(z11)) return false;
    dx = z00 - z10;
    dy = z10 - z11;
    return true;
}

}  // namespace

double automatic_relief(std::span<const double> values, std::size_t nx, std::size_t ny) {
    double sum_of_squares = 0.0;
    std::size_t n = 0;
    for (std::size_t i = 0; i + 1 < nx; ++i) {
        for (std::size_t j = 0; j + 1 < ny; ++j) {
            double dx = 0.0, dy = 0.0;
            if (!differences_at(values, nx, ny, i, j, dx, dy)) continue;
            sum_of_squares += dx * dx + dy * dy;
            ++n;
        }
    }
    if (n == 0 || !(sum_of_squares > 0.0)) return 1.0;
    return 1.0 / std::sqrt(sum_of_squares / static_cast<double>(n));
}

RgbImage colour_lattice(std::span<const double> values, std::size_t nx, std::size_t ny,
                        const ColourStretch& stretch, const SunShading& sun) {
    RgbImage image;
    image.width = static_cast<int>(nx);
    image.height = static_cast<int>(ny);
    image.pixels.assign(nx * ny * 3, 255);
    const Light light = light_from(sun.azimuth, sun.elevation);
    for (std::size_t i = 0; i < nx; ++i) {
        for (std::size_t j = 0; j < ny; ++j) {
            const double z = values[i * ny + j];
            if (is_blank_value(z)) continue;
            const PaletteEntry& entry = PREVIEW_PALETTE[stretch_class(stretch, z)];
            int darkening = 0;
            if (sun.on) {
                double dx = 0.0, dy = 0.0;
                if (!differences_at(values, nx, ny, i, j, dx, dy)) dx = dy = 0.0;
                darkening = darkening_of(shade_of(dx * sun.relief, dy * sun.relief, light));
            }
            std::uint8_t* p = image.pixel(static_cast<int>(i), static_cast<int>(ny - 1 - j));
            p[0] = static_cast<std::uint8_t>(std::max(entry.red - darkening, 0));
            p[1] = static_cast<std::uint8_t>(std::max(entry.green - darkening, 0));
            p[2] = static_cast<std::uint8_t>(std::max(entry.blue - darkening, 0));
        }
    }
    return image;
}
