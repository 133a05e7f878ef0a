#pragma once
// Column-text point reader: the line filter and column parser shared with the result
// loader, and the reading of the point file and of the trace subset.

#include <string>
#include <string_view>

#include "engine/engine.h"

// Longest line read at once; the rest of a longer line is read as the next line.
inline constexpr int MAX_LINE_CHARS = 253;

// The line filter, applied in place: upper-cases, turns tabs, backspaces (and commas
// unless ',' is the separator) into blanks. Returns false when the line is skipped.
bool accept_line(std::string& line, char decimal_separator);

// True when accept_line would pass the line and leave it as it is: it starts with
// neither a control character nor '/' and holds only digits, blanks, signs, the
// separator ('.' or ',') and line ends. Nearly every line of a survey is such a line;
// the reader parses it where it lies instead of copying and filtering it.
bool plain_number_line(std::string_view line, char decimal_separator);

struct ColumnValues {
    double x = 0, y = 0, point_number = 0, height = 0, cba = 0;
};

// The column parser for a line that passed the filter: false when the line is rejected.
bool parse_columns(std::string_view line, const RunSettings& settings, ColumnValues& out);

// Reads settings.input_file into points (count + 1 records, shifted). 0 or 1 (message shown).
int read_points(const RunSettings& settings, PointData& points, RunMonitor& monitor);

// Marks the trace points named in settings.subset_file. 0 or 1 (message shown).
int read_subset(const RunSettings& settings, PointData& points, RunMonitor& monitor);
