#include "engine/points/result_format.h"

#include <algorithm>

#include "engine/fit/trend_model.h"
#include "engine/points/fixed_format.h"
#include "engine/points/number_text.h"

std::string result_header(const RunSettings& s) {
    const char sep = s.decimal_separator;
    const char* object = s.iteration_object == 1 ? "LGA" : "RGA";
    const TrendModel& model = trend_model(s.tendency);
    // The name is joined outside format_c, which would turn a '.' of it into the separator.
    std::string line = "Map: " + s.input_file;
    if (s.search_mode == SearchMode::NNearest)
        line += format_c(sep, " N nearest: %6d  Iter: %3d  Object: %s  Tendencies: %s\n",
                         s.nearest_count, s.iterations, object, model.caption);
    else
        line += format_c(sep, "  Radius: %6.0lf  Iter: %3d  Object: %s  Tendencies: %s\n",
                         s.search_radius, s.iterations, object, model.caption);
    return line + model.column_names;
}

namespace {

// Columns of the widest row.
constexpr int MAX_COLUMNS = [] {
    int widest = 0;
    for (const TrendModel& model : TREND_MODELS) widest = std::max(widest, model.columns());
    return widest;
}();

}  // namespace

void append_result_row(std::string& row, const RunSettings& s, const SurveyPoint& p,
                       const WorkPoint& record, const PointExtent& extent, const double* c,
                       double neighbour_count, const PointQuantities& q) {
    // "%10.3lf %10.3lf %10.0lf %10.3lf %10.6lf", then " %10.6lf" a value and " %10.0lf\n",
    // laid out in one buffer and appended at once.
    const char sep = s.decimal_separator;
    // A field and its separator take at most 31 characters, and writing one stores
    // FIXED_FIELD_MAX bytes from its start.
    char text[MAX_COLUMNS * (FIXED_FIELD_MAX + 1)];
    char* at = text;
    const auto field = [&](double value, int precision, char after) {
        if (char* end = write_fixed(at, value, 10, precision, sep)) {
            at = end;
        } else {  // only the C library writes it: the row so far first
            row.append(text, static_cast<std::size_t>(at - text));
            at = text;
            append_fixed(row, value, 10, precision, sep);
        }
        *at++ = after;
    };
    field(record.value[work::x] - extent.x_offset, 3, ' ');
    field(record.value[work::y] - extent.y_offset, 3, ' ');
    field(p.point_number, 0, ' ');
    field(record.value[work::height], 3, ' ');
    field(p.cba, 6, ' ');
    for (Quantity printed : trend_model(s.tendency).printed)
        field(quantity_value(printed, c, q), 6, ' ');
    field(neighbour_count, 0, '\n');
    row.append(text, static_cast<std::size_t>(at - text));
}
