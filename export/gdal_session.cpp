#include "export/gdal_session.h"

#include <cpl_error.h>
#include <gdal.h>

#include <mutex>

void ensure_gdal_drivers() {
    static std::once_flag registered;
    std::call_once(registered, [] { GDALAllRegister(); });
}

GdalErrorCapture::GdalErrorCapture() {
    CPLPushErrorHandler(CPLQuietErrorHandler);
    CPLErrorReset();
}

GdalErrorCapture::~GdalErrorCapture() { CPLPopErrorHandler(); }

std::string GdalErrorCapture::last_error() const {
    if (CPLGetLastErrorType() == CE_None) return {};
    const char* message = CPLGetLastErrorMsg();
    return message ? message : "";
}

std::string gdal_reason(const std::string& reason) {
    return reason.empty() ? std::string() : " (GDAL: " + reason + ")";
}
