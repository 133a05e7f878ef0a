#pragma once
// The chief header of the calculation: the settings of a run, its records, and the
// monitor through which a run talks to whoever started it (window, batch runner, tests).
// Nothing here knows about a window toolkit.

#include <cstddef>
#include <string>
#include <vector>

#include "engine/memory/huge_page_allocator.h"
#include "engine/run/questions.h"

// ---------------------------------------------------------------------------
// Enumerations: the value is the position of the item in its list on the window.

enum class Tendency : int {
    Linear3x3 = 0,
    Linear4x4 = 1,
    Linear6x6 = 2,
    Quadratic10x10 = 3,
    Linear3x3NteFay = 4,
};

enum class SolverKind : int {
    GaussJordan = 0,
    MoorePenrose = 1,
    Tichonov = 2,
};

enum class CenteringMode : int {
    NotCenter = 0,
    CenterToMean = 1,
    CenterToPoint = 2,
};

enum class SearchMode : int {
    Radius = 0,
    NNearest = 1,
};

// ---------------------------------------------------------------------------
// Every setting of one run, captured once when the run starts; the run never reads
// the window again.

struct RunSettings {
    std::string input_file;   // point file (at most 254 characters from the window)
    std::string output_file;  // result file
    std::string subset_file;  // trace subset; empty: no subset and no trace file
    std::string trace_file;   // derived from input_file, see derive_trace_file()

    int column_x = 0;       // 0-based token index, "A" = 0
    int column_y = 1;
    int column_point = 2;
    int column_height = 3;
    int column_cba = 4;

    double search_radius = 0.0;  // metres
    double cell_size = 0.0;      // 0.1 x search_radius
    double grid_radius = 0.0;    // below 1e-6 replaced by search_radius at capture
    int nearest_count = 10;

    int iterations = 0;        // 0..10000 further passes
    int iteration_object = 0;  // 0 "RGA", 1 "LGA": only the header caption
    double alpha = 0.01;       // correction coefficient between passes

    double sv_threshold = -1.0;  // SVD threshold or Tikhonov alpha; < 0: computed
    double min_alpha = 1e-10;
    double max_alpha = 1e10;
    double sequence_quotient = 2.0;

    Tendency tendency = Tendency::Linear4x4;
    SolverKind solver = SolverKind::MoorePenrose;
    SearchMode search_mode = SearchMode::Radius;
    CenteringMode centering_x = CenteringMode::CenterToPoint;
    CenteringMode centering_y = CenteringMode::CenterToPoint;
    CenteringMode centering_z = CenteringMode::NotCenter;
    CenteringMode centering_cba = CenteringMode::NotCenter;
    bool include_calc_point = false;

    bool preview = false;
    int preview_var1 = 1;
    int preview_var2 = 0;
    int preview_var3 = 1;

    // Not window controls: the number format the files are read and written in (taken
    // once from the platform locale by the program and passed in), and how many threads
    // the point loop may use (0: all cores; 1: strictly one after another).
    char decimal_separator = '.';
    unsigned threads = 1;
};

// ---------------------------------------------------------------------------
// Point records.

// What a point keeps as read besides its work record, which holds its x, y and height
// (PointData::x and so on).
struct SurveyPoint {
    double point_number = 0.0;
    double cba = 0.0;         // FAY for Linear3x3NteFay; never changed by the passes
    double trace_flag = 0.0;  // 1.0 for a point of the trace subset; set when > 0.5
};

// x and y (shifted so that no stored coordinate is negative), height (NTE for
// Linear3x3NteFay), working CBA, then eleven result positions (4 to 14). The passes
// change only the working CBA and the results.
struct WorkPoint {
    double value[15] = {};
};

namespace work {
inline constexpr int x = 0;
inline constexpr int y = 1;
inline constexpr int height = 2;
inline constexpr int cba = 3;
// The result positions, named for what the linear models keep there; which quantity a
// model keeps where is its record's business (engine/fit/trend_model.h).
inline constexpr int unused = 4;  // no model writes it
inline constexpr int hggax = 5;
inline constexpr int hggay = 6;
inline constexpr int hgga = 7;
inline constexpr int vgga = 8;
inline constexpr int rga = 9;
inline constexpr int lga = 10;
inline constexpr int asig = 11;
inline constexpr int tilt = 12;
inline constexpr int coeff8 = 13;  // only the quadratic model's last two coefficients
inline constexpr int coeff9 = 14;  // reach these
// Where the coefficient models keep c[k].
constexpr int coefficient(int k) { return hggax + k; }
}  // namespace work

struct PointExtent {
    double x_min = 0.0, x_max = 0.0;
    double y_min = 0.0, y_max = 0.0;
    double height_min = 0.0, height_max = 0.0;
    double x_offset = 0.0, y_offset = 0.0;  // added on reading, subtracted on output
};

// The points of a run (or of a loaded result file). Both arrays hold count + 1 records.
struct PointData {
    HugePageVector<SurveyPoint> survey;
    HugePageVector<WorkPoint> work;
    std::size_t count = 0;
    PointExtent extent;

    double x(std::size_t p) const { return work[p].value[work::x]; }
    double y(std::size_t p) const { return work[p].value[work::y]; }
    double height(std::size_t p) const { return work[p].value[work::height]; }

    void clear();
};

// ---------------------------------------------------------------------------
// Local systems and solvers.

using SystemMatrix = double[100];  // 10 x 10, row-major, row stride 10, 0-based
using SystemVector = double[10];

inline constexpr double SOLVER_FAILED = 1e30;

struct LocalSystem {
    SystemMatrix matrix = {};
    SystemVector rhs = {};  // the coefficients after the solve
    double neighbour_count = 0.0;
};

// ---------------------------------------------------------------------------
// The run's link to whoever started it.

// Every operation but show_message has a default, so that a monitor writes only what it
// needs: no progress, no events, no Stop, no previews. A message has none: dropping one
// would hide why a run failed.
class RunMonitor {
public:
    virtual ~RunMonitor() = default;
    virtual void set_progress(int /*position*/) {}  // 0..10000
    virtual void process_events() {}
    virtual bool stop_requested() { return false; }
    virtual void clear_stop() {}
    virtual void show_message(const std::string& text) = 0;
    // A Yes/No question (engine/run/questions.h builds its words). By default the answer
    // that winds the run up: a run nobody watches must not go on past a failed point
    // unseen, and a Stop it is asked about means stop.
    virtual bool ask_yes_no(const Question& question) { return answer_that_ends_run(question); }
    virtual void clear_previews() {}
    virtual void preview_ready(int /*slot*/) {}  // slot 1, 2 or 3 has been gridded
};
