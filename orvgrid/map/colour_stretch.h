#pragma once
// How the values of a map are spread over the 40 colour classes of the preview palette:
// linearly, as the previews do (classes 0.066 standard deviations wide, class 21 ending
// at the mean), or histogram-equalised (each class holding as many nodes as it can).

#include <array>
#include <cstddef>
#include <span>

enum class StretchKind { Linear, Equalised };

struct ColourStretch {
    StretchKind kind = StretchKind::Linear;
    // Upper edge of classes 1..39: class k holds the values above upper_edges[k-2] and up
    // to upper_edges[k-1]; class 1 everything up to the first edge, class 40 everything
    // above the last. Ascending (equal edges leave a class empty).
    std::array<double, 39> upper_edges{};
    double mean = 0.0, std_dev = 1.0;  // of the values, as the previews take them
    double minimum = 0.0, maximum = 0.0;
    std::size_t count = 0;  // non-blank values; 0 leaves every edge at 0
};

// Any value of 1e37 or more is a blank and is left out.
bool is_blank_value(double value);

// The previews' stretch over the non-blank values: mean and standard deviation by the
// previews' formula (a deviation below 1e-6, or none to be had, counts as 1.0), edges at
// mean + (k - 21) * 0.066 * std_dev.
ColourStretch linear_stretch(std::span<const double> values);

// Edges at the quantiles k/40 of the non-blank values: edge k is the value of rank
// ceil(k * n / 40) - 1 in ascending order, so class k takes the values of ranks
// ceil((k-1) n / 40) .. ceil(k n / 40) - 1 when they are distinct.
ColourStretch equalised_stretch(std::span<const double> values);

// Colour class 1..40 of a non-blank value; for the linear stretch exactly the previews'
// colour_class.
int stretch_class(const ColourStretch& stretch, double value);
