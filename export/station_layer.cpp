#include "export/station_layer.h"

#include <gdal_priv.h>
#include <ogr_spatialref.h>
#include <ogrsf_frmts.h>

#include <charconv>
#include <cmath>
#include <memory>
#include <vector>

#include "export/export_fields.h"
#include "export/gdal_session.h"

namespace {

struct DatasetCloser {
    void operator()(GDALDataset* dataset) const { GDALClose(dataset); }
};
using Dataset = std::unique_ptr<GDALDataset, DatasetCloser>;

struct FeatureDeleter {
    void operator()(OGRFeature* feature) const { OGRFeature::DestroyFeature(feature); }
};

// OGR's CSV writer prints reals with 15 significant digits; the text of the shortest
// round trip keeps every bit of the double.
std::string exact_text(double value) {
    char text[32];
    const auto written = std::to_chars(text, text + sizeof text, value);
    return std::string(text, written.ptr);
}

OGRLayer* create_layer(GDALDataset& dataset, const StationLayerSpec& spec,
                       const std::vector<StationField>& fields) {
    const bool csv = spec.format == StationFormat::Csv;
    std::unique_ptr<OGRSpatialReference> srs;
    if (!csv && !spec.crs_wkt.empty()) {
        srs = std::make_unique<OGRSpatialReference>();
        if (srs->importFromWkt(spec.crs_wkt.c_str()) != OGRERR_NONE) return nullptr;
        srs->SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    }
    const char* const csv_options[] = {"STRING_QUOTING=IF_NEEDED", nullptr};
    OGRLayer* layer = dataset.CreateLayer(spec.layer_name.c_str(), srs.get(),
                                          csv ? wkbNone : wkbPoint,
                                          const_cast<char**>(csv ? csv_options : nullptr));
    if (!layer) return nullptr;
    for (const StationField& field : fields) {
        OGRFieldDefn definition(field.name.c_str(), csv ? OFTString : OFTReal);
        if (layer->CreateField(&definition) != OGRERR_NONE) return nullptr;
    }
    return layer;
}

bool write_station(OGRLayer& layer, const RunState& state, std::size_t p,
                   const std::vector<StationField>& fields, bool csv) {
    const std::unique_ptr<OGRFeature, FeatureDeleter> feature(
        OGRFeature::CreateFeature(layer.GetLayerDefn()));
    for (std::size_t f = 0; f < fields.size(); ++f) {
        const int index = static_cast<int>(f);
        const double value = station_value(fields[f], state, p);
        if (std::isnan(value)) feature->SetFieldNull(index);
        else if (csv) feature->SetField(index, exact_text(value).c_str());
        else feature->SetField(index, value);
    }
    if (!csv) {
        const OGRPoint where(station_value(fields[0], state, p), station_value(fields[1], state, p));
        if (feature->SetGeometry(&where) != OGRERR_NONE) return false;
    }
    return layer.CreateFeature(feature.get()) == OGRERR_NONE;
}

}  // namespace

std::string write_station_layer(const RunState& state, Tendency tendency,
                                const StationLayerSpec& spec, const std::filesystem::path& path) {
    const std::string failed = "Cannot write the stations '" + path.filename().string() + "'";
    ensure_gdal_drivers();
    const GdalErrorCapture capture;
    const bool csv = spec.format == StationFormat::Csv;
    GDALDriver* driver = GetGDALDriverManager()->GetDriverByName(csv ? "CSV" : "GPKG");
    if (!driver) return failed + ": GDAL has no " + (csv ? "CSV" : "GPKG") + " driver";
    Dataset dataset(driver->Create(path.c_str(), 0, 0, 0, GDT_Unknown, nullptr));
    if (!dataset) return failed + gdal_reason(capture.last_error());

    const std::vector<StationField> fields = station_fields(tendency);
    OGRLayer* layer = create_layer(*dataset, spec, fields);
    if (!layer) return failed + gdal_reason(capture.last_error());
    // One transaction: a GeoPackage otherwise commits every station on its own.
    const bool transaction = !csv && dataset->StartTransaction() == OGRERR_NONE;
    for (std::size_t p = 0; p < state.points.count; ++p) {
        if (!has_result_row(state, p)) continue;
        if (!write_station(*layer, state, p, fields, csv))
            return failed + gdal_reason(capture.last_error());
    }
    if (transaction && dataset->CommitTransaction() != OGRERR_NONE)
        return failed + gdal_reason(capture.last_error());
    dataset.reset();
    if (CPLGetLastErrorType() == CE_Failure || CPLGetLastErrorType() == CE_Fatal)
        return failed + gdal_reason(capture.last_error());
    return {};
}
