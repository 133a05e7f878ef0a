#pragma once
// Reading exported files back through GDAL and OGR, for tests that compare what a GIS
// sees with what the engine computed.

#include <gdal_priv.h>
#include <ogr_spatialref.h>
#include <ogrsf_frmts.h>

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "export/gdal_session.h"

struct GdalCloser {
    void operator()(GDALDataset* dataset) const { GDALClose(dataset); }
};
using GdalFile = std::unique_ptr<GDALDataset, GdalCloser>;

inline GdalFile open_raster(const std::string& path) {
    ensure_gdal_drivers();
    return GdalFile(GDALDataset::Open(path.c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY));
}

inline GdalFile open_vector(const std::string& path, const char* const* open_options = nullptr) {
    ensure_gdal_drivers();
    return GdalFile(GDALDataset::Open(path.c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY, nullptr,
                                      open_options, nullptr));
}

struct RasterRead {
    int width = 0, height = 0;
    std::array<double, 6> transform{};
    bool has_nodata = false;
    double nodata = 0.0;
    bool has_crs = false;
    bool crs_is_32633 = false;
    GDALDataType type = GDT_Unknown;
    std::vector<double> values;  // north up, row after row, as GDAL presents the raster
};

inline RasterRead read_raster(const std::string& path) {
    RasterRead r;
    const GdalFile file = open_raster(path);
    if (!file) return r;
    r.width = file->GetRasterXSize();
    r.height = file->GetRasterYSize();
    file->GetGeoTransform(r.transform.data());
    GDALRasterBand* band = file->GetRasterBand(1);
    int has = 0;
    r.nodata = band->GetNoDataValue(&has);
    r.has_nodata = has != 0;
    r.type = band->GetRasterDataType();
    if (const OGRSpatialReference* srs = file->GetSpatialRef()) {
        r.has_crs = !srs->IsEmpty();
        OGRSpatialReference utm;
        utm.importFromEPSG(32633);
        r.crs_is_32633 = srs->IsSame(&utm) != 0;
    }
    r.values.resize(static_cast<std::size_t>(r.width) * static_cast<std::size_t>(r.height));
    if (band->RasterIO(GF_Read, 0, 0, r.width, r.height, r.values.data(), r.width, r.height,
                       GDT_Float64, 0, 0, nullptr) != CE_None)
        r.values.clear();
    return r;
}

// The value GDAL shows for node (i, j) of an nx x ny node grid (j from the south).
inline double node_of(const RasterRead& r, std::size_t i, std::size_t j) {
    const std::size_t row = static_cast<std::size_t>(r.height) - 1 - j;
    return r.values[row * static_cast<std::size_t>(r.width) + i];
}
