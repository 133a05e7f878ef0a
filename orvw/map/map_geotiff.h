#pragma once
// The grid a map window shows, written as a georeferenced GeoTIFF through the export
// library: the nodes of the visible area at the map's own spacing, so that a GIS shows
// what the window shows, value for value.

#include <filesystem>
#include <span>
#include <string>

#include "export/grid_file.h"
#include "orvgrid/grid/lattice_grid.h"
#include "orvgrid/map/map_snapshot.h"

// The map's `values` on `lattice` (stored coordinates) as an export grid named `name`:
// node (0, 0) in the coordinates as read, blank nodes EXPORT_NODATA.
ExportGrid map_export_grid(const MapSnapshot& snapshot, const GridLattice& lattice,
                           std::span<const double> values, const std::string& name);

// Writes `grid` as a GeoTIFF (doubles) at `path` with the coordinate system `crs` ("EPSG:
// nnnn", WKT, a PROJ string; empty: none). The file appears only when complete, replacing
// one of the same name. "" or what went wrong, naming the file or the system.
std::string write_map_geotiff(const ExportGrid& grid, const std::string& crs,
                              const std::filesystem::path& path);
