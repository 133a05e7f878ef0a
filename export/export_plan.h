#pragma once
// The checks an export makes before any work, so that a bad choice is refused with a
// clear message while nothing has been computed or written.

#include <optional>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "export/export_fields.h"
#include "export/export_options.h"

struct ExportPlan {
    ExportOptions options;
    Tendency tendency = Tendency::Linear4x4;
    std::string crs_wkt;                  // empty: the files carry no coordinate system
    std::vector<GridVariable> variables;  // in the order asked for
    std::string stem;                     // the files are <stem>_<variable><ext>, <stem><ext>
};

struct ExportPlanResult {
    std::optional<ExportPlan> plan;
    std::string error;  // set when plan is not
};

// Checks, in this order: an explicit cell size above 0; every variable known under the
// tendency and named once; the coordinate system (through GDAL); the folder (made when
// missing, then it must be writable); and that no file to be written is one of
// `inputs` (the survey, the result file, ...). The files are named after the result
// file: sphere.dat gives sphere_hggax.tif and sphere.gpkg.
ExportPlanResult plan_export(const ExportOptions& options, Tendency tendency,
                             const std::string& result_file,
                             const std::vector<std::string>& inputs);

// The names of the grid files and the station layer the plan writes, in that order.
std::vector<std::string> planned_file_names(const ExportPlan& plan);
