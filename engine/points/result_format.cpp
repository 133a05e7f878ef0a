#include "engine/points/result_format.h"

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

void append_result_row(std::string& row, const RunSettings& s, const SurveyPoint& p,
                       const PointExtent& extent, const double* c, double neighbour_count,
                       const PointQuantities& q) {
    // "%10.3lf %10.3lf %10.0lf %10.3lf %10.6lf", then " %10.6lf" a value and " %10.0lf\n".
    const char sep = s.decimal_separator;
    append_fixed(row, p.x - extent.x_offset, 10, 3, sep);
    row += ' ';
    append_fixed(row, p.y - extent.y_offset, 10, 3, sep);
    row += ' ';
    append_fixed(row, p.point_number, 10, 0, sep);
    row += ' ';
    append_fixed(row, p.height, 10, 3, sep);
    row += ' ';
    append_fixed(row, p.cba, 10, 6, sep);
    for (Quantity printed : trend_model(s.tendency).printed) {
        row += ' ';
        append_fixed(row, quantity_value(printed, c, q), 10, 6, sep);
    }
    row += ' ';
    append_fixed(row, neighbour_count, 10, 0, sep);
    row += '\n';
}
