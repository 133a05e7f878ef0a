// Fuzzes the point reader: the line filter and column parser on every line of the input,
// then read_points and read_subset over the input as a file, under both decimal
// separators and with columns taken from the input's first bytes.

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "engine/points/point_reader.h"
#include "fuzz/fuzz_checks.h"
#include "fuzz/fuzz_file.h"
#include "fuzz/quiet_monitor.h"

namespace {

void filter_line(std::string line, const RunSettings& settings) {
    if (!accept_line(line, settings.decimal_separator)) return;
    for (char c : line) {
        require(!(c >= 'a' && c <= 'z') && c != '\t' && c != '\b');
        if (settings.decimal_separator != ',') require(c != ',');
    }
    ColumnValues v;
    if (!parse_columns(line, settings, v)) return;
    require(std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.point_number) &&
            std::isfinite(v.height) && std::isfinite(v.cba));
}

void filter_lines(const std::string& text, const RunSettings& settings) {
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        end = end == std::string::npos ? text.size() : end + 1;
        filter_line(text.substr(start, end - start), settings);
        start = end;
    }
}

void read_file(const RunSettings& settings) {
    PointData points;
    QuietMonitor monitor;
    const int result = read_points(settings, points, monitor);
    require(result == 0 || result == 1);
    if (result == 1) {
        require(monitor.messages == 1 && points.count == 0 && points.survey.empty());
        return;
    }
    require(monitor.messages == 0 && points.count >= 1);
    require(points.survey.size() == points.count + 1 && points.work.size() == points.count + 1);
    const PointExtent& e = points.extent;
    for (std::size_t k = 0; k < points.count; ++k) {
        const SurveyPoint& p = points.survey[k];
        const double x = points.x(k), y = points.y(k);
        require(x >= 0.0 && y >= 0.0);
        require(x >= e.x_min && x <= e.x_max && y >= e.y_min && y <= e.y_max);
        require(points.work[k].value[work::cba] == p.cba);
        require(p.trace_flag == 0.0);
    }

    RunSettings subset = settings;
    subset.subset_file = settings.input_file;
    require(read_subset(subset, points, monitor) == 0);
    // Every point's number is in the file, so the first point of each number is marked.
    require(points.survey[0].trace_flag == 1.0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static FuzzFile file;
    const std::string text(reinterpret_cast<const char*>(data), size);

    RunSettings settings;
    settings.input_file = file.hold(data, size);
    for (char separator : {'.', ','}) {
        settings.decimal_separator = separator;
        filter_lines(text, settings);
        read_file(settings);
    }

    // Columns from the first five bytes: any letter A to Z, repeats allowed.
    if (size >= 5) {
        settings.decimal_separator = '.';
        int* columns[5] = {&settings.column_x, &settings.column_y, &settings.column_point,
                           &settings.column_height, &settings.column_cba};
        for (int c = 0; c < 5; ++c) *columns[c] = data[c] % 26;
        filter_lines(text, settings);
        read_file(settings);
    }
    return 0;
}
