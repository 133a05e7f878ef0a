#include "engine/points/point_reader.h"

#include <sys/stat.h>
#include <sys/types.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <new>
#include <stdexcept>
#include <string_view>
#include <thread>
#include <vector>

#include "engine/memory/huge_page_allocator.h"
#include "engine/points/number_text.h"
#include "engine/points/text_line_reader.h"
#include "engine/points/text_lines.h"
#include "engine/run/split_work.h"

namespace {

bool is_control(char c) { return static_cast<unsigned char>(c) < 32; }

// The numeric test: only what can make up a number, the separator in force included,
// may stand before the line end; the last character is never examined.
bool looks_numeric(const std::string& line, char decimal_separator) {
    for (std::size_t i = 0; i + 1 < line.size(); ++i) {
        const char c = line[i];
        if (c == '\0' || c == '\n' || c == '\r') return true;
        const bool passes = (c >= '0' && c <= '9') || c == ':' || c == ' ' || c == '+' ||
                            c == '-' || c == 'e' || c == 'E' || c == decimal_separator;
        if (!passes) return false;
    }
    return true;
}

// The tokens a parse needs: the line is split at spaces up to its line end, counting
// every token but keeping only those at the wanted positions, so that no line costs a
// heap allocation.
struct WantedTokens {
    const int* positions;  // the five column indices
    std::string_view found[5];
    std::size_t count = 0;  // tokens on the line
};

void split_tokens(std::string_view line, WantedTokens& tokens) {
    for_each_token(line, [&tokens](std::string_view token) {
        for (int w = 0; w < 5; ++w) {
            if (static_cast<std::size_t>(tokens.positions[w]) == tokens.count)
                tokens.found[w] = token;
        }
        ++tokens.count;
    });
}

struct RawExtent {
    double x_min = 1e38, x_max = -1e38;
    double y_min = 1e38, y_max = -1e38;
    double height_min = 1e38, height_max = -1e38;

    void take(const ColumnValues& v) {
        join(RawExtent{v.x, v.x, v.y, v.y, v.height, v.height});
    }
    // Takes the extent of the points after those taken so far: the same as taking them
    // one by one (strict comparisons keep the first of equal values, -0 or +0).
    void join(const RawExtent& later) {
        if (later.x_min < x_min) x_min = later.x_min;
        if (later.x_max > x_max) x_max = later.x_max;
        if (later.y_min < y_min) y_min = later.y_min;
        if (later.y_max > y_max) y_max = later.y_max;
        if (later.height_min < height_min) height_min = later.height_min;
        if (later.height_max > height_max) height_max = later.height_max;
    }
    bool holds(const ColumnValues& v) const {
        return v.x >= x_min && v.x <= x_max && v.y >= y_min && v.y <= y_max &&
               v.height >= height_min && v.height <= height_max;
    }
};

// The values of the lines pass 1 accepted, in file order, so that pass 2 stores them
// without reading the text again: parsing the numbers is most of a pass. Kept for
// regular files (a pipe, which gives its lines once, is read twice as before); dropped,
// and the text read again, when there is no memory for them.
class KeptValues {
public:
    // Keeps the values of the lines in `bytes` of text. Room for all of them is reserved
    // at once, so that no line copies those before it: a line the parser takes has five
    // tokens between four spaces, nine bytes at least. Pages are only used as filled.
    void keep_for(std::uint64_t bytes) {
        try {
            values_.reserve(static_cast<std::size_t>(bytes / 9 + 1));
            kept_ = true;
        } catch (const std::bad_alloc&) {
            drop();
        } catch (const std::length_error&) {
            drop();
        }
    }
    // Beyond the room reserved only if the file grew meanwhile.
    void take(const ColumnValues& v) {
        if (!kept_) return;
        try {
            values_.push_back(v);
        } catch (const std::bad_alloc&) {
            drop();
        }
    }
    bool kept() const { return kept_; }
    const ColumnValues& operator[](std::size_t k) const { return values_[k]; }
    std::size_t size() const { return values_.size(); }
    void drop() {
        release_storage(values_);
        kept_ = false;
    }

private:
    HugePageVector<ColumnValues> values_;
    bool kept_ = false;
};

// The next line of the file that passes the filter and the column parser.
bool next_point_line(TextLineReader& reader, const RunSettings& settings, std::string& line,
                     ColumnValues& values) {
    std::string_view piece;
    while (reader.next(piece)) {
        if (plain_number_line(piece, settings.decimal_separator)) {
            if (parse_columns(piece, settings, values)) return true;
            continue;
        }
        line.assign(piece);
        if (accept_line(line, settings.decimal_separator) && parse_columns(line, settings, values))
            return true;
    }
    return false;
}

// Negative coordinates are shifted by the smallest one so that every stored coordinate
// is 0 or more; the result file subtracts the offset again.
PointExtent shifted_extent(const RawExtent& raw) {
    PointExtent e;
    e.x_min = raw.x_min;
    e.x_max = raw.x_max;
    e.y_min = raw.y_min;
    e.y_max = raw.y_max;
    e.height_min = raw.height_min;
    e.height_max = raw.height_max;
    if (e.x_min < 0.0) {
        e.x_offset = std::fabs(e.x_min);
        e.x_min = 0.0;
        e.x_max += e.x_offset;
    }
    if (e.y_min < 0.0) {
        e.y_offset = std::fabs(e.y_min);
        e.y_min = 0.0;
        e.y_max += e.y_offset;
    }
    return e;
}

void store_point(const ColumnValues& values, const PointExtent& extent, PointData& points,
                 std::size_t k) {
    const double x = values.x + extent.x_offset;
    const double y = values.y + extent.y_offset;
    points.survey[k] = SurveyPoint{values.point_number, values.cba, 0.0};
    WorkPoint& w = points.work[k];
    w = WorkPoint{};
    w.value[work::x] = x;
    w.value[work::y] = y;
    w.value[work::height] = values.height;
    w.value[work::cba] = values.cba;
}

int fail(RunMonitor& monitor, PointData& points, const std::string& message) {
    points.clear();
    monitor.show_message(message);
    return 1;
}

constexpr const char* CHANGED_WHILE_READING = "Input file changed while reading";

// Files below this size are read by one thread: starting more costs more than it saves.
constexpr std::uint64_t PARALLEL_READING_BYTES = std::uint64_t{4} << 20;

// One part of the point file, read by a thread of its own: pass 1 counts its points,
// takes their extent and keeps their values, pass 2 stores them from `first_point` on.
struct FilePart {
    TextFile file;
    std::uint64_t begin = 0, end = 0;
    std::size_t count = 0;
    RawExtent raw;
    bool failed = false;   // pass 1: the file could not be read
    bool changed = false;  // pass 2, reading the text again: not the points of pass 1
    std::size_t first_point = 0;
    KeptValues kept;
};

// The part boundaries: from even splits of the file, each moved to just after the next
// line feed, where reading the whole file would start a line too. A split without a
// line feed after it is dropped. Empty when the file cannot be split.
std::vector<std::uint64_t> part_starts(std::FILE* file, std::uint64_t size, unsigned parts) {
    std::vector<std::uint64_t> starts{0};
    for (unsigned k = 1; k < parts; ++k) {
        const std::uint64_t split = size * k / parts;
        if (split <= starts.back()) continue;
        if (::fseeko(file, static_cast<off_t>(split), SEEK_SET) != 0) return {};
        std::uint64_t position = split;
        int c = 0;
        while ((c = std::getc(file)) != EOF && c != '\n') ++position;
        if (c == EOF) break;
        if (position + 1 < size) starts.push_back(position + 1);
    }
    return starts;
}

void count_part(const RunSettings& settings, std::uint64_t file_size, FilePart& part) {
    part.kept.keep_for(file_size > part.begin ? std::min(part.end, file_size) - part.begin : 0);
    TextLineReader reader(part.file.get(), part.begin, part.end);
    std::string line;
    ColumnValues values;
    while (next_point_line(reader, settings, line, values)) {
        ++part.count;
        part.raw.take(values);
        part.kept.take(values);
    }
    part.failed = reader.failed();
}

// Stores the points pass 1 kept, from record `first` on.
void store_kept(const KeptValues& kept, const PointExtent& extent, PointData& points,
                std::size_t first) {
    for (std::size_t k = 0; k < kept.size(); ++k) store_point(kept[k], extent, points, first + k);
}

void store_part(const RunSettings& settings, const RawExtent& raw, const PointExtent& extent,
                PointData& points, FilePart& part) {
    if (part.kept.kept()) {
        store_kept(part.kept, extent, points, part.first_point);
        part.kept.drop();
        return;
    }
    TextLineReader reader(part.file.get(), part.begin, part.end);
    reader.rewind();  // pass 1 left the handle at the end of the part
    std::string line;
    ColumnValues values;
    std::size_t k = 0;
    while (next_point_line(reader, settings, line, values)) {
        if (k == part.count || !raw.holds(values)) {
            part.changed = true;
            return;
        }
        store_point(values, extent, points, part.first_point + k);
        ++k;
    }
    part.changed = reader.failed() || k != part.count;
}

// Runs work(part) for every part, each on a thread of its own (the first on the calling
// thread); see split_work.
template <class Work>
void for_each_part(std::vector<FilePart>& parts, Work&& work) {
    split_work(parts.size(), static_cast<unsigned>(parts.size()),
               [&](std::size_t begin, std::size_t end) {
                   for (std::size_t p = begin; p < end; ++p) work(parts[p]);
               });
}

// The parts a regular file of some size is read in, each with a handle of its own;
// empty when it is read as one (a pipe, a small file, one thread).
std::vector<FilePart> file_parts(const RunSettings& settings, std::FILE* file) {
    const unsigned threads = settings.threads == 0
                                 ? std::max(1u, std::thread::hardware_concurrency())
                                 : settings.threads;
    struct stat status {};
    if (threads < 2 || ::fstat(::fileno(file), &status) != 0 || !S_ISREG(status.st_mode) ||
        static_cast<std::uint64_t>(status.st_size) < PARALLEL_READING_BYTES)
        return {};
    const auto size = static_cast<std::uint64_t>(status.st_size);
    const std::vector<std::uint64_t> starts = part_starts(file, size, threads);
    std::rewind(file);
    if (starts.size() < 2) return {};
    std::vector<FilePart> parts(starts.size());
    for (std::size_t p = 0; p < parts.size(); ++p) {
        parts[p].file = open_text_file(settings.input_file);
        if (!parts[p].file) return {};
        parts[p].begin = starts[p];
        // The last part reads to the end, wherever that is by then.
        parts[p].end = p + 1 < parts.size() ? starts[p + 1] : UINT64_MAX;
    }
    return parts;
}

}  // namespace

bool plain_number_line(std::string_view line, char decimal_separator) {
    if (line.empty() || is_control(line[0]) || (decimal_separator != '.' && decimal_separator != ','))
        return false;
    for (const char c : line) {
        const bool plain = (c >= '0' && c <= '9') || c == ' ' || c == '-' || c == '+' ||
                           c == decimal_separator || c == '\r' || c == '\n';
        if (!plain) return false;
    }
    return true;
}

bool accept_line(std::string& line, char decimal_separator) {
    if (line.empty() || line[0] == '/') return false;
    // The quote and the first letter of "LINE" are noted on the way, so that a number
    // line is not searched twice more.
    bool quote = false;
    bool letter_l = false;
    for (char& c : line) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        if ((c == ',' && decimal_separator != ',') || c == '\t' || c == '\b') c = ' ';
        quote |= c == '"';
        letter_l |= c == 'L';
    }
    if (line[0] == '/' || is_control(line[0])) return false;
    // Upper-casing has turned every "Line" label, whatever its case, into "LINE".
    if (quote || (letter_l && line.find("LINE") != std::string::npos)) return false;
    return looks_numeric(line, decimal_separator);
}

bool parse_columns(std::string_view line, const RunSettings& settings, ColumnValues& out) {
    const int columns[5] = {settings.column_x, settings.column_y, settings.column_point,
                            settings.column_height, settings.column_cba};
    WantedTokens tokens{columns, {}, 0};
    split_tokens(line, tokens);
    if (tokens.count < 5) return false;
    for (int column : columns) {
        if (column < 0 || static_cast<std::size_t>(column) > tokens.count - 1) return false;
    }
    out = ColumnValues{};
    double* targets[5] = {&out.x, &out.y, &out.point_number, &out.height, &out.cba};
    for (int f = 0; f < 5; ++f) {
        const auto value = parse_double(tokens.found[f], settings.decimal_separator);
        if (!value) return false;
        *targets[f] = *value;
    }
    return true;
}

namespace {

// read_points without its memory failures, which it reports as one.
int read_in_two_passes(const RunSettings& settings, PointData& points, RunMonitor& monitor) {
    points.clear();
    TextFile file = open_text_file(settings.input_file);
    if (!file) return fail(monitor, points, cannot_open_message(settings.input_file, errno));

    // A large file is read in parts by several threads; the parts' counts and extents
    // are joined in file order, which gives the counts and extent of one reading.
    std::vector<FilePart> parts = file_parts(settings, file.get());
    TextLineReader reader(file.get());
    std::string line;
    ColumnValues values;
    std::size_t count = 0;
    RawExtent raw;
    bool failed = false;
    KeptValues kept;
    struct stat status {};
    const bool regular = ::fstat(::fileno(file.get()), &status) == 0 && S_ISREG(status.st_mode);
    const auto file_size = regular ? static_cast<std::uint64_t>(status.st_size) : 0;
    if (parts.empty()) {
        if (regular) kept.keep_for(file_size);
        while (next_point_line(reader, settings, line, values)) {
            ++count;
            raw.take(values);
            kept.take(values);
        }
        failed = reader.failed();
    } else {
        for_each_part(parts, [&](FilePart& part) { count_part(settings, file_size, part); });
        for (FilePart& part : parts) {
            part.first_point = count;
            count += part.count;
            raw.join(part.raw);
            failed |= part.failed;
        }
    }
    // A file that opens but cannot be read (a folder, a failing disk) is as good as
    // one that does not open.
    if (failed) {
        const int error = errno != 0 ? errno : EIO;
        return fail(monitor, points, cannot_open_message(settings.input_file, error));
    }
    if (count == 0) {
        std::string message = "Input file contains no valid xyz data";
        // Numbers written with the other decimal separator read as no numbers at all.
        RunSettings other = settings;
        other.decimal_separator = settings.decimal_separator == ',' ? '.' : ',';
        reader.rewind();
        if (next_point_line(reader, other, line, values)) {
            message += "\nThe file's numbers use '";
            message += other.decimal_separator;
            message += "' as decimal separator, this system uses '";
            message += settings.decimal_separator;
            message += "'.";
        }
        return fail(monitor, points, message);
    }

    const PointExtent extent = shifted_extent(raw);
    const auto reserve_arrays = [&] {
        points.survey.reserve(count + 1);
        points.work.reserve(count + 1);
    };
    try {
        reserve_arrays();
    } catch (const std::bad_alloc&) {
        // The kept values hold as much address space as the text could have needed:
        // under a limit that leaves the arrays no room beside them, they give way and
        // the text is read again, as a reading without them always did.
        kept.drop();
        for (FilePart& part : parts) part.kept.drop();
        reserve_arrays();
    }
    if (!parts.empty()) {
        // Each part's thread has the pages of its points zeroed, so that the kernel's
        // zeroing of the arrays runs on all the threads instead of on this one.
        for_each_part(parts, [&](FilePart& part) {
            populate_pages(points.survey.data() + part.first_point,
                           part.count * sizeof(SurveyPoint));
            populate_pages(points.work.data() + part.first_point, part.count * sizeof(WorkPoint));
        });
    }
    points.survey.resize(count + 1);
    points.work.resize(count + 1);

    // The second pass must see the same points: a file replaced or grown in between
    // would otherwise write past the arrays or leave points outside the extent.
    if (!parts.empty()) {
        for_each_part(parts, [&](FilePart& part) { store_part(settings, raw, extent, points, part); });
        for (const FilePart& part : parts)
            if (part.changed) return fail(monitor, points, CHANGED_WHILE_READING);
    } else if (kept.kept() && kept.size() == count) {
        store_kept(kept, extent, points, 0);
        kept.drop();
    } else {
        reader.rewind();
        std::size_t k = 0;
        while (next_point_line(reader, settings, line, values)) {
            if (k == count || !raw.holds(values)) return fail(monitor, points, CHANGED_WHILE_READING);
            store_point(values, extent, points, k);
            ++k;
        }
        if (reader.failed() || k != count) return fail(monitor, points, CHANGED_WHILE_READING);
    }

    points.count = count;
    points.extent = extent;
    return 0;
}

}  // namespace

int read_points(const RunSettings& settings, PointData& points, RunMonitor& monitor) {
    // Memory can run out in the passes too (the parts' threads and buffers), not only
    // for the arrays; to the user each is the arrays' failure.
    try {
        return read_in_two_passes(settings, points, monitor);
    } catch (const std::bad_alloc&) {
    } catch (const std::length_error&) {
    }
    return fail(monitor, points, "Error by allocating memory for data");
}

int read_subset(const RunSettings& settings, PointData& points, RunMonitor& monitor) {
    TextFile file = open_text_file(settings.subset_file);
    if (!file) {
        monitor.show_message("Cannot open subset input data file");
        return 1;
    }
    TextLineReader reader(file.get());
    std::string line;
    ColumnValues values;
    while (next_point_line(reader, settings, line, values)) {
        for (std::size_t p = 0; p < points.count; ++p) {
            if (std::fabs(points.survey[p].point_number - values.point_number) < 1e-6) {
                points.survey[p].trace_flag = 1.0;
                break;
            }
        }
    }
    if (reader.failed()) {
        monitor.show_message("Cannot open subset input data file");
        return 1;
    }
    return 0;
}
