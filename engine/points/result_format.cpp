#include "engine/points/result_format.h"

#include "engine/points/fixed_format.h"
#include "engine/points/number_text.h"

namespace {

const char* tendency_caption(Tendency t) {
    switch (t) {
        case Tendency::Linear3x3:
        case Tendency::Linear3x3NteFay: return "Linear  Interpolation(3x3)";
        case Tendency::Linear4x4: return "Linear  Interpolation(4x4)";
        case Tendency::Linear6x6: return "Linear  Interpolation(6x6)";
        case Tendency::Quadratic10x10: return "Quadratic  Interpolation";
    }
    return "";
}

const char* column_names(Tendency t) {
    switch (t) {
        case Tendency::Linear3x3:
            return "          x           y      point          h        cba      hggax      hggay"
                   "       hgga       vgga       asig tilt_angle    npoints\n";
        case Tendency::Linear3x3NteFay:
            return "          x           y      point        nte        fay      hggax      hggay"
                   "       hgga       vgga       asig tilt_angle    npoints\n";
        case Tendency::Linear4x4:
            return "          x           y      point          h        cba      hggax      hggay"
                   "       hgga       vgga        rga        lga       asig tilt_angle    npoints\n";
        case Tendency::Linear6x6:
            return "          x           y      point          h        cba          a          b"
                   "          c          d          e          f tilt_angle        nno\n";
        case Tendency::Quadratic10x10:
            return "          x           y      point          h        cba          a          b"
                   "          c          d          e          f          g          k          l"
                   "          q        nno\n";
    }
    return "";
}

// The values a tendency prints between the five input values and neighbour_count.
struct PrintedValues {
    double value[10];
    int count = 0;
};

PrintedValues printed_values(Tendency t, const double* c, const PointQuantities& q) {
    switch (t) {
        case Tendency::Linear3x3:
        case Tendency::Linear3x3NteFay:
            return {{q.HGGAX, q.HGGAY, q.HGGA, q.VGGA, q.ASIG, q.TILT}, 6};
        case Tendency::Linear4x4:
            return {{q.HGGAX, q.HGGAY, q.HGGA, q.VGGA, q.RGA, q.LGA, q.ASIG, q.TILT}, 8};
        case Tendency::Linear6x6:
            return {{c[0], c[1], c[2], c[3], c[4], c[5], q.TILT}, 7};
        case Tendency::Quadratic10x10:
            return {{c[0], c[1], c[2], c[3], c[4], c[5], c[6], c[7], c[8], c[9]}, 10};
    }
    return {};
}

}  // namespace

std::string result_header(const RunSettings& s) {
    const char sep = s.decimal_separator;
    const char* object = s.iteration_object == 1 ? "LGA" : "RGA";
    // The name is joined outside format_c, which would turn a '.' of it into the separator.
    std::string line = "Map: " + s.input_file;
    if (s.search_mode == SearchMode::NNearest)
        line += format_c(sep, " N nearest: %6d  Iter: %3d  Object: %s  Tendencies: %s\n",
                         s.nearest_count, s.iterations, object, tendency_caption(s.tendency));
    else
        line += format_c(sep, "  Radius: %6.0lf  Iter: %3d  Object: %s  Tendencies: %s\n",
                         s.search_radius, s.iterations, object, tendency_caption(s.tendency));
    return line + column_names(s.tendency);
}

std::string result_row(const RunSettings& s, const SurveyPoint& p, const PointExtent& extent,
                       const LocalSystem& system, const PointQuantities& q) {
    // "%10.3lf %10.3lf %10.0lf %10.3lf %10.6lf", then " %10.6lf" a value and " %10.0lf\n".
    const char sep = s.decimal_separator;
    std::string row;
    row.reserve(180);
    append_fixed(row, p.x - extent.x_offset, 10, 3, sep);
    row += ' ';
    append_fixed(row, p.y - extent.y_offset, 10, 3, sep);
    row += ' ';
    append_fixed(row, p.point_number, 10, 0, sep);
    row += ' ';
    append_fixed(row, p.height, 10, 3, sep);
    row += ' ';
    append_fixed(row, p.cba, 10, 6, sep);
    const PrintedValues printed = printed_values(s.tendency, system.rhs, q);
    for (int i = 0; i < printed.count; ++i) {
        row += ' ';
        append_fixed(row, printed.value[i], 10, 6, sep);
    }
    row += ' ';
    append_fixed(row, system.neighbour_count, 10, 0, sep);
    row += '\n';
    return row;
}
