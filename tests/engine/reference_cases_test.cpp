#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "tests/support/fake_monitor.h"
#include "tests/engine/result_compare.h"
#include "engine/run/run_calculation.h"
#include "engine/run/run_checks.h"
#include "engine/run/run_state.h"

namespace fs = std::filesystem;

namespace {

// The flat settings.json of a case: one "key": value a line, no nesting.
std::map<std::string, std::string> read_flat_json(const fs::path& path) {
    std::ifstream in(path);
    std::map<std::string, std::string> values;
    for (std::string line; std::getline(in, line);) {
        const std::size_t key_open = line.find('"');
        const std::size_t key_close = line.find('"', key_open + 1);
        const std::size_t colon = line.find(':', key_close);
        if (key_open == std::string::npos || key_close == std::string::npos ||
            colon == std::string::npos)
            continue;
        std::string value = line.substr(colon + 1);
        while (!value.empty() && (value.back() == ',' || value.back() == ' ' ||
                                  value.back() == '\r'))
            value.pop_back();
        while (!value.empty() && value.front() == ' ') value.erase(0, 1);
        if (value.size() >= 2 && value.front() == '"') value = value.substr(1, value.size() - 2);
        values[line.substr(key_open + 1, key_close - key_open - 1)] = value;
    }
    return values;
}

RunSettings settings_from(const std::map<std::string, std::string>& v) {
    auto number = [&](const char* key) { return std::stod(v.at(key)); };
    auto integer = [&](const char* key) { return std::stoi(v.at(key)); };
    RunSettings s;
    s.input_file = v.at("input_file");
    s.output_file = v.at("output_file");
    s.subset_file = v.at("subset_file");
    s.trace_file = derive_trace_file(s.input_file);
    s.column_x = integer("column_x");
    s.column_y = integer("column_y");
    s.column_point = integer("column_point");
    s.column_height = integer("column_height");
    s.column_cba = integer("column_cba");
    s.search_radius = number("search_radius");
    s.cell_size = 0.1 * s.search_radius;
    s.grid_radius = s.search_radius;
    s.nearest_count = integer("nearest_count");
    s.iterations = integer("iterations");
    s.iteration_object = integer("iteration_object");
    s.alpha = number("alpha");
    s.sv_threshold = number("sv_threshold");
    s.min_alpha = number("min_alpha");
    s.max_alpha = number("max_alpha");
    s.sequence_quotient = number("sequence_quotient");
    s.tendency = static_cast<Tendency>(integer("tendency"));
    s.solver = static_cast<SolverKind>(integer("solver"));
    s.search_mode = static_cast<SearchMode>(integer("search_mode"));
    s.centering_x = static_cast<CenteringMode>(integer("centering_x"));
    s.centering_y = static_cast<CenteringMode>(integer("centering_y"));
    s.centering_z = static_cast<CenteringMode>(integer("centering_z"));
    s.centering_cba = static_cast<CenteringMode>(integer("centering_cba"));
    s.include_calc_point = v.at("include_calc_point") == "true";
    s.decimal_separator = v.at("decimal_separator").at(0);
    return s;
}

class reference_cases : public testing::TestWithParam<const char*> {};

}  // namespace

// Each case runs in a folder of its own, because line 1 of the result file names the
// input file as typed ("survey.dat").
TEST_P(reference_cases, run_writes_the_expected_files) {
    const fs::path source = fs::path(ORVANE_TEST_DATA) / "reference" / GetParam();
    const fs::path folder = fs::temp_directory_path() /
                            ("orvane_reference_" + std::string(GetParam()) + "_" +
                             std::to_string(::getpid()));
    fs::remove_all(folder);
    fs::create_directories(folder);
    for (const char* name : {"survey.dat", "subset.dat"})
        if (fs::exists(source / name)) fs::copy_file(source / name, folder / name);

    const RunSettings settings = settings_from(read_flat_json(source / "settings.json"));
    const fs::path previous = fs::current_path();
    fs::current_path(folder);
    FakeMonitor monitor;
    RunState state;
    const int result = run_calculation(settings, state, monitor, nullptr);
    fs::current_path(previous);

    EXPECT_EQ(result, 0);
    EXPECT_TRUE(monitor.messages.empty()) << monitor.messages.front();
    EXPECT_TRUE(monitor.questions.empty());
    EXPECT_EQ(compare_files(folder / settings.output_file, source / "expected.dat", 2), "");
    if (fs::exists(source / "expected_trace.dat"))
        EXPECT_EQ(compare_files(folder / settings.trace_file, source / "expected_trace.dat", 0),
                  "");
    else
        EXPECT_FALSE(fs::exists(folder / settings.trace_file));
    fs::remove_all(folder);
}

INSTANTIATE_TEST_SUITE_P(all, reference_cases,
                         testing::Values("c01_sphere_l4_svd", "c04_sphere_l3_gj_point",
                                         "c06_sphere_l3_tik_fixed",
                                         "c08_sphere_l6_svd_threshold",
                                         "c11_sphere_q10_svd_iter2"));
