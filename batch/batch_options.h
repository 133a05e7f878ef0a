#pragma once
// The command line of orvane-batch, parsed without touching any file: every option is
// kept as given (unset options stay empty), so that a settings file named by
// --settings can be read first and the options laid over it afterwards.

#include <optional>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "export/export_options.h"

enum class OnFailed { Stop, Skip };
enum class PreviewFormat { Bitmap, Jpeg, SurferGrid };

struct BatchOptions {
    bool help = false;
    bool version = false;

    std::optional<std::string> input_file;   // the two positional names
    std::optional<std::string> output_file;
    std::optional<std::string> settings_file;
    std::optional<std::string> subset_file;

    std::optional<double> search_radius;
    std::optional<double> grid_radius;
    std::optional<Tendency> tendency;
    std::optional<SolverKind> solver;
    std::optional<int> nearest_count;  // also switches to the N-nearest search
    std::optional<int> iterations;
    std::optional<int> iteration_object;
    std::optional<double> alpha;
    std::optional<double> sv_threshold;
    std::optional<double> min_alpha;
    std::optional<double> max_alpha;
    std::optional<double> sequence_quotient;
    std::optional<CenteringMode> centering_x;
    std::optional<CenteringMode> centering_y;
    std::optional<CenteringMode> centering_z;
    std::optional<CenteringMode> centering_cba;
    bool include_calc_point = false;
    std::optional<std::vector<int>> columns;  // x, y, point, height, cba
    std::optional<unsigned> threads;

    std::optional<std::string> preview_dir;
    std::optional<std::vector<std::string>> preview_vars;  // list texts, as typed
    PreviewFormat preview_format = PreviewFormat::Bitmap;

    // Export for a GIS: --export DIR turns it on; the other export options shape it.
    std::optional<std::string> export_dir;
    std::optional<std::vector<std::string>> export_vars;  // names as typed; empty: no grids
    ExportOptions export_options;  // cell, formats, value type, coordinate system
    std::string export_option;     // the first shaping option given, to ask for --export
    std::optional<std::string> from_result;  // export this result file instead of running

    OnFailed on_failed = OnFailed::Skip;
    bool quiet = false;
};

struct OptionsParse {
    std::optional<BatchOptions> options;  // set on success
    std::string error;                    // one line saying what is wrong otherwise
};

// Parses the arguments after the program name. Numbers are read with "." whatever the
// locale. "--opt value", "--opt=value" and "-r value" are accepted; "--" ends the
// options. An unknown option, a bad value, a missing value or a wrong number of names
// is an error; --help and --version succeed whatever else is there.
OptionsParse parse_batch_options(const std::vector<std::string>& args);

// The text --help prints.
std::string batch_usage();
