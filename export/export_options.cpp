#include "export/export_options.h"

#include <array>

namespace {

template <class Kind>
struct Named {
    Kind kind;
    std::string_view name;
};

constexpr std::array<Named<GridFormat>, 4> GRID_FORMATS = {{
    {GridFormat::GeoTiff, "gtiff"},
    {GridFormat::NetCdf, "netcdf"},
    {GridFormat::Surfer7, "gs7bg"},
    {GridFormat::SurferAscii, "dsaa"},
}};
constexpr std::array<Named<GridValueType>, 2> VALUE_TYPES = {{
    {GridValueType::Float64, "float64"},
    {GridValueType::Float32, "float32"},
}};
constexpr std::array<Named<StationFormat>, 2> STATION_FORMATS = {{
    {StationFormat::GeoPackage, "gpkg"},
    {StationFormat::Csv, "csv"},
}};

template <class Kind, std::size_t N>
std::optional<Kind> kind_named(const std::array<Named<Kind>, N>& table, std::string_view name) {
    for (const Named<Kind>& entry : table)
        if (entry.name == name) return entry.kind;
    return std::nullopt;
}

template <class Kind, std::size_t N>
std::string_view name_in(const std::array<Named<Kind>, N>& table, Kind kind) {
    for (const Named<Kind>& entry : table)
        if (entry.kind == kind) return entry.name;
    return {};
}

template <class Kind, std::size_t N>
std::vector<std::string_view> names_in(const std::array<Named<Kind>, N>& table) {
    std::vector<std::string_view> names;
    for (const Named<Kind>& entry : table) names.push_back(entry.name);
    return names;
}

}  // namespace

std::optional<GridFormat> grid_format_named(std::string_view name) {
    return kind_named(GRID_FORMATS, name);
}
std::optional<GridValueType> value_type_named(std::string_view name) {
    return kind_named(VALUE_TYPES, name);
}
std::optional<StationFormat> station_format_named(std::string_view name) {
    return kind_named(STATION_FORMATS, name);
}
std::string_view name_of(GridFormat format) { return name_in(GRID_FORMATS, format); }
std::string_view name_of(GridValueType type) { return name_in(VALUE_TYPES, type); }
std::string_view name_of(StationFormat format) { return name_in(STATION_FORMATS, format); }
std::vector<std::string_view> grid_format_names() { return names_in(GRID_FORMATS); }
std::vector<std::string_view> value_type_names() { return names_in(VALUE_TYPES); }
std::vector<std::string_view> station_format_names() { return names_in(STATION_FORMATS); }

std::string_view extension_of(GridFormat format) {
    switch (format) {
    case GridFormat::GeoTiff: return ".tif";
    case GridFormat::NetCdf: return ".nc";
    case GridFormat::Surfer7:
    case GridFormat::SurferAscii: return ".grd";
    }
    return {};
}

std::string_view extension_of(StationFormat format) {
    return format == StationFormat::GeoPackage ? ".gpkg" : ".csv";
}
