#pragma once
// Compares a written result or trace file with an expected one as the reference cases
// ask: header lines letter for letter, the same rows in the same order, whole-number
// fields equal, other fields within one unit of their last printed digit.

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

inline std::vector<std::string> read_lines(const std::string& path) {
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

inline std::vector<std::string> tokens_of(const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> tokens;
    for (std::string t; in >> t;) tokens.push_back(t);
    return tokens;
}

// Empty when the two tokens agree; otherwise what differs.
inline std::string compare_token(const std::string& got, const std::string& want) {
    char* end = nullptr;
    const double w = std::strtod(want.c_str(), &end);
    if (end == want.c_str() || *end != '\0' || want.find('.') == std::string::npos)
        return got == want ? "" : "'" + got + "' instead of '" + want + "'";
    const std::size_t decimals = want.size() - want.find('.') - 1;
    const double unit = std::pow(10.0, -static_cast<double>(decimals));
    char* got_end = nullptr;
    const double g = std::strtod(got.c_str(), &got_end);
    if (got_end == got.c_str() || *got_end != '\0' || !(std::fabs(g - w) <= unit * 1.000001))
        return "'" + got + "' instead of '" + want + "'";
    return "";
}

// Every difference, one a line; empty when the files agree. header_lines are compared
// letter for letter.
inline std::string compare_files(const std::string& got_path, const std::string& want_path,
                                 std::size_t header_lines) {
    const std::vector<std::string> got = read_lines(got_path), want = read_lines(want_path);
    std::string report;
    if (got.size() != want.size())
        report += "line count " + std::to_string(got.size()) + " instead of " +
                  std::to_string(want.size()) + "\n";
    for (std::size_t i = 0; i < got.size() && i < want.size(); ++i) {
        if (i < header_lines) {
            if (got[i] != want[i]) report += "line " + std::to_string(i + 1) + ": '" + got[i] +
                                             "' instead of '" + want[i] + "'\n";
            continue;
        }
        const std::vector<std::string> g = tokens_of(got[i]), w = tokens_of(want[i]);
        if (g.size() != w.size()) {
            report += "line " + std::to_string(i + 1) + ": field count differs\n";
            continue;
        }
        for (std::size_t k = 0; k < g.size(); ++k) {
            const std::string diff = compare_token(g[k], w[k]);
            if (!diff.empty())
                report += "line " + std::to_string(i + 1) + " field " + std::to_string(k + 1) +
                          ": " + diff + "\n";
        }
    }
    return report;
}
