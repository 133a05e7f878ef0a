#include "orvgrid/grid/resample.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace {

// Where the inner samples t = 1 .. n_out - 2 of a resampled line fall: each is handed the
// source entry at or below it, and either `past_end` (no entry above it) or its distances
// d0 and d1 to that entry and the next. resampleLine and resampled_sources share the
// walk, so a picture's nodes are exactly the entries its resampling reads.
template <class Sample>
void walk_line(std::size_t n_in, double step_in, std::size_t n_out, double step_out,
               Sample&& sample) {
    double pos = 0.0;
    for (std::size_t t = 1; t + 1 < n_out; ++t) {
        pos = pos + step_out;
        const double e = std::floor(pos / step_in);
        const std::size_t below = static_cast<std::size_t>(e);
        if (below + 1 >= n_in) {
            sample(t, below, true, 0.0, 0.0);
            continue;
        }
        const double d0 = std::fabs(pos - e * step_in);
        const double d1 = std::fabs((e + 1.0) * step_in - pos);
        sample(t, below, false, d0, d1);
    }
}

}  // namespace

void resampleLine(std::span<const float> source, double step_in, std::span<float> target,
                  double step_out) {
    const std::size_t n_in = source.size();
    const std::size_t n_out = target.size();
    if (n_in == 0 || n_out == 0) return;
    target[0] = source[0];
    walk_line(n_in, step_in, n_out, step_out,
              [&](std::size_t t, std::size_t below, bool past_end, double d0, double d1) {
                  // Past the last node there is no right-hand neighbour to interpolate
                  // with: the line holds the last value up to the forced last sample.
                  if (past_end) {
                      target[t] = source[n_in - 1];
                      return;
                  }
                  const float left = source[below];
                  const float right = source[below + 1];
                  if (d0 == 0.0) {
                      target[t] = left;
                  } else if (d1 == 0.0) {
                      target[t] = right;
                  } else if (is_blank(left) || is_blank(right)) {
                      target[t] = BLANK_VALUE;
                  } else {
                      target[t] = static_cast<float>((left / d0 + right / d1) /
                                                     (1.0 / d0 + 1.0 / d1));
                  }
              });
    target[n_out - 1] = source[n_in - 1];
}

std::vector<std::uint32_t> resampled_sources(std::size_t n_in, double step_in, std::size_t n_out,
                                             double step_out) {
    std::vector<std::uint32_t> read;
    if (n_in == 0 || n_out == 0) return read;
    const auto entry = [](std::size_t i) { return static_cast<std::uint32_t>(i); };
    read.push_back(0);
    read.push_back(entry(n_in - 1));
    walk_line(n_in, step_in, n_out, step_out,
              [&](std::size_t, std::size_t below, bool past_end, double d0, double d1) {
                  if (past_end) return;  // the last entry, read anyway
                  if (d0 == 0.0) {
                      read.push_back(entry(below));
                      return;
                  }
                  if (d1 != 0.0) read.push_back(entry(below));
                  read.push_back(entry(below + 1));
              });
    std::sort(read.begin(), read.end());
    read.erase(std::unique(read.begin(), read.end()), read.end());
    return read;
}

namespace {

// floor(extent / s) held within 0 .. limit: rounding must not give one pixel more than
// the image has.
int pixels_used(double extent, double s, int limit) {
    const double used = std::floor(extent / s);
    if (!(used > 0.0)) return 0;
    return used >= limit ? limit : static_cast<int>(used);
}

// The blank raster of width x height pixels and, in it, the pixels a lattice of nx x ny
// nodes c apart fills; `s` receives the ground size of a pixel. No pixel is used when the
// lattice or the image is empty.
PreviewRaster frame_raster(std::size_t nx, std::size_t ny, double c, int width, int height,
                           double& s) {
    PreviewRaster raster;
    raster.width = std::max(width, 0);
    raster.height = std::max(height, 0);
    raster.values.assign(static_cast<std::size_t>(raster.width) * raster.height, BLANK_VALUE);
    s = 0.0;
    if (nx == 0 || ny == 0 || !(c > 0.0) || raster.width == 0 || raster.height == 0)
        return raster;
    const double x_extent = static_cast<double>(nx) * c;
    const double y_extent = static_cast<double>(ny) * c;
    s = std::max(x_extent / raster.width, y_extent / raster.height);
    raster.rows_used = pixels_used(y_extent, s, raster.height);
    raster.cols_used = pixels_used(x_extent, s, raster.width);
    return raster;
}

// Columns first, then rows. fill_column(i, line) writes node column i into line[0 .. ny-1]
// and returns true, or returns false for a column the rows never read.
template <class FillColumn>
PreviewRaster resample_columns(std::size_t nx, std::size_t ny, double c, int width, int height,
                               FillColumn&& fill_column) {
    double s = 0.0;
    PreviewRaster raster = frame_raster(nx, ny, c, width, height, s);
    const std::size_t rows_used = static_cast<std::size_t>(raster.rows_used);
    const std::size_t cols_used = static_cast<std::size_t>(raster.cols_used);
    if (rows_used == 0 || cols_used == 0) return raster;

    std::vector<float> columns(rows_used * nx);  // node columns resampled to pixel rows
    std::vector<float> line(std::max(nx, ny));
    std::vector<float> resampled(std::max(rows_used, cols_used));

    for (std::size_t i = 0; i < nx; ++i) {
        if (!fill_column(i, std::span(line).first(ny))) continue;
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

}  // namespace

PreviewRaster resample_grid(const PreviewGrid& grid, int width, int height) {
    return resample_columns(grid.nx, grid.ny, grid.cell_size, width, height,
                            [&](std::size_t i, std::span<float> line) {
                                std::copy_n(grid.values.begin() +
                                                static_cast<std::ptrdiff_t>(i * grid.ny),
                                            grid.ny, line.begin());
                                return true;
                            });
}

PictureNodes picture_nodes(std::size_t nx, std::size_t ny, double cell_size, int width,
                           int height) {
    PictureNodes nodes;
    nodes.nx = nx;
    nodes.ny = ny;
    nodes.cell_size = cell_size;
    double s = 0.0;
    const PreviewRaster frame = frame_raster(nx, ny, cell_size, width, height, s);
    if (frame.rows_used == 0 || frame.cols_used == 0) return nodes;
    nodes.columns =
        resampled_sources(nx, cell_size, static_cast<std::size_t>(frame.cols_used), s);
    nodes.rows = resampled_sources(ny, cell_size, static_cast<std::size_t>(frame.rows_used), s);
    return nodes;
}

PreviewRaster resample_picture(const PictureNodes& nodes, int width, int height) {
    constexpr std::uint32_t NOT_READ = UINT32_MAX;
    std::vector<std::uint32_t> column_of(nodes.nx, NOT_READ);
    for (std::size_t c = 0; c < nodes.columns.size(); ++c)
        column_of[nodes.columns[c]] = static_cast<std::uint32_t>(c);
    const std::size_t rows = nodes.rows.size();
    return resample_columns(nodes.nx, nodes.ny, nodes.cell_size, width, height,
                            [&](std::size_t i, std::span<float> line) {
                                const std::uint32_t c = column_of[i];
                                if (c == NOT_READ) return false;
                                // The entries between the picture's rows are never read.
                                std::fill(line.begin(), line.end(), BLANK_VALUE);
                                for (std::size_t r = 0; r < rows; ++r)
                                    line[nodes.rows[r]] = nodes.values[c * rows + r];
                                return true;
                            });
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
