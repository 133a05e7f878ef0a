#include "orvw/map/map_geotiff.h"

#include <vector>

#include "export/crs_text.h"
#include "export/staged_files.h"
#include "orvgrid/map/colour_stretch.h"

ExportGrid map_export_grid(const MapSnapshot& snapshot, const GridLattice& lattice,
                           std::span<const double> values, const std::string& name) {
    ExportGrid grid;
    grid.name = name;
    grid.nx = lattice.nx;
    grid.ny = lattice.ny;
    grid.west = lattice.origin_x - snapshot.x_offset();
    grid.south = lattice.origin_y - snapshot.y_offset();
    grid.cell_size = lattice.cell_size;
    grid.values.reserve(values.size());
    for (double v : values) grid.values.push_back(is_blank_value(v) ? EXPORT_NODATA : v);
    return grid;
}

std::string write_map_geotiff(const ExportGrid& grid, const std::string& crs,
                              const std::filesystem::path& path) {
    const CrsCheck checked = check_crs(crs);
    if (!checked.error.empty()) return checked.error;
    // Staged beside its final place: a failed write leaves no half file, nor a file of
    // the same name half replaced.
    StagedFiles staged;
    const std::filesystem::path folder =
        path.has_parent_path() ? path.parent_path() : std::filesystem::path(".");
    if (std::string error = staged.open(folder); !error.empty()) return error;
    GridFileSpec spec;
    spec.format = GridFormat::GeoTiff;
    spec.value_type = GridValueType::Float64;
    spec.crs_wkt = checked.wkt;
    if (std::string error =
            write_grid_file(grid, spec, staged.staging_path(path.filename().string()));
        !error.empty())
        return error;
    std::vector<std::filesystem::path> committed;
    return staged.commit(committed);
}
