#pragma once
// The values an export can carry under each trend model: the fields of a station (the
// columns of its result row, named as the result file's header names them) and the
// variables a grid can show (WorkPoint positions, as the previews grid them).

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/engine.h"
#include "engine/run/run_state.h"

struct StationField {
    enum class Source { X, Y, PointNumber, Height, Cba, Result, Neighbours };
    std::string name;
    Source source = Source::Result;
    int position = 0;  // WorkPoint position of a Result field
};

// The columns of the tendency's result row, in the row's order: x, y, point, h (nte),
// cba (fay), the quantities or coefficients, npoints (nno).
std::vector<StationField> station_fields(Tendency tendency);

// Field `field` of point p as the result row holds it, before its 6-decimal rounding:
// x and y as read (offsets subtracted), the CBA as read, the final pass's values.
double station_value(const StationField& field, const RunState& state, std::size_t p);

// True when point p has a result row (its final fit was solved).
bool has_result_row(const RunState& state, std::size_t p);

struct GridVariable {
    std::string name;
    int position = 0;  // WorkPoint position gridded
};

// What can be gridded under the tendency: x, y, height (nte), cba (fay), then the row's
// quantities or coefficients, "tilt" for the tilt angle. The cba grid is the anomaly the
// previews grid: after iterations, the corrected anomaly of the last pass.
std::vector<GridVariable> grid_variables(Tendency tendency);

// The variable a name (any case) stands for; the result-file header names "h" and
// "tilt_angle" are taken too. nullopt when the tendency has no such value.
std::optional<GridVariable> grid_variable_named(Tendency tendency, std::string_view name);
