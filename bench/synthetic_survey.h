#pragma once
// Seeded synthetic surveys for the benchmarks: stations scattered over a square, terrain
// heights, and the anomaly of buried spheres over a regional trend, written as a
// Surfer-style column file the point reader takes with its default columns.

#include <cstddef>
#include <cstdint>
#include <string>

struct SurveyShape {
    std::size_t stations = 100000;
    double spacing = 100.0;  // metres; the square's side is spacing * sqrt(stations)
    std::uint64_t seed = 20261208;
};

// Search radius that holds about `neighbours` stations of the shape on average.
double radius_for_neighbours(const SurveyShape& shape, double neighbours);

// Writes the survey to `path` (header line, then x y point height cba). The same shape
// gives the same bytes on every run. False when the file cannot be written.
bool write_synthetic_survey(const SurveyShape& shape, const std::string& path);
