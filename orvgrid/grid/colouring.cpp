#include "orvgrid/grid/colouring.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <vector>

const std::array<PaletteEntry, 41> PREVIEW_PALETTE = {{
    {255, 255, 255}, {0, 0, 255},   {0, 85, 255},   {0, 127, 255},  {0, 170, 255},
    {0, 212, 255},   {0, 233, 255}, {0, 255, 255},  {0, 255, 200},  {0, 255, 145},
    {0, 255, 63},    {0, 255, 49},  {0, 255, 36},   {0, 255, 0},    {72, 255, 0},
    {99, 255, 0},    {109, 255, 0}, {145, 255, 0},  {182, 255, 0},  {218, 255, 0},
    {255, 255, 0},   {255, 233, 0}, {255, 212, 0},  {255, 191, 0},  {255, 180, 0},
    {255, 170, 0},   {255, 148, 0}, {255, 137, 0},  {255, 127, 0},  {255, 106, 0},
    {255, 85, 0},    {255, 53, 0},  {255, 21, 0},   {255, 0, 0},    {255, 0, 18},
    {255, 0, 36},    {255, 0, 109}, {255, 0, 182},  {255, 11, 218}, {255, 121, 255},
    {255, 159, 255},
}};

namespace {

constexpr double DEGREE = 0.017453292519943295;

const std::uint32_t white = 255u + 256u * 255u + 65536u * 255u;

}  // namespace

std::uint32_t pack_colour(int red, int green, int blue) {
    return static_cast<std::uint32_t>(red) + 256u * static_cast<std::uint32_t>(green) +
           65536u * static_cast<std::uint32_t>(blue);
}

int colour_class(double value, double mean, double std_dev) {
    const double width = 0.066 * std_dev;
    double q = std::ceil((value - mean) / width + 21.0);
    if (!(q >= 1.0)) q = 1.0;
    if (q > 40.0) q = 40.0;
    return static_cast<int>(q);
}

Light light_from(double azimuth_degrees, double elevation_degrees) {
    const double elevation = elevation_degrees * DEGREE;
    const double azimuth = azimuth_degrees * DEGREE;
    Light light{std::cos(elevation) * std::sin(azimuth), std::cos(elevation) * std::cos(azimuth),
                std::sin(elevation), 0.0};
    light.length = std::sqrt(light.x * light.x + light.y * light.y + light.z * light.z);
    return light;
}

double shade_of(double dx, double dy) {
    static const Light light = light_from(45.0, 45.0);
    return shade_of(dx, dy, light);
}

double shade_of(double dx, double dy, const Light& light) {
    const double dot = dx * light.x + dy * light.y + 1.0 * light.z;
    const double normal_length = std::sqrt(dx * dx + dy * dy + 1.0);
    double c = dot / (normal_length * light.length);
    // An infinite height difference (a value below the floats' range) leaves no angle to
    // the light: darkest, as a slope facing away.
    if (!(c >= 0.0)) c = 0.0;
    if (c > 1.0) c = 1.0;
    return 255.0 * c;
}

int darkening_of(double shade) {
    return 128 - static_cast<int>(std::floor(shade * 0.00390625 * 128.0));
}

ColourImage colour_raster(const PreviewRaster& raster) {
    ColourImage image;
    image.width = raster.width;
    image.height = raster.height;
    image.colours.assign(static_cast<std::size_t>(image.width) * image.height, white);
    const int cols_used = raster.cols_used;
    const int rows_used = raster.rows_used;
    if (cols_used < 2 || rows_used < 2) return image;

    const std::size_t h = static_cast<std::size_t>(raster.height);
    std::vector<int> classes(static_cast<std::size_t>(rows_used));
    std::vector<std::optional<double>> shades(static_cast<std::size_t>(rows_used));
    for (int m = 0; m + 1 < cols_used; ++m) {
        for (int k = 0; k < rows_used; ++k) {
            const float z = raster.at(m, k);
            classes[k] = is_blank(z) ? 0 : colour_class(z, raster.mean, raster.std_dev);
        }
        for (int k = 0; k + 1 < rows_used; ++k) {
            const float z00 = raster.at(m, k), z01 = raster.at(m, k + 1);
            const float z10 = raster.at(m + 1, k), z11 = raster.at(m + 1, k + 1);
            if (is_blank(z00) || is_blank(z01) || is_blank(z10) || is_blank(z11)) {
                shades[k].reset();
                continue;
            }
            const double dx = static_cast<double>(z00) - static_cast<double>(z10);
            const double dy = static_cast<double>(z10) - static_cast<double>(z11);
            shades[k] = shade_of(dx, dy);
        }
        shades[rows_used - 1] = shades[rows_used - 2];
        for (int k = 0; k < rows_used; ++k) {
            if (!shades[k]) continue;
            const int d = darkening_of(*shades[k]);
            const PaletteEntry& entry = PREVIEW_PALETTE[classes[k]];
            image.colours[m * h + k] = pack_colour(std::max(entry.red - d, 0),
                                                   std::max(entry.green - d, 0),
                                                   std::max(entry.blue - d, 0));
        }
    }
    const std::size_t last = static_cast<std::size_t>(cols_used - 1);
    std::copy_n(image.colours.begin() + static_cast<std::ptrdiff_t>((last - 1) * h), h,
                image.colours.begin() + static_cast<std::ptrdiff_t>(last * h));
    return image;
}
