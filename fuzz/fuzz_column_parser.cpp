// Fuzzes the column parser and the number texts under it: parse_columns on unfiltered
// lines with columns from the input, parse_double and parse_int on every token, and the
// general format read back.

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "engine/points/number_text.h"
#include "engine/points/point_reader.h"
#include "fuzz/fuzz_checks.h"

namespace {

void check_token(std::string_view token, char separator) {
    const std::optional<double> real = parse_double(token, separator);
    if (real) {
        require(std::isfinite(*real));
        // What the window shows of a number must read back as a number.
        const std::optional<double> again = parse_double(format_general(*real, separator), separator);
        require(again.has_value());
        require(*again == *real || std::fabs(*again - *real) <= 1e-14 * std::fabs(*real));
    }
    if (const std::optional<int> whole = parse_int(token)) {
        const std::optional<double> same = parse_double(token, separator);
        require(same && *same == static_cast<double>(*whole));
    }
}

void check_tokens(const std::string& line, char separator) {
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && line[i] == ' ') ++i;
        const std::size_t start = i;
        while (i < line.size() && line[i] != ' ') ++i;
        if (i > start) check_token(std::string_view(line).substr(start, i - start), separator);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    RunSettings settings;
    settings.decimal_separator = (data[0] & 1) ? ',' : '.';
    int* columns[5] = {&settings.column_x, &settings.column_y, &settings.column_point,
                       &settings.column_height, &settings.column_cba};
    // The first byte's upper bits pick default or scattered columns.
    if (data[0] & 2) {
        for (int c = 0; c < 5; ++c)
            *columns[c] = static_cast<int>((data[0] >> 2) * (c + 1) + c) % 26;
    }
    const std::string line(reinterpret_cast<const char*>(data) + 1, size - 1);
    ColumnValues v;
    if (parse_columns(line, settings, v)) {
        require(std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.point_number) &&
                std::isfinite(v.height) && std::isfinite(v.cba));
    }
    check_tokens(line, settings.decimal_separator);
    return 0;
}
