#pragma once
// The result rows as a point layer: each station with a row becomes a point at its x and
// y as read, carrying every value of its row as a field named as in the result file's
// header, at full double precision (the result file prints 6 decimals).

#include <filesystem>
#include <string>

#include "engine/engine.h"
#include "engine/run/run_state.h"
#include "export/export_options.h"

struct StationLayerSpec {
    StationFormat format = StationFormat::GeoPackage;
    std::string crs_wkt;     // GeoPackage only; empty: the layer carries none
    std::string layer_name;  // the GeoPackage table
};

// Writes the stations of `state` with the fields of `tendency` to `path`; "" or a message
// naming the file and GDAL's reason. A GeoPackage holds real fields; a CSV file holds a
// header row and the shortest decimal text that reads back as the same double, without
// quotes. A NaN value is a null field (an empty CSV cell).
std::string write_station_layer(const RunState& state, Tendency tendency,
                                const StationLayerSpec& spec, const std::filesystem::path& path);
