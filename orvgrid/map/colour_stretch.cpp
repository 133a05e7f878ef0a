#include "orvgrid/map/colour_stretch.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "orvgrid/grid/colouring.h"

namespace {

std::vector<double> present_values(std::span<const double> values) {
    std::vector<double> present;
    present.reserve(values.size());
    for (double v : values)
        if (!is_blank_value(v)) present.push_back(v);
    return present;
}

}  // namespace

bool is_blank_value(double value) { return value >= 1e37; }

ColourStretch linear_stretch(std::span<const double> values) {
    ColourStretch stretch;
    stretch.kind = StretchKind::Linear;
    double sum = 0.0, sum_of_squares = 0.0;
    double minimum = 1e38, maximum = -1e38;
    std::size_t n = 0;
    for (double v : values) {
        if (is_blank_value(v)) continue;
        sum += v;
        sum_of_squares += v * v;
        ++n;
        minimum = std::min(minimum, v);
        maximum = std::max(maximum, v);
    }
    stretch.count = n;
    if (n == 0) return stretch;
    const double count = static_cast<double>(n);
    stretch.minimum = minimum;
    stretch.maximum = maximum;
    stretch.mean = sum / count;
    double deviation = 1.0;
    if (n > 1) {
        const double variance = (count * sum_of_squares - sum * sum) / ((count - 1.0) * count);
        if (variance > 0.0) deviation = std::sqrt(variance);
    }
    stretch.std_dev = std::fabs(deviation) < 1e-6 ? 1.0 : deviation;
    const double width = 0.066 * stretch.std_dev;
    for (int k = 1; k <= 39; ++k)
        stretch.upper_edges[static_cast<std::size_t>(k - 1)] = stretch.mean + (k - 21) * width;
    return stretch;
}

ColourStretch equalised_stretch(std::span<const double> values) {
    ColourStretch stretch = linear_stretch(values);
    stretch.kind = StretchKind::Equalised;
    std::vector<double> sorted = present_values(values);
    if (sorted.empty()) return stretch;
    std::sort(sorted.begin(), sorted.end());
    const std::size_t n = sorted.size();
    for (std::size_t k = 1; k <= 39; ++k) {
        const std::size_t rank = (k * n + 39) / 40;  // ceil(k n / 40), at least 1 as k, n are
        stretch.upper_edges[k - 1] = sorted[rank - 1];
    }
    return stretch;
}

int stretch_class(const ColourStretch& stretch, double value) {
    if (stretch.kind == StretchKind::Linear)
        return colour_class(value, stretch.mean, stretch.std_dev);
    // Class 1 + the number of edges below the value.
    const auto above =
        std::lower_bound(stretch.upper_edges.begin(), stretch.upper_edges.end(), value);
    return 1 + static_cast<int>(above - stretch.upper_edges.begin());
}
