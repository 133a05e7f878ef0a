#pragma once
// The chief header of the calculation: the settings of a run, its records, and the
// monitor through which a run talks to whoever started it (window, batch runner, tests).
// Nothing here knows about a window toolkit.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

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

// Number of unknowns of a trend model: 3, 4, 6, 10 or 3.
int unknowns_of(Tendency t);

// ---------------------------------------------------------------------------
// Point records.

struct SurveyPoint {
    double x = 0.0;  // shifted so that no stored coordinate is negative
    double y = 0.0;
    double point_number = 0.0;
    double height = 0.0;  // NTE for Linear3x3NteFay
    double cba = 0.0;     // FAY for Linear3x3NteFay; never changed by the passes
    double trace_flag = 0.0;  // 1.0 for a point of the trace subset; set when > 0.5
};

// x, y, height, working CBA, then eleven result positions (4 to 14).
struct WorkPoint {
    double value[15] = {};
};

namespace work {
inline constexpr int x = 0;
inline constexpr int y = 1;
inline constexpr int height = 2;
inline constexpr int cba = 3;
}  // namespace work

struct PointExtent {
    double x_min = 0.0, x_max = 0.0;
    double y_min = 0.0, y_max = 0.0;
    double height_min = 0.0, height_max = 0.0;
    double x_offset = 0.0, y_offset = 0.0;  // added on reading, subtracted on output
};

// The points of a run (or of a loaded result file). Both arrays hold count + 1 records.
struct PointData {
    std::vector<SurveyPoint> survey;
    std::vector<WorkPoint> work;
    std::size_t count = 0;
    PointExtent extent;

    void clear();
};

// ---------------------------------------------------------------------------
// Neighbour search structure: nx x ny square cells of edge cell_size laid over the
// extent; cell (i, k) is number i * ny + k. Stored compactly: one offsets array and one
// index array, indices ascending within a cell.

struct CellWindow {
    std::size_t ix_first = 0, ix_end = 0;  // columns ix_first <= ix < ix_end
    std::size_t iy_first = 0, iy_end = 0;  // rows iy_first <= iy < iy_end
};

class ClusterIndex {
public:
    // Lays out the cells and bins the points; false when the cell table would not fit
    // in memory (the caller shows the message).
    bool build(double cell_size, double origin_x, double origin_y, double x_max,
               double y_max, std::span<const WorkPoint> points);
    void clear();

    std::span<const std::uint32_t> cell_at(std::size_t i, std::size_t k) const;
    // The cells of one column lie one after another: the cells (i, k_first) ..
    // (i, k_end - 1) are the slots slot_begin(i, k_first) .. slot_begin(i, k_end) - 1
    // (k_end may be ny), and slot_points()[s] is the point index held in slot s.
    std::size_t slot_begin(std::size_t i, std::size_t k) const { return offsets_[i * ny_ + k]; }
    std::span<const std::uint32_t> slot_points() const { return indices_; }
    // The cells covering the square x0 - e .. x0 + e, y0 - e .. y0 + e.
    CellWindow covering_window(double x0, double y0, double e) const;

    std::size_t nx() const { return nx_; }
    std::size_t ny() const { return ny_; }
    double cell_size() const { return cell_size_; }
    double origin_x() const { return origin_x_; }
    double origin_y() const { return origin_y_; }
    bool empty() const { return offsets_.empty(); }

private:
    std::size_t nx_ = 0, ny_ = 0;
    double cell_size_ = 0.0, origin_x_ = 0.0, origin_y_ = 0.0;
    std::vector<std::uint32_t> offsets_;  // nx * ny + 1 entries
    std::vector<std::uint32_t> indices_;  // point indices, cell after cell
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

struct AreaMeans {
    double mean_x = 0.0, mean_y = 0.0, mean_z = 0.0, mean_cba = 0.0;
};

// What a solver has to say while solving one point: trace-file text (Tikhonov L-curve
// of a traced point) and messages for the user (SVD non-convergence). The point loop
// hands them on in point order, so the same bytes reach the files whatever the number
// of threads.
struct SolverNotes {
    std::string trace;
    std::vector<std::string> messages;
    void clear() {
        trace.clear();
        messages.clear();
    }
};

// ---------------------------------------------------------------------------
// The run's link to whoever started it.

class RunMonitor {
public:
    virtual ~RunMonitor() = default;
    virtual void set_progress(int position) = 0;  // 0..10000
    virtual void process_events() = 0;
    virtual bool stop_requested() = 0;
    virtual void clear_stop() = 0;
    virtual void show_message(const std::string& text) = 0;
    virtual bool ask_yes_no(const std::string& text, const std::string& caption) = 0;
    virtual void clear_previews() = 0;
    virtual void preview_ready(int slot) = 0;  // slot 1, 2 or 3 has been gridded
};

// Everything a run leaves behind: the points, the index and whether results are ready.
struct RunState {
    PointData points;
    ClusterIndex index;
    bool results_ready = false;
};

// Grids preview `slot` (1, 2, 3) from the run state; supplied by the preview code so
// that the engine does not depend on it.
enum class GridOutcome { Done, Cancelled, Failed };
class PreviewGridder {
public:
    virtual ~PreviewGridder() = default;
    virtual GridOutcome grid_preview(int slot, const RunSettings& settings,
                                     const RunState& state, RunMonitor& monitor) = 0;
};
