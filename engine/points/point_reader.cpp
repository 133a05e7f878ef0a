#include "engine/points/point_reader.h"

#include <cerrno>
#include <cmath>
#include <new>
#include <stdexcept>
#include <string_view>

#include "engine/points/number_text.h"
#include "engine/points/text_lines.h"

namespace {

bool is_control(char c) { return static_cast<unsigned char>(c) < 32; }

// The numeric test: only what can make up a number, the separator in force included,
// may stand before the line end; the last character is never examined.
bool looks_numeric(const std::string& line, char decimal_separator) {
    for (std::size_t i = 0; i + 1 < line.size(); ++i) {
        const char c = line[i];
        if (c == '\0' || c == '\n' || c == '\r') return true;
        const bool passes = (c >= '0' && c <= '9') || c == ':' || c == ' ' || c == '+' ||
                            c == '-' || c == 'e' || c == 'E' || c == decimal_separator;
        if (!passes) return false;
    }
    return true;
}

// The tokens a parse needs: the line is split at spaces up to its line end, counting
// every token but keeping only those at the wanted positions, so that no line costs a
// heap allocation.
struct WantedTokens {
    const int* positions;  // the five column indices
    std::string_view found[5];
    std::size_t count = 0;  // tokens on the line
};

void split_tokens(const std::string& line, WantedTokens& tokens) {
    for_each_token(line, [&tokens](std::string_view token) {
        for (int w = 0; w < 5; ++w) {
            if (static_cast<std::size_t>(tokens.positions[w]) == tokens.count)
                tokens.found[w] = token;
        }
        ++tokens.count;
    });
}

struct RawExtent {
    double x_min = 1e38, x_max = -1e38;
    double y_min = 1e38, y_max = -1e38;
    double height_min = 1e38, height_max = -1e38;

    void take(const ColumnValues& v) {
        if (v.x < x_min) x_min = v.x;
        if (v.x > x_max) x_max = v.x;
        if (v.y < y_min) y_min = v.y;
        if (v.y > y_max) y_max = v.y;
        if (v.height < height_min) height_min = v.height;
        if (v.height > height_max) height_max = v.height;
    }
    bool holds(const ColumnValues& v) const {
        return v.x >= x_min && v.x <= x_max && v.y >= y_min && v.y <= y_max &&
               v.height >= height_min && v.height <= height_max;
    }
};

// The next line of the file that passes the filter and the column parser.
bool next_point_line(std::FILE* file, const RunSettings& settings, std::string& line,
                     ColumnValues& values) {
    while (read_text_line(file, line)) {
        if (accept_line(line, settings.decimal_separator) && parse_columns(line, settings, values))
            return true;
    }
    return false;
}

// Negative coordinates are shifted by the smallest one so that every stored coordinate
// is 0 or more; the result file subtracts the offset again.
PointExtent shifted_extent(const RawExtent& raw) {
    PointExtent e;
    e.x_min = raw.x_min;
    e.x_max = raw.x_max;
    e.y_min = raw.y_min;
    e.y_max = raw.y_max;
    e.height_min = raw.height_min;
    e.height_max = raw.height_max;
    if (e.x_min < 0.0) {
        e.x_offset = std::fabs(e.x_min);
        e.x_min = 0.0;
        e.x_max += e.x_offset;
    }
    if (e.y_min < 0.0) {
        e.y_offset = std::fabs(e.y_min);
        e.y_min = 0.0;
        e.y_max += e.y_offset;
    }
    return e;
}

int fail(RunMonitor& monitor, PointData& points, const std::string& message) {
    points.clear();
    monitor.show_message(message);
    return 1;
}

constexpr const char* CHANGED_WHILE_READING = "Input file changed while reading";

}  // namespace

bool accept_line(std::string& line, char decimal_separator) {
    if (line.empty() || line[0] == '/') return false;
    // The quote and the first letter of "LINE" are noted on the way, so that a number
    // line is not searched twice more.
    bool quote = false;
    bool letter_l = false;
    for (char& c : line) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        if ((c == ',' && decimal_separator != ',') || c == '\t' || c == '\b') c = ' ';
        quote |= c == '"';
        letter_l |= c == 'L';
    }
    if (line[0] == '/' || is_control(line[0])) return false;
    // Upper-casing has turned every "Line" label, whatever its case, into "LINE".
    if (quote || (letter_l && line.find("LINE") != std::string::npos)) return false;
    return looks_numeric(line, decimal_separator);
}

bool parse_columns(const std::string& line, const RunSettings& settings, ColumnValues& out) {
    const int columns[5] = {settings.column_x, settings.column_y, settings.column_point,
                            settings.column_height, settings.column_cba};
    WantedTokens tokens{columns, {}, 0};
    split_tokens(line, tokens);
    if (tokens.count < 5) return false;
    for (int column : columns) {
        if (column < 0 || static_cast<std::size_t>(column) > tokens.count - 1) return false;
    }
    out = ColumnValues{};
    double* targets[5] = {&out.x, &out.y, &out.point_number, &out.height, &out.cba};
    for (int f = 0; f < 5; ++f) {
        const auto value = parse_double(tokens.found[f], settings.decimal_separator);
        if (!value) return false;
        *targets[f] = *value;
    }
    return true;
}

int read_points(const RunSettings& settings, PointData& points, RunMonitor& monitor) {
    points.clear();
    TextFile file = open_text_file(settings.input_file);
    if (!file) return fail(monitor, points, cannot_open_message(settings.input_file, errno));

    std::string line;
    ColumnValues values;
    std::size_t count = 0;
    RawExtent raw;
    while (next_point_line(file.get(), settings, line, values)) {
        ++count;
        raw.take(values);
    }
    // A file that opens but cannot be read (a folder, a failing disk) is as good as
    // one that does not open.
    if (std::ferror(file.get()))
        return fail(monitor, points, cannot_open_message(settings.input_file, errno));
    if (count == 0) {
        std::string message = "Input file contains no valid xyz data";
        // Numbers written with the other decimal separator read as no numbers at all.
        RunSettings other = settings;
        other.decimal_separator = settings.decimal_separator == ',' ? '.' : ',';
        std::rewind(file.get());
        if (next_point_line(file.get(), other, line, values)) {
            message += "\nThe file's numbers use '";
            message += other.decimal_separator;
            message += "' as decimal separator, this system uses '";
            message += settings.decimal_separator;
            message += "'.";
        }
        return fail(monitor, points, message);
    }

    const PointExtent extent = shifted_extent(raw);
    try {
        points.survey.resize(count + 1);
        points.work.resize(count + 1);
    } catch (const std::bad_alloc&) {
        return fail(monitor, points, "Error by allocating memory for data");
    } catch (const std::length_error&) {
        return fail(monitor, points, "Error by allocating memory for data");
    }

    // The second pass must see the same points: a file replaced or grown in between
    // would otherwise write past the arrays or leave points outside the extent.
    std::rewind(file.get());
    std::size_t k = 0;
    while (next_point_line(file.get(), settings, line, values)) {
        if (k == count || !raw.holds(values)) return fail(monitor, points, CHANGED_WHILE_READING);
        const double x = values.x + extent.x_offset;
        const double y = values.y + extent.y_offset;
        points.survey[k] = SurveyPoint{x, y, values.point_number, values.height, values.cba, 0.0};
        WorkPoint& w = points.work[k];
        w = WorkPoint{};
        w.value[work::x] = x;
        w.value[work::y] = y;
        w.value[work::height] = values.height;
        w.value[work::cba] = values.cba;
        ++k;
    }
    if (std::ferror(file.get()) || k != count) return fail(monitor, points, CHANGED_WHILE_READING);

    points.count = count;
    points.extent = extent;
    return 0;
}

int read_subset(const RunSettings& settings, PointData& points, RunMonitor& monitor) {
    TextFile file = open_text_file(settings.subset_file);
    if (!file) {
        monitor.show_message("Cannot open subset input data file");
        return 1;
    }
    std::string line;
    ColumnValues values;
    while (next_point_line(file.get(), settings, line, values)) {
        for (std::size_t p = 0; p < points.count; ++p) {
            if (std::fabs(points.survey[p].point_number - values.point_number) < 1e-6) {
                points.survey[p].trace_flag = 1.0;
                break;
            }
        }
    }
    if (std::ferror(file.get())) {
        monitor.show_message("Cannot open subset input data file");
        return 1;
    }
    return 0;
}
