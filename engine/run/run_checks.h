#pragma once
// The checks made before a run starts, without any window: each returns the first
// failing check's message and the setting the user has to mend.

#include <optional>
#include <string>

#include "engine/engine.h"

// The settings the checks look at, as the user enters them; the window puts the focus
// on the control of the one that failed.
enum class CheckedField {
    InputFile,
    OutputFile,
    SubsetFile,
    SearchRadius,
    NearestCount,
    MinAlpha,
    MaxAlpha,
    SequenceQuotient,
};

struct CheckFailure {
    std::string message;
    CheckedField field;
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
