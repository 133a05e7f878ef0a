#pragma once
// The text of the result file: its two header lines and one row a point.

#include <string>
#include <string_view>

#include "engine/engine.h"
#include "engine/fit/quantities.h"

// Stands in the result file's first line until the run closes the file: a file cut short by
// a killed run says so in its first line, where a loader looks for "Map:" and refuses it.
inline constexpr std::string_view UNFINISHED_RESULT_LINE =
    "Unfinished: the run writing this file has not closed it";

// Header lines 1 and 2 for the run's tendency and search mode, each ending in '\n'.
// The input file name is written as typed, untouched by the decimal separator.
std::string result_header(const RunSettings& settings);

// Appends the row of one point after its final-pass fit to `row`: the five values as
// read (x, y and height from its work record), the tendency's quantities or
// coefficients c, neighbour_count; ends in '\n'.
void append_result_row(std::string& row, const RunSettings& settings, const SurveyPoint& point,
                       const WorkPoint& record, const PointExtent& extent, const double* c,
                       double neighbour_count, const PointQuantities& q);
