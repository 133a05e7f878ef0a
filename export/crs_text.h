#pragma once
// The coordinate system of an export, given as "EPSG:nnnn", WKT or a PROJ string and
// checked through GDAL before anything is written.

#include <string>

struct CrsCheck {
    std::string wkt;    // the system as WKT; empty when none was given or it was refused
    std::string error;  // what is wrong, naming the text; empty when accepted
};

// Checks `text` without reaching the network or reading files it might name. Empty text
// (only blanks) is accepted as "no coordinate system".
CrsCheck check_crs(const std::string& text);
