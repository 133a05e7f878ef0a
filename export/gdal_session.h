#pragma once
// GDAL as the export uses it: drivers registered once, and GDAL's own error reports kept
// from the console so that the export can word its messages itself and add GDAL's reason.

#include <string>

// Registers GDAL's drivers the first time it is called; safe from any thread.
void ensure_gdal_drivers();

// While alive, GDAL's errors on this thread are collected instead of printed.
class GdalErrorCapture {
public:
    GdalErrorCapture();
    ~GdalErrorCapture();
    GdalErrorCapture(const GdalErrorCapture&) = delete;
    GdalErrorCapture& operator=(const GdalErrorCapture&) = delete;

    // GDAL's last error message since the capture began, or "" when it reported none.
    std::string last_error() const;
    // True when GDAL's last error was a failed allocation.
    bool out_of_memory() const;
};

// " (GDAL: <reason>)" for a non-empty reason, "" otherwise: the tail of a failure message.
std::string gdal_reason(const std::string& reason);

// The message of a grid file GDAL failed to write: "Cannot write the grid 'NAME'", or
// "Not enough memory to write the grid 'NAME'" when GDAL ran out of memory, with
// GDAL's reason.
std::string grid_write_failure(const std::string& file_name, const GdalErrorCapture& capture);
