#pragma once
// Column-text point reader: the line filter and column parser shared with the result
// loader, and the reading of the point file and of the trace subset.

#include <string>

#include "engine/engine.h"

// Longest line read at once; the rest of a longer line is read as the next line.
inline constexpr int MAX_LINE_CHARS = 253;

// The line filter, applied in place: upper-cases, turns tabs, backspaces (and commas
// unless ',' is the separator) into blanks. Returns false when the line is skipped.
bool accept_line(std::string& line, char decimal_separator);

struct ColumnValues {
    double x = 0, y = 0, point_number = 0, height = 0, cba = 0;
};

// The column parser for a line that passed the filter: false when the line is rejected.
bool parse_columns(const std::string& line, const RunSettings& settings, ColumnValues& out);

// Reads settings.input_file into points (count + 1 records, shifted). 0 or 1 (message shown).
int read_points(const RunSettings& settings, PointData& points, RunMonitor& monitor);

// Marks the trace points named in settings.subset_file. 0 or 1 (message shown).
int read_subset(const RunSettings& settings, PointData& points, RunMonitor& monitor);
