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

bool GdalErrorCapture::out_of_memory() const {
    return CPLGetLastErrorType() != CE_None && CPLGetLastErrorNo() == CPLE_OutOfMemory;
}

std::string grid_write_failure(const std::string& file_name, const GdalErrorCapture& capture) {
    const char* what = capture.out_of_memory() ? "Not enough memory to write the grid '"
                                               : "Cannot write the grid '";
    return what + file_name + "'" + gdal_reason(capture.last_error());
}

std::string gdal_reason(const std::string& reason) {
    return reason.empty() ? std::string() : " (GDAL: " + reason + ")";
}
