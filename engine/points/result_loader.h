#pragma once
// Loading a result file written by an earlier run back into the run state, so that its
// maps can be shown without calculating again. Knows no window: what the window shows
// (the header texts, the tendency, which data are left) comes back in ResultLoad.

#include <optional>
#include <string>

#include "engine/engine.h"
#include "engine/run/run_state.h"

// The first line of a result file, split at blanks.
struct ResultHeader {
    bool nearest = false;             // written by an N-nearest run: no radius in it
    std::string radius_text;          // after "Radius:"; empty for N-nearest
    std::string nearest_count_text;   // after "N nearest:"; empty otherwise
    std::string iterations_text;      // after "Iter:"
    std::string object_text;          // after "Object:": "RGA" or "LGA"
};

// Accepts a line of more than 10 tokens whose token 0 is exactly "Map:". The fields are
// the tokens after their labels "Radius:" (or "N nearest:"), "Iter:" and "Object:",
// found back from the last "Tendencies:", so an input name with blanks does not shift
// them. A line without these labels is read by position: tokens 3, 5, 7 (an N-nearest
// header, tokens 2 and 3 "N" and "nearest:": 4, 6, 8). nullopt when refused.
std::optional<ResultHeader> parse_result_header(const std::string& line);

struct ResultLoadOptions {
    std::string path;
    char decimal_separator = '.';
    // The search radius the user has typed: used for an N-nearest file, whose header
    // holds none, when it is above 1e-6.
    double nearest_radius = 0.0;
};

enum class LoadOutcome {
    Loaded,        // state holds the file's points and their index; results_ready set
    PreviousKept,  // refused before anything was discarded: state is as it was
    NoData,        // failed after the previous points were discarded: state is empty
};

struct ResultLoad {
    LoadOutcome outcome = LoadOutcome::PreviousKept;
    // Set once the first line passed as a header, even when the load failed later: the
    // window empties txt_in and puts these texts into txt_radius (radius runs only),
    // txt_iter and cb_iter. Not set when the file was refused before that.
    std::optional<ResultHeader> header;
    // An N-nearest file came without a usable radius (message shown); nothing changed.
    bool radius_needed = false;

    // Valid when Loaded.
    double search_radius = 0.0;
    double grid_radius = 0.0;
    double cell_size = 0.0;
    std::optional<int> iteration_object;  // 0 "RGA", 1 "LGA"; nullopt: neither text
    Tendency tendency = Tendency::Linear3x3;
};

// Reads the result file at options.path into state and builds its cluster index.
// Messages ("Cannot open input data file", "Calculated file contains no valid xyz data",
// "Error by allocating memory for calculated data", the index's own) go through
// monitor. The points are read into a fresh PointData that replaces state's only when
// complete; from the moment the header and radius are accepted the previous points are
// gone (results_ready false), so a later failure leaves the state empty, never half
// filled.
ResultLoad load_result_file(const ResultLoadOptions& options, RunState& state,
                            RunMonitor& monitor);
