#pragma once
// One gridded variable written as a georeferenced grid file through GDAL.
//
// Registration: a value belongs to a node, and GDAL's raster model puts a node at the
// centre of its pixel. The geotransform is therefore (west - c/2, c, 0, north + c/2, 0,
// -c): a GeoTIFF is pixel-is-area with node (i, j) at the centre of pixel (i, ny-1-j);
// GDAL's Surfer drivers (Surfer 7 binary and DSAA) turn that back into node
// registration, their xmin/ymin being node (0, 0); the netCDF x and y coordinate
// variables hold the node positions themselves. Every reader thus finds node (i, j) at
// (west + i c, south + j c).

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

#include "export/export_options.h"

// The blank of an exported grid: Surfer's own blank, exact in single precision, so one
// value marks missing nodes in every format and in both value types.
inline constexpr double EXPORT_NODATA = 1.701410009187828e38;

struct ExportGrid {
    std::string name;  // the variable: band description, netCDF variable name
    std::size_t nx = 0, ny = 0;
    double west = 0.0, south = 0.0;  // node (0, 0) in the coordinates as read
    double cell_size = 0.0;
    std::vector<double> values;  // node (i, j) at i * ny + j; EXPORT_NODATA where blank
};

struct GridFileSpec {
    GridFormat format = GridFormat::GeoTiff;
    GridValueType value_type = GridValueType::Float64;  // Surfer 7 always stores doubles
    std::string crs_wkt;  // empty: the file carries no coordinate system
};

// Writes `grid` to `path`; "" or a message naming the file and GDAL's reason.
std::string write_grid_file(const ExportGrid& grid, const GridFileSpec& spec,
                            const std::filesystem::path& path);

// The same for netCDF (CF conventions, x and y coordinate variables), which is written
// through GDAL's multidimensional interface so that x and y stay projection coordinates
// even without a coordinate system.
std::string write_netcdf_grid(const ExportGrid& grid, const GridFileSpec& spec,
                              const std::filesystem::path& path);
