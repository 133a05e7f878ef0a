#include "orvgrid/grid/resample.h"

#include <algorithm>
#include <cmath>
#include <vector>

void resampleLine(std::span<const float> source, double step_in, std::span<float> target,
                  double step_out) {
    const std::size_t n_in = source.size();
    const std::size_t n_out = target.size();
    if (n_in == 0 || n_out == 0) return;
    target[0] = source[0];
    double pos = 0.0;
    for (std::size_t t = 1; t + 1 < n_out; ++t) {
        pos = pos + step_out;
        const double e = std::floor(pos / step_in);
        const std::size_t below = static_cast<std::size_t>(e);
        // Past the last node there is no right-hand neighbour to interpolate with: the
        // line holds the last value up to the forced last sample.
        if (below + 1 >= n_in) {
            target[t] = source[n_in - 1];
            continue;
        }
        const double d0 = std::fabs(pos - e * step_in);
        const double d1 = std::fabs((e + 1.0) * step_in - pos);
        const float left = source[below];
        const float right = source[below + 1];
        if (d0 == 0.0) {
            target[t] = left;
        } else if (d1 == 0.0) {
            target[t] = right;
        } else if (is_blank(left) || is_blank(right)) {
            target[t] = BLANK_VALUE;
        } else {
            target[t] = static_cast<float>((left / d0 + right / d1) / (1.0 / d0 + 1.0 / d1));
        }
    }
    target[n_out - 1] = source[n_in - 1];
}

namespace {

// floor(extent / s) held within 0 .. limit: rounding must not give one pixel more than
// the image has.
int pixels_used(double extent, double s, int limit) {
    const double used = std::floor(extent / s);
    if (!(used > 0.0)) return 0;
    return used >= limit ? limit : static_cast<int>(used);
}

}  // namespace

PreviewRaster resample_grid(const PreviewGrid& grid, int width, int height) {
    PreviewRaster raster;
    raster.width = std::max(width, 0);
    raster.height = std::max(height, 0);
    raster.values.assign(static_cast<std::size_t>(raster.width) * raster.height, BLANK_VALUE);

    const std::size_t nx = grid.nx;
    const std::size_t ny = grid.ny;
    const double c = grid.cell_size;
    if (nx == 0 || ny == 0 || !(c > 0.0) || raster.width == 0 || raster.height == 0)
        return raster;

    const double x_extent = static_cast<double>(nx) * c;
    const double y_extent = static_cast<double>(ny) * c;
    const double s = std::max(x_extent / raster.width, y_extent / raster.height);
    raster.rows_used = pixels_used(y_extent, s, raster.height);
    raster.cols_used = pixels_used(x_extent, s, raster.width);
    const std::size_t rows_used = static_cast<std::size_t>(raster.rows_used);
    const std::size_t cols_used = static_cast<std::size_t>(raster.cols_used);
    if (rows_used == 0 || cols_used == 0) return raster;

    std::vector<float> columns(rows_used * nx);  // node columns resampled to pixel rows
    std::vector<float> line(std::max(nx, ny));
    std::vector<float> resampled(std::max(rows_used, cols_used));

    for (std::size_t i = 0; i < nx; ++i) {
        std::copy_n(grid.values.begin() + static_cast<std::ptrdiff_t>(i * ny), ny, line.begin());
        resampleLine(std::span(line).first(ny), c, std::span(resampled).first(rows_used), s);
        std::copy_n(resampled.begin(), rows_used,
                    columns.begin() + static_cast<std::ptrdiff_t>(i * rows_used));
    }
    const std::size_t h = static_cast<std::size_t>(raster.height);
    for (std::size_t k = 0; k < rows_used; ++k) {
        for (std::size_t i = 0; i < nx; ++i) line[i] = columns[i * rows_used + k];
        resampleLine(std::span(line).first(nx), c, std::span(resampled).first(cols_used), s);
        for (std::size_t m = 0; m < cols_used; ++m) raster.values[m * h + k] = resampled[m];
    }
    return raster;
}

void take_statistics(PreviewRaster& raster) {
    double sum = 0.0;
    double sum_squares = 0.0;
    double n = 0.0;
    raster.minimum = 1e38;
    raster.maximum = -1e38;
    for (int k = 0; k < raster.rows_used; ++k) {
        for (int m = 0; m < raster.cols_used; ++m) {
            const float value = raster.at(m, k);
            if (is_blank(value)) continue;
            const double v = value;
            sum += v;
            sum_squares += v * v;
            n += 1.0;
            if (v < raster.minimum) raster.minimum = v;
            if (v > raster.maximum) raster.maximum = v;
        }
    }
    raster.mean = n > 0.0 ? sum / n : 0.0;
    raster.std_dev = 1.0;
    if (n < 2.0) return;
    const double variance = (n * sum_squares - sum * sum) / ((n - 1.0) * n);
    if (!(variance >= 0.0)) return;
    const double std_dev = std::sqrt(variance);
    if (std::fabs(std_dev) >= 1e-6) raster.std_dev = std_dev;
}
