#include "engine/points/result_loader.h"

#include <array>
#include <cerrno>
#include <cstdio>
#include <new>
#include <stdexcept>
#include <string_view>
#include <vector>

#include "engine/fit/trend_model.h"
#include "engine/search/cluster_index.h"
#include "engine/points/number_text.h"
#include "engine/points/point_reader.h"
#include "engine/points/text_lines.h"
#include "engine/run/run_state.h"

namespace {

constexpr std::size_t MIN_ROW_TOKENS = 10;
constexpr std::size_t MAX_ROW_TOKENS = 99;
constexpr std::size_t LONGEST_HEADER = 65536;

constexpr const char* NO_VALID_DATA = "Calculated file contains no valid xyz data";
constexpr const char* NO_MEMORY = "Error by allocating memory for calculated data";
constexpr const char* CHANGED_WHILE_READING = "Calculated file changed while reading";
constexpr const char* RADIUS_NEEDED =
    "The calculated file holds no search radius (N nearest run or radius 0). "
    "Enter a search radius greater than 0 and load the file again.";

// Tokens at blanks up to the line end; runs of blanks are one separator.
std::vector<std::string_view> blank_tokens(const std::string& line) {
    std::vector<std::string_view> tokens;
    for_each_token(line, [&tokens](std::string_view token) { tokens.push_back(token); });
    return tokens;
}

// The header is read whole: a long input path in it must not cut the line short (the
// rest of it would fail the numeric test as a data line anyway).
bool read_header_line(std::FILE* file, std::string& line) {
    line.clear();
    std::string piece;
    while (line.size() < LONGEST_HEADER && read_text_line(file, piece)) {
        line += piece;
        if (!line.empty() && (line.back() == '\n' || line.back() == '\r')) break;
    }
    return !line.empty();
}

struct ResultRow {
    std::array<double, MAX_ROW_TOKENS> value{};
    std::size_t tokens = 0;
};

// A data line: 10 or more tokens after the line filter, the first 99 of them numbers.
bool parse_result_row(std::string& line, char decimal_separator, ResultRow& row) {
    if (!accept_line(line, decimal_separator)) return false;
    const std::vector<std::string_view> tokens = blank_tokens(line);
    if (tokens.size() < MIN_ROW_TOKENS) return false;
    row.tokens = tokens.size() < MAX_ROW_TOKENS ? tokens.size() : MAX_ROW_TOKENS;
    for (std::size_t t = 0; t < row.tokens; ++t) {
        const std::optional<double> v = parse_double(tokens[t], decimal_separator);
        if (!v) return false;
        row.value[t] = *v;
    }
    return true;
}

// Puts a row where a run of its tendency keeps the same values: x, y, height, CBA at
// 0 to 3, the quantities by the token count; the point number and the neighbour count
// (the last token) are not kept. A row that shows no tendency (10 or 11 tokens) fills
// the result positions in order.
void fill_work(const ResultRow& row, std::optional<Tendency> tendency, WorkPoint& w) {
    w = WorkPoint{};
    w.value[work::x] = row.value[0];
    w.value[work::y] = row.value[1];
    w.value[work::height] = row.value[3];
    w.value[work::cba] = row.value[4];
    const std::size_t quantities = row.tokens - 6;
    for (std::size_t q = 0; q < quantities; ++q) {
        int position = work::hggax + static_cast<int>(q);
        if (tendency) {
            const TrendModel& model = trend_model(*tendency);
            // A row longer than the model's keeps only the model's values.
            if (q >= model.printed.size()) break;
            position = model.stored_position(model.printed[q]);
        }
        w.value[position] = row.value[5 + q];
    }
}

// The next data line of the file, or false at its end.
bool next_row(std::FILE* file, char decimal_separator, std::string& line, ResultRow& row) {
    while (read_text_line(file, line)) {
        if (parse_result_row(line, decimal_separator, row)) return true;
    }
    return false;
}

ResultLoad fail_empty(ResultLoad load, RunState& state, RunMonitor& monitor,
                      const char* message) {
    state.points.clear();
    state.row_neighbours.clear();
    state.index.clear();
    state.results_ready = false;
    if (message) monitor.show_message(message);
    load.outcome = LoadOutcome::NoData;
    return load;
}

// The fields follow the input file's name, which may hold blanks (and so any number of
// tokens): they are found by their labels, counting back from the last "Tendencies:".
std::optional<ResultHeader> labelled_header(const std::vector<std::string_view>& tokens) {
    for (std::size_t t = tokens.size(); t-- > 7;) {
        if (tokens[t] != "Tendencies:") continue;
        if (tokens[t - 2] != "Object:" || tokens[t - 4] != "Iter:") return std::nullopt;
        ResultHeader header;
        header.object_text = tokens[t - 1];
        header.iterations_text = tokens[t - 3];
        if (tokens[t - 6] == "Radius:") {
            header.radius_text = tokens[t - 5];
            return header;
        }
        if (t >= 8 && tokens[t - 6] == "nearest:" && tokens[t - 7] == "N") {
            header.nearest = true;
            header.nearest_count_text = tokens[t - 5];
            return header;
        }
        return std::nullopt;
    }
    return std::nullopt;
}

}  // namespace

std::optional<ResultHeader> parse_result_header(const std::string& line) {
    const std::vector<std::string_view> tokens = blank_tokens(line);
    if (tokens.size() <= 10 || tokens[0] != "Map:") return std::nullopt;
    if (std::optional<ResultHeader> labelled = labelled_header(tokens)) return labelled;
    // Without its labels the line is read by position, as the file format places them.
    ResultHeader header;
    header.nearest = tokens[2] == "N" && tokens[3] == "nearest:";
    if (header.nearest) {
        header.nearest_count_text = tokens[4];
        header.iterations_text = tokens[6];
        header.object_text = tokens[8];
    } else {
        header.radius_text = tokens[3];
        header.iterations_text = tokens[5];
        header.object_text = tokens[7];
    }
    return header;
}

ResultLoad load_result_file(const ResultLoadOptions& options, RunState& state,
                            RunMonitor& monitor) {
    ResultLoad load;
    TextFile file = open_text_file(options.path);
    if (!file) {
        monitor.show_message(cannot_open_message(options.path, errno));
        return load;
    }
    std::string line;
    if (!read_header_line(file.get(), line)) {
        // A folder opens but cannot be read: as good as a file that does not open.
        if (std::ferror(file.get())) monitor.show_message(cannot_open_message(options.path, errno));
        return load;
    }
    std::optional<ResultHeader> header = parse_result_header(line);
    if (!header) return load;

    // A radius run's header texts reach the window even when its radius is no number.
    double radius = 0.0;
    if (!header->nearest) {
        load.header = header;
        const std::optional<double> stated = parse_double(header->radius_text, options.decimal_separator);
        if (!stated) return load;
        radius = *stated;
    }
    if (!(radius > 1e-6)) {
        // No usable radius in the file: the one the user typed serves, and it stays
        // in txt_radius; without one nothing is changed.
        if (!(options.nearest_radius > 1e-6)) {
            load.header.reset();
            load.radius_needed = true;
            monitor.show_message(RADIUS_NEEDED);
            return load;
        }
        radius = options.nearest_radius;
        header->radius_text.clear();
        load.header = header;
    }
    load.search_radius = radius;
    load.grid_radius = radius;
    load.cell_size = 0.1 * radius;
    if (header->object_text == "RGA") load.iteration_object = 0;
    if (header->object_text == "LGA") load.iteration_object = 1;

    // From here on the previous points are gone.
    state.points.clear();
    state.row_neighbours.clear();
    state.index.clear();
    state.results_ready = false;

    const char separator = options.decimal_separator;
    ResultRow row;
    std::size_t count = 0;
    while (next_row(file.get(), separator, line, row)) ++count;
    if (std::ferror(file.get())) {
        const std::string message = cannot_open_message(options.path, errno);
        return fail_empty(load, state, monitor, message.c_str());
    }
    if (count == 0) return fail_empty(load, state, monitor, NO_VALID_DATA);

    PointData fresh;
    HugePageVector<double> neighbours;
    try {
        fresh.survey.resize(count + 1);
        fresh.work.resize(count + 1);
        neighbours.resize(count);
    } catch (const std::bad_alloc&) {
        return fail_empty(load, state, monitor, NO_MEMORY);
    } catch (const std::length_error&) {
        return fail_empty(load, state, monitor, NO_MEMORY);
    }

    std::rewind(file.get());
    read_header_line(file.get(), line);
    Tendency detected = Tendency::Linear3x3;
    PointExtent& e = fresh.extent;
    e.x_min = e.y_min = e.height_min = 1.1e38;
    e.x_max = e.y_max = e.height_max = -1.1e38;
    std::size_t k = 0;
    while (next_row(file.get(), separator, line, row)) {
        if (k == count) return fail_empty(load, state, monitor, CHANGED_WHILE_READING);
        const std::optional<Tendency> tendency = tendency_of_columns(row.tokens);
        if (tendency) detected = *tendency;
        const double x = row.value[0], y = row.value[1], h = row.value[3];
        if (x < e.x_min) e.x_min = x;
        if (x > e.x_max) e.x_max = x;
        if (y < e.y_min) e.y_min = y;
        if (y > e.y_max) e.y_max = y;
        if (h < e.height_min) e.height_min = h;
        if (h > e.height_max) e.height_max = h;
        fresh.survey[k] = SurveyPoint{row.value[2], row.value[4], 0.0};
        fill_work(row, tendency, fresh.work[k]);
        neighbours[k] = row.value[row.tokens - 1];
        ++k;
    }
    if (std::ferror(file.get()) || k != count)
        return fail_empty(load, state, monitor, CHANGED_WHILE_READING);
    file.reset();
    fresh.count = count;

    state.points = std::move(fresh);
    state.row_neighbours = std::move(neighbours);
    if (build_cluster_index(load.cell_size, state.points, state.index, monitor) != 0)
        return fail_empty(load, state, monitor, nullptr);
    state.results_ready = true;
    load.tendency = detected;
    load.outcome = LoadOutcome::Loaded;
    return load;
}
