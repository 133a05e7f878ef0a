#include <gdal_priv.h>
#include <ogr_spatialref.h>

#include <memory>

#include "export/gdal_session.h"
#include "export/grid_file.h"

namespace {

struct DatasetCloser {
    void operator()(GDALDataset* dataset) const { GDALClose(dataset); }
};
using Dataset = std::unique_ptr<GDALDataset, DatasetCloser>;

// A text attribute of an array or of the file (its root group).
bool set_text(GDALIHasAttribute& owner, const char* name, const std::string& text) {
    const auto attribute =
        owner.CreateAttribute(name, {}, GDALExtendedDataType::CreateString(), nullptr);
    return attribute && attribute->Write(text.c_str());
}

// A coordinate variable: n node positions from `first`, `step` apart.
std::shared_ptr<GDALMDArray> coordinate(GDALGroup& root,
                                        const std::shared_ptr<GDALDimension>& dimension,
                                        const char* standard_name, const std::string& units,
                                        double first, double step) {
    auto array = root.CreateMDArray(dimension->GetName(), {dimension},
                                    GDALExtendedDataType::Create(GDT_Float64), nullptr);
    if (!array) return nullptr;
    const std::size_t n = static_cast<std::size_t>(dimension->GetSize());
    std::vector<double> positions(n);
    for (std::size_t k = 0; k < n; ++k) positions[k] = first + static_cast<double>(k) * step;
    const GUInt64 start[] = {0};
    const size_t count[] = {n};
    if (!array->Write(start, count, nullptr, nullptr, GDALExtendedDataType::Create(GDT_Float64),
                      positions.data()))
        return nullptr;
    if (!set_text(*array, "standard_name", standard_name)) return nullptr;
    if (!units.empty() && !set_text(*array, "units", units)) return nullptr;
    return array;  // named as its dimension, netCDF takes it as the coordinate variable
}

// "m" when the system's coordinates are metres; otherwise the coordinates go without
// units rather than with a guessed one.
std::string coordinate_units(const OGRSpatialReference* srs) {
    if (!srs || !srs->IsProjected()) return {};
    return srs->GetLinearUnits() == 1.0 ? "m" : "";
}

bool write_variables(GDALGroup& root, const ExportGrid& grid, const GridFileSpec& spec,
                     const OGRSpatialReference* srs) {
    const auto y = root.CreateDimension("y", GDAL_DIM_TYPE_HORIZONTAL_Y, "NORTH", grid.ny);
    const auto x = root.CreateDimension("x", GDAL_DIM_TYPE_HORIZONTAL_X, "EAST", grid.nx);
    if (!x || !y) return false;
    const std::string units = coordinate_units(srs);
    if (!coordinate(root, x, "projection_x_coordinate", units, grid.west, grid.cell_size) ||
        !coordinate(root, y, "projection_y_coordinate", units, grid.south, grid.cell_size))
        return false;

    const GDALDataType type =
        spec.value_type == GridValueType::Float32 ? GDT_Float32 : GDT_Float64;
    const char* const compressed[] = {"COMPRESS=DEFLATE", nullptr};
    auto values = root.CreateMDArray(grid.name, {y, x}, GDALExtendedDataType::Create(type),
                                     const_cast<char**>(compressed));
    if (!values || !values->SetNoDataValue(EXPORT_NODATA)) return false;
    if (!set_text(*values, "long_name", grid.name)) return false;
    if (srs && !values->SetSpatialRef(srs)) return false;
    // Element (j, i) is node (i, j), kept at i * ny + j: strides 1 along y, ny along x.
    const GUInt64 start[] = {0, 0};
    const size_t count[] = {grid.ny, grid.nx};
    const GPtrDiff_t strides[] = {1, static_cast<GPtrDiff_t>(grid.ny)};
    return values->Write(start, count, nullptr, strides, GDALExtendedDataType::Create(GDT_Float64),
                         grid.values.data());
}

}  // namespace

std::string write_netcdf_grid(const ExportGrid& grid, const GridFileSpec& spec,
                              const std::filesystem::path& path) {
    const std::string failed = "Cannot write the grid '" + path.filename().string() + "'";
    if (grid.nx == 0 || grid.ny == 0 || grid.values.size() != grid.nx * grid.ny)
        return failed + ": the grid is empty";
    ensure_gdal_drivers();
    const GdalErrorCapture capture;
    GDALDriver* driver = GetGDALDriverManager()->GetDriverByName("netCDF");
    if (!driver) return failed + ": GDAL has no netCDF driver";
    std::unique_ptr<OGRSpatialReference> srs;
    if (!spec.crs_wkt.empty()) {
        srs = std::make_unique<OGRSpatialReference>();
        if (srs->importFromWkt(spec.crs_wkt.c_str()) != OGRERR_NONE)
            return grid_write_failure(path.filename().string(), capture);
        srs->SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    }
    const char* const netcdf4[] = {"FORMAT=NC4", nullptr};
    Dataset file(driver->CreateMultiDimensional(path.c_str(), nullptr,
                                                const_cast<char**>(netcdf4)));
    if (!file) return grid_write_failure(path.filename().string(), capture);
    bool written = false;
    {
        // The group must be let go before the file: the last reference closes it.
        const std::shared_ptr<GDALGroup> root = file->GetRootGroup();
        written = root && set_text(*root, "Conventions", "CF-1.8") &&
                  write_variables(*root, grid, spec, srs.get());
    }
    if (!written) return grid_write_failure(path.filename().string(), capture);
    file.reset();
    if (CPLGetLastErrorType() == CE_Failure || CPLGetLastErrorType() == CE_Fatal)
        return grid_write_failure(path.filename().string(), capture);
    return {};
}
