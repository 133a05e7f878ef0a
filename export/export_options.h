#pragma once
// What an export writes, as the runner's options and the window's export dialog choose
// it: the folder, the gridded variables and their lattice, the file formats and the
// coordinate system. Names of the formats are the ones the command line takes.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

enum class GridFormat { GeoTiff, NetCdf, Surfer7, SurferAscii };
enum class GridValueType { Float64, Float32 };
enum class StationFormat { GeoPackage, Csv };

struct ExportOptions {
    std::string folder;
    std::vector<std::string> variables;  // grid variables by their export names; none: no grid
    std::optional<double> cell_size;     // metres between nodes; nullopt: the preview's spacing
    GridFormat grid_format = GridFormat::GeoTiff;
    GridValueType value_type = GridValueType::Float64;
    std::optional<StationFormat> station_format = StationFormat::GeoPackage;  // nullopt: none
    std::string crs;  // "EPSG:nnnn", WKT or a PROJ string; empty: the files carry none
};

// The command-line names: gtiff, netcdf, gs7bg, dsaa; float64, float32; gpkg, csv.
std::optional<GridFormat> grid_format_named(std::string_view name);
std::optional<GridValueType> value_type_named(std::string_view name);
std::optional<StationFormat> station_format_named(std::string_view name);
std::string_view name_of(GridFormat format);
std::string_view name_of(GridValueType type);
std::string_view name_of(StationFormat format);

// Every name of a kind, in the order the help and the dialog list them.
std::vector<std::string_view> grid_format_names();
std::vector<std::string_view> value_type_names();
std::vector<std::string_view> station_format_names();

// File extension with its dot: ".tif", ".nc", ".grd" (both Surfer grids); ".gpkg", ".csv".
std::string_view extension_of(GridFormat format);
std::string_view extension_of(StationFormat format);
