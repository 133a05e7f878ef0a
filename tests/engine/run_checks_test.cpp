#include "engine/run/run_checks.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

struct Expected {
    const char* message;  // null: the check passes
    CheckedField field;
};

void expect_outcome(const std::optional<CheckFailure>& got, const Expected& want,
                    const std::string& what) {
    if (want.message == nullptr) {
        EXPECT_FALSE(got.has_value()) << what << ": " << got->message;
        return;
    }
    ASSERT_TRUE(got.has_value()) << what;
    EXPECT_EQ(got->message, want.message) << what;
    EXPECT_EQ(got->field, want.field) << what;
}

const Expected PASSES{nullptr, {}};
const double inf = std::numeric_limits<double>::infinity();
const double nan = std::numeric_limits<double>::quiet_NaN();

}  // namespace

TEST(run_checks, file_names_in_order) {
    struct Case {
        const char* input;
        const char* output;
        Expected want;
    };
    const Case cases[] = {
        {"", "", {"Input file name is required field.", CheckedField::InputFile}},
        {"", "b.dat", {"Input file name is required field.", CheckedField::InputFile}},
        {"a.dat", "", {"Output file name is required field.", CheckedField::OutputFile}},
        {"a.dat",
         "a.dat",
         {"Input and output file name must not be the same.", CheckedField::OutputFile}},
        {"a.dat", "A.dat", PASSES},
        {"a.dat", "b.dat", PASSES},
    };
    for (const Case& c : cases)
        expect_outcome(check_file_names(c.input, c.output), c.want,
                       std::string(c.input) + "|" + c.output);
}

TEST(run_checks, search_radius_above_one_millionth) {
    const Expected refused{"Search radius must be greater than 0.", CheckedField::SearchRadius};
    const std::pair<double, Expected> cases[] = {
        {0.0, refused}, {1e-6, refused}, {-5.0, refused}, {nan, refused},
        {1.1e-6, PASSES}, {100.0, PASSES},
    };
    for (const auto& [radius, want] : cases)
        expect_outcome(check_search_radius(radius), want, std::to_string(radius));
}

TEST(run_checks, lcurve_sequence_must_end) {
    const Expected min_refused{"Min. reg. par. value must be greater than 0.",
                               CheckedField::MinAlpha};
    const Expected max_refused{"Max. reg. par value must be a finite number.",
                               CheckedField::MaxAlpha};
    const Expected quotient_refused{"Sequence quotient must be greater than 1.",
                                    CheckedField::SequenceQuotient};
    const Expected too_long{
        "Min. reg. par. value, Max. reg. par value and Sequence quotient give more than 100000 "
        "regularization parameters. Increase the Sequence quotient.",
        CheckedField::SequenceQuotient};
    struct Case {
        double min_alpha, max_alpha, quotient;
        Expected want;
    };
    const Case cases[] = {
        {1e-10, 1e10, 2.0, PASSES},
        {0.0, 1e10, 2.0, min_refused},
        {-1.0, 1e10, 2.0, min_refused},
        {nan, 1e10, 2.0, min_refused},
        {1e-10, inf, 2.0, max_refused},
        {1e-10, nan, 2.0, max_refused},
        {1e-10, 1e10, 1.0, quotient_refused},
        {1e-10, 1e10, 0.5, quotient_refused},
        {1e-10, 1e10, inf, quotient_refused},
        {1e10, 1e-10, 2.0, PASSES},  // an empty curve is allowed
        {1.0, 100000.0, 1.0 + 1.0 / 1024, PASSES},  // about 11800 alphas
        {1.0, 1e300, 1.0 + 1.0 / 1024, too_long},
        // with a quotient of 1 + 2^-20 about 727000 alphas lie between 1 and 2
        {1.0, 2.0, 1.0 + 1.0 / 1048576, too_long},
    };
    for (const Case& c : cases) {
        RunSettings s;
        s.solver = SolverKind::Tichonov;
        s.sv_threshold = -1.0;
        s.min_alpha = c.min_alpha;
        s.max_alpha = c.max_alpha;
        s.sequence_quotient = c.quotient;
        expect_outcome(check_run_limits(s), c.want,
                       std::to_string(c.min_alpha) + " " + std::to_string(c.quotient));
        // Without an L-curve the sequence is never formed.
        s.sv_threshold = 0.5;
        expect_outcome(check_run_limits(s), PASSES, "fixed alpha");
        s.sv_threshold = -1.0;
        s.solver = SolverKind::MoorePenrose;
        expect_outcome(check_run_limits(s), PASSES, "SVD");
    }
}

TEST(run_checks, nearest_count_at_least_one_and_at_most_the_points) {
    RunSettings s;
    s.search_mode = SearchMode::NNearest;
    for (int n : {0, -3}) {
        s.nearest_count = n;
        expect_outcome(check_run_limits(s),
                       {"N nearest points must be at least 1.", CheckedField::NearestCount},
                       std::to_string(n));
        expect_outcome(check_nearest_count(s, 5),
                       {"N nearest points must be between 1 and the number of points (5).",
                        CheckedField::NearestCount},
                       std::to_string(n));
    }
    s.nearest_count = 5;
    expect_outcome(check_run_limits(s), PASSES, "5");
    expect_outcome(check_nearest_count(s, 5), PASSES, "5 of 5");
    expect_outcome(check_nearest_count(s, 4),
                   {"N nearest points must be between 1 and the number of points (4).",
                    CheckedField::NearestCount},
                   "5 of 4");
    s.search_mode = SearchMode::Radius;
    s.nearest_count = 0;
    expect_outcome(check_run_limits(s), PASSES, "radius mode");
    expect_outcome(check_nearest_count(s, 4), PASSES, "radius mode");
}

TEST(run_checks, trace_file_replaces_the_extension_of_the_file_name) {
    const std::pair<const char*, const char*> cases[] = {
        {"survey.dat", "survey_trace_out.dat"},
        {"data", "data_trace_out.dat"},
        {"/home/me/surveys.v2/data", "/home/me/surveys.v2/data_trace_out.dat"},
        {"/home/me/surveys.v2/quarry.xyz", "/home/me/surveys.v2/quarry_trace_out.dat"},
        {"C:\\gravity.old\\north", "C:\\gravity.old\\north_trace_out.dat"},
        {"a.b.c", "a.b_trace_out.dat"},
    };
    for (const auto& [input, trace] : cases) EXPECT_EQ(derive_trace_file(input), trace) << input;
}
