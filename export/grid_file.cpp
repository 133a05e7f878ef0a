#include "export/grid_file.h"

#include <gdal_priv.h>
#include <ogr_spatialref.h>

#include <cstdint>
#include <memory>

#include "export/gdal_session.h"

namespace {

struct DatasetCloser {
    void operator()(GDALDataset* dataset) const { GDALClose(dataset); }
};
using Dataset = std::unique_ptr<GDALDataset, DatasetCloser>;

const char* driver_name(GridFormat format) {
    switch (format) {
    case GridFormat::GeoTiff: return "GTiff";
    case GridFormat::NetCdf: return "netCDF";
    case GridFormat::Surfer7: return "GS7BG";
    case GridFormat::SurferAscii: return "GSAG";
    }
    return "";
}

GDALDataType data_type(const GridFileSpec& spec) {
    if (spec.format == GridFormat::Surfer7) return GDT_Float64;
    return spec.value_type == GridValueType::Float32 ? GDT_Float32 : GDT_Float64;
}

// The grid as an in-memory raster, north up: raster row r is node row ny - 1 - r, read
// straight from the column-major values by the strides of the copy.
Dataset memory_raster(const ExportGrid& grid, const GridFileSpec& spec) {
    GDALDriver* memory = GetGDALDriverManager()->GetDriverByName("MEM");
    if (!memory) return nullptr;
    const int width = static_cast<int>(grid.nx);
    const int height = static_cast<int>(grid.ny);
    Dataset raster(memory->Create("", width, height, 1, data_type(spec), nullptr));
    if (!raster) return nullptr;
    const double c = grid.cell_size;
    const double north = grid.south + static_cast<double>(grid.ny - 1) * c;
    double transform[6] = {grid.west - 0.5 * c, c, 0.0, north + 0.5 * c, 0.0, -c};
    if (raster->SetGeoTransform(transform) != CE_None) return nullptr;
    if (!spec.crs_wkt.empty()) {
        OGRSpatialReference srs;
        if (srs.importFromWkt(spec.crs_wkt.c_str()) != OGRERR_NONE) return nullptr;
        srs.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
        if (raster->SetSpatialRef(&srs) != CE_None) return nullptr;
    }
    GDALRasterBand* band = raster->GetRasterBand(1);
    band->SetDescription(grid.name.c_str());
    if (band->SetNoDataValue(EXPORT_NODATA) != CE_None) return nullptr;
    auto* top_left = const_cast<double*>(grid.values.data() + (grid.ny - 1));
    const auto column_step = static_cast<GSpacing>(sizeof(double) * grid.ny);
    const auto row_step = -static_cast<GSpacing>(sizeof(double));
    if (band->RasterIO(GF_Write, 0, 0, width, height, top_left, width, height, GDT_Float64,
                       column_step, row_step, nullptr) != CE_None)
        return nullptr;
    return raster;
}

}  // namespace

std::string write_grid_file(const ExportGrid& grid, const GridFileSpec& spec,
                            const std::filesystem::path& path) {
    if (spec.format == GridFormat::NetCdf) return write_netcdf_grid(grid, spec, path);
    const std::string failed = "Cannot write the grid '" + path.filename().string() + "'";
    if (grid.nx == 0 || grid.ny == 0 || grid.nx > INT32_MAX || grid.ny > INT32_MAX ||
        grid.values.size() != grid.nx * grid.ny)
        return failed + ": the grid is empty or too large for the format";
    ensure_gdal_drivers();
    const GdalErrorCapture capture;
    GDALDriver* driver = GetGDALDriverManager()->GetDriverByName(driver_name(spec.format));
    if (!driver) return failed + ": GDAL has no " + driver_name(spec.format) + " driver";
    const Dataset source = memory_raster(grid, spec);
    if (!source) return grid_write_failure(path.filename().string(), capture);

    const char* const geotiff[] = {"TILED=YES", "COMPRESS=DEFLATE", "BIGTIFF=IF_SAFER", nullptr};
    const char* const* options = spec.format == GridFormat::GeoTiff ? geotiff : nullptr;
    Dataset written(driver->CreateCopy(path.c_str(), source.get(), FALSE,
                                       const_cast<char**>(options), nullptr, nullptr));
    if (!written) return grid_write_failure(path.filename().string(), capture);
    written.reset();  // closing flushes the last blocks: a full disk shows only now
    if (CPLGetLastErrorType() == CE_Failure || CPLGetLastErrorType() == CE_Fatal)
        return grid_write_failure(path.filename().string(), capture);
    return {};
}
