#include "engine/fit/trend_model.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::vector<std::string> words_of(const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> words;
    for (std::string word; in >> word;) words.push_back(word);
    return words;
}

// The quantity a header column or a preview entry names, by the names the result file
// and the window use for them.
Quantity named(const std::string& name) {
    static const std::map<std::string, Quantity> names = {
        {"hggax", Quantity::HGGAX}, {"hggay", Quantity::HGGAY},     {"hgga", Quantity::HGGA},
        {"vgga", Quantity::VGGA},   {"rga", Quantity::RGA},         {"lga", Quantity::LGA},
        {"asig", Quantity::ASIG},   {"tilt_angle", Quantity::TILT}, {"tilt", Quantity::TILT},
        {"a", Quantity::Coeff0},    {"b", Quantity::Coeff1},        {"c", Quantity::Coeff2},
        {"d", Quantity::Coeff3},    {"e", Quantity::Coeff4},        {"f", Quantity::Coeff5},
        {"g", Quantity::Coeff6},    {"k", Quantity::Coeff7},        {"l", Quantity::Coeff8},
        {"q", Quantity::Coeff9}};
    std::string lower;
    for (char c : name) lower += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    if (lower.rfind("coeff_", 0) == 0) {
        return static_cast<Quantity>(static_cast<int>(Quantity::Coeff0) +
                                     std::stoi(lower.substr(6)));
    }
    const auto found = names.find(lower);
    return found == names.end() ? Quantity::Unwritten : found->second;
}

}  // namespace

// The reference results were computed independently of this code: their headers and
// rows are the truth for the texts and column counts of the models they cover.
TEST(trend_model, headers_and_columns_match_the_reference_results) {
    int cases = 0;
    for (const auto& entry : fs::directory_iterator(fs::path(ORVANE_TEST_DATA) / "reference")) {
        if (!entry.is_directory()) continue;
        std::ifstream settings(entry.path() / "settings.json");
        int tendency = -1;
        for (std::string line; std::getline(settings, line);)
            if (line.find("\"tendency\":") != std::string::npos)
                tendency = std::stoi(line.substr(line.find(':') + 1));
        const TrendModel& model = trend_model(tendency_at(tendency).value());

        std::ifstream expected(entry.path() / "expected.dat");
        std::string first, second;
        std::getline(expected, first);
        std::getline(expected, second);
        const std::string closing = std::string("Tendencies: ") + model.caption;
        EXPECT_EQ(first.substr(first.size() - closing.size()), closing) << entry.path();
        EXPECT_EQ(second + "\n", model.column_names) << entry.path();
        for (std::string row; std::getline(expected, row);)
            ASSERT_EQ(static_cast<int>(words_of(row).size()), model.columns()) << row;
        EXPECT_EQ(tendency_of_columns(static_cast<std::size_t>(model.columns())), model.tendency);
        ++cases;
    }
    EXPECT_GE(cases, 4);
}

// Every model's row prints, column by column, the quantity its header names, and the
// header has a name for every column.
TEST(trend_model, printed_values_follow_the_header_names) {
    for (const TrendModel& model : TREND_MODELS) {
        const std::vector<std::string> names = words_of(model.column_names);
        ASSERT_EQ(static_cast<int>(names.size()), model.columns());
        for (std::size_t i = 0; i < model.printed.size(); ++i)
            EXPECT_EQ(named(names[5 + i]), model.printed[i])
                << static_cast<int>(model.tendency) << " column " << names[5 + i];
    }
}

// A preview entry shows the position where the last pass stores what the entry names.
// (The NTE/FAY model shows whatever the lists hold.)
TEST(trend_model, preview_entries_show_the_quantity_they_name) {
    for (const TrendModel& model : TREND_MODELS) {
        if (!model.refills_lists) continue;
        for (const PreviewEntry& entry : model.result_list) {
            const auto slot = static_cast<std::size_t>(entry.position - work::hggax);
            ASSERT_LT(slot, model.stored.size()) << entry.text;
            EXPECT_EQ(model.stored[slot], named(entry.text))
                << static_cast<int>(model.tendency) << " " << entry.text;
        }
    }
}

TEST(trend_model, rows_that_name_no_model) {
    EXPECT_EQ(tendency_of_columns(10), std::nullopt);
    EXPECT_EQ(tendency_of_columns(11), std::nullopt);
    // Rows of the two 3x3 models look alike; a loaded file reads as the plain one.
    EXPECT_EQ(tendency_of_columns(12), Tendency::Linear3x3);
    EXPECT_EQ(tendency_of_columns(15), Tendency::Quadratic10x10);
    EXPECT_EQ(tendency_of_columns(99), Tendency::Quadratic10x10);
    EXPECT_EQ(tendency_at(-1), std::nullopt);
    EXPECT_EQ(tendency_at(5), std::nullopt);
}
