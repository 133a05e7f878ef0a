// Fuzzes a whole run over a small survey: the point reader, the cluster index, the
// neighbour search, every trend model, centring and solver, and the result file. The
// first byte picks the model and the method, the second the search and the centring;
// the rest is the point file. The radius is laid out from the points read, so that the
// cell table stays small whatever the coordinates.

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

#include "engine/points/point_reader.h"
#include "engine/run/run_calculation.h"
#include "engine/run/run_checks.h"
#include "engine/run/run_state.h"
#include "fuzz/fuzz_checks.h"
#include "fuzz/fuzz_file.h"
#include "fuzz/quiet_monitor.h"

namespace {

// Answers Yes to every failed point, so that every point of every pass is fitted.
struct YesMonitor : QuietMonitor {
    bool ask_yes_no(const Question&) override { return true; }
};

std::size_t field_count(const std::string& line) {
    std::istringstream fields(line);
    std::size_t count = 0;
    for (std::string field; fields >> field;) ++count;
    return count;
}

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

RunSettings settings_from(std::uint8_t model, std::uint8_t search) {
    RunSettings s;
    s.tendency = static_cast<Tendency>(model % 5);
    s.solver = static_cast<SolverKind>((model / 5) % 3);
    s.sv_threshold = (model & 0x80) ? 0.5 : -1.0;
    s.min_alpha = 1e-4;  // a short L-curve keeps each input fast
    s.max_alpha = 1e4;
    s.sequence_quotient = 10.0;
    s.search_mode = (search & 1) ? SearchMode::NNearest : SearchMode::Radius;
    s.nearest_count = 1 + ((search >> 1) & 7);
    s.centering_x = static_cast<CenteringMode>(((search >> 4) & 3) % 3);
    s.centering_y = s.centering_x;
    s.centering_z = static_cast<CenteringMode>(((search >> 6) & 3) % 3);
    s.centering_cba = s.centering_z;
    s.include_calc_point = (model & 0x40) != 0;
    s.iterations = (search >> 3) & 1;
    return s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static FuzzFile input;
    static const std::string output = fuzz_folder() + "/result.dat";
    if (size < 3 || size > 8192) return 0;
    RunSettings s = settings_from(data[0], data[1]);
    s.input_file = input.hold(data + 2, size - 2);
    s.output_file = output;
    s.trace_file = derive_trace_file(s.input_file);

    // A radius of a sixteenth of the extent: at most 160 x 160 cells.
    PointData points;
    QuietMonitor reader;
    if (read_points(s, points, reader) != 0) return 0;
    const PointExtent& e = points.extent;
    const double extent = std::fmax(e.x_max - e.x_min, e.y_max - e.y_min);
    s.search_radius = extent / 16.0 > 1e-3 ? extent / 16.0 : 1.0;
    if (!std::isfinite(s.search_radius)) return 0;
    s.cell_size = 0.1 * s.search_radius;
    s.grid_radius = s.search_radius;
    if (s.search_mode == SearchMode::NNearest &&
        static_cast<std::size_t>(s.nearest_count) > points.count)
        s.nearest_count = static_cast<int>(points.count);

    RunState state;
    YesMonitor monitor;
    const int result = run_calculation(s, state, monitor, nullptr);
    require(result == 0 || result == 1);
    require(state.results_ready == (result == 0));
    // The harness's own folder is always writable: a run that cannot write there would
    // leave every input untested past the reader.
    require(monitor.last_message.rfind("Error by opening output", 0) != 0);
    if (result != 0) return 0;
    // A header of two lines, then at most one row a point, each whole: as many fields as
    // the second line names columns. Values are not judged: a nearly singular fit or
    // coordinates near the limits of a double overflow to inf as the formulas say.
    std::istringstream file(slurp(s.output_file));
    std::string line;
    require(std::getline(file, line) && std::getline(file, line));
    const std::size_t columns = field_count(line);
    std::size_t rows = 0;
    while (std::getline(file, line)) {
        require(field_count(line) == columns);
        ++rows;
    }
    require(rows <= points.count);
    return 0;
}
