#pragma once
// The checks made before a run starts, without any window: each returns the first
// failing check's message and the field to put the focus on.

#include <optional>
#include <string>

#include "engine/engine.h"

struct CheckFailure {
    std::string message;
    std::string focus;  // objectName of the field: "txt_in", "txt_out", "txt_radius", ...
};

// Checks 1 to 3 of "&Calc" on the names as typed.
std::optional<CheckFailure> check_file_names(const std::string& input_file,
                                             const std::string& output_file);
// Check 5: the search radius must be above 1e-6.
std::optional<CheckFailure> check_search_radius(double search_radius);
// Refuses settings with which a run could not end (L-curve sequence that never ends).
std::optional<CheckFailure> check_run_limits(const RunSettings& settings);
// After reading: in N-nearest mode N must lie between 1 and the number of points read.
std::optional<CheckFailure> check_nearest_count(const RunSettings& settings,
                                                std::size_t points_read);

// input_file with the extension of its file name replaced by "_trace_out.dat".
std::string derive_trace_file(const std::string& input_file);
