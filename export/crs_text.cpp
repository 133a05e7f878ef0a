#include "export/crs_text.h"

#include <ogr_spatialref.h>

#include "export/gdal_session.h"

namespace {

bool blank(const std::string& text) {
    return text.find_first_not_of(" \t\r\n") == std::string::npos;
}

}  // namespace

CrsCheck check_crs(const std::string& text) {
    CrsCheck check;
    if (blank(text)) return check;
    ensure_gdal_drivers();
    const GdalErrorCapture capture;
    OGRSpatialReference srs;
    const OGRErr parsed =
        srs.SetFromUserInput(text.c_str(), OGRSpatialReference::SET_FROM_USER_INPUT_LIMITATIONS);
    char* wkt = nullptr;
    const char* const options[] = {"FORMAT=WKT2_2019", nullptr};
    if (parsed != OGRERR_NONE || srs.exportToWkt(&wkt, options) != OGRERR_NONE || !wkt ||
        !*wkt) {
        CPLFree(wkt);
        check.error = "Unknown coordinate system '" + text +
                      "': give EPSG:nnnn, WKT or a PROJ string" +
                      gdal_reason(capture.last_error());
        return check;
    }
    check.wkt = wkt;
    CPLFree(wkt);
    return check;
}
