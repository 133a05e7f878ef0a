#include "export/crs_text.h"

#include <ogr_spatialref.h>

#include "export/gdal_session.h"

namespace {

bool blank(const std::string& text) {
    return text.find_first_not_of(" \t\r\n") == std::string::npos;
}

// GDAL reads some PROJ strings as a coordinate operation rather than a coordinate system
// ("+proj=axisswap +order=2,1", "EPSG:4326 +proj=utm +zone=33", "+proj=utm" with stray
// text after it), and writes that operation as its WKT: it would label a file with no
// system at all, and some of those WKT texts cannot even be read back.
bool is_coordinate_system(const OGRSpatialReference& srs) {
    return srs.IsGeographic() || srs.IsProjected() || srs.IsGeocentric() || srs.IsLocal() ||
           srs.IsCompound() || srs.IsVertical();
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
    if (parsed != OGRERR_NONE || !is_coordinate_system(srs) ||
        srs.exportToWkt(&wkt, options) != OGRERR_NONE || !wkt || !*wkt) {
        CPLFree(wkt);
        check.error = "Unknown coordinate system '" + text +
                      "': give EPSG:nnnn, WKT or a PROJ string" + gdal_reason(capture.last_error());
        return check;
    }
    check.wkt = wkt;
    CPLFree(wkt);
    return check;
}
