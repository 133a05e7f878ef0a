#include "export/export_fields.h"

#include <cmath>

namespace {

struct Quantity {
    const char* name;
    int position;
};

// The quantities and coefficients of a result row after the CBA, with the WorkPoint
// positions where a run (and a loaded file) keeps them.
std::vector<Quantity> row_quantities(Tendency tendency) {
    switch (tendency) {
    case Tendency::Linear3x3:
    case Tendency::Linear3x3NteFay:
        return {{"hggax", 5}, {"hggay", 6}, {"hgga", 7}, {"vgga", 8}, {"asig", 11},
                {"tilt_angle", 12}};
    case Tendency::Linear4x4:
        return {{"hggax", 5}, {"hggay", 6}, {"hgga", 7}, {"vgga", 8}, {"rga", 9}, {"lga", 10},
                {"asig", 11}, {"tilt_angle", 12}};
    case Tendency::Linear6x6:
        return {{"a", 5}, {"b", 6}, {"c", 7}, {"d", 8}, {"e", 9}, {"f", 10}, {"tilt_angle", 12}};
    case Tendency::Quadratic10x10:
        return {{"a", 5}, {"b", 6},  {"c", 7},  {"d", 8},  {"e", 9},
                {"f", 10}, {"g", 11}, {"k", 12}, {"l", 13}, {"q", 14}};
    }
    return {};
}

bool nte_fay(Tendency tendency) { return tendency == Tendency::Linear3x3NteFay; }

// The square models name the neighbour count "nno", the others "npoints".
const char* neighbours_name(Tendency tendency) {
    return tendency == Tendency::Linear6x6 || tendency == Tendency::Quadratic10x10 ? "nno"
                                                                                   : "npoints";
}

std::string lower(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

}  // namespace

std::vector<StationField> station_fields(Tendency tendency) {
    using Source = StationField::Source;
    std::vector<StationField> fields = {
        {"x", Source::X, 0},
        {"y", Source::Y, 0},
        {"point", Source::PointNumber, 0},
        {nte_fay(tendency) ? "nte" : "h", Source::Height, 0},
        {nte_fay(tendency) ? "fay" : "cba", Source::Cba, 0},
    };
    for (const Quantity& q : row_quantities(tendency))
        fields.push_back({q.name, Source::Result, q.position});
    fields.push_back({neighbours_name(tendency), Source::Neighbours, 0});
    return fields;
}

double station_value(const StationField& field, const RunState& state, std::size_t p) {
    const SurveyPoint& s = state.points.survey[p];
    const PointExtent& e = state.points.extent;
    switch (field.source) {
    case StationField::Source::X: return state.points.x(p) - e.x_offset;
    case StationField::Source::Y: return state.points.y(p) - e.y_offset;
    case StationField::Source::PointNumber: return s.point_number;
    case StationField::Source::Height: return state.points.height(p);
    case StationField::Source::Cba: return s.cba;
    case StationField::Source::Result: return state.points.work[p].value[field.position];
    case StationField::Source::Neighbours: return state.row_neighbours[p];
    }
    return 0.0;
}

bool has_result_row(const RunState& state, std::size_t p) {
    return p < state.row_neighbours.size() && !std::isnan(state.row_neighbours[p]);
}

std::vector<GridVariable> grid_variables(Tendency tendency) {
    std::vector<GridVariable> variables = {
        {"x", work::x},
        {"y", work::y},
        {nte_fay(tendency) ? "nte" : "height", work::height},
        {nte_fay(tendency) ? "fay" : "cba", work::cba},
    };
    for (const Quantity& q : row_quantities(tendency))
        variables.push_back({std::string_view(q.name) == "tilt_angle" ? "tilt" : q.name,
                             q.position});
    return variables;
}

std::optional<GridVariable> grid_variable_named(Tendency tendency, std::string_view name) {
    std::string wanted = lower(name);
    if (wanted == "tilt_angle") wanted = "tilt";
    if (wanted == "h" && !nte_fay(tendency)) wanted = "height";
    for (const GridVariable& v : grid_variables(tendency))
        if (v.name == wanted) return v;
    return std::nullopt;
}
