#include "engine/solvers/tikhonov.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "tests/engine/solver_oracle.h"
#include "engine/solvers/l_curve.h"
#include "engine/solvers/solver_notes.h"

namespace {

const std::string kHeader =
    "          POINT                      ALFA             LOG10  X-NORM             LOG10  "
    "Y-NORM      ANGLE\n";

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// The regularised solution (A^T A + alpha I)^-1 A^T b, solved independently.
void oracleSolution(const SystemMatrix& a, const SystemVector& b, double alpha, int n,
                    long double x[10]) {
    SystemMatrix normal = {};
    SystemVector right = {};
    for (int i = 0; i < n; ++i) {
        for (int k = 0; k < n; ++k) {
            long double s = i == k ? alpha : 0.0L;
            for (int j = 0; j < n; ++j) s += static_cast<long double>(a[j * 10 + i]) * a[j * 10 + k];
            normal[i * 10 + k] = static_cast<double>(s);
        }
        long double s = 0.0L;
        for (int j = 0; j < n; ++j) s += static_cast<long double>(a[j * 10 + i]) * b[j];
        right[i] = static_cast<double>(s);
    }
    ASSERT_TRUE(solveByPivotingLu(normal, right, n, x));
}

// log10 of the residual and solution norms for one alpha, from the oracle.
void oracleNorms(const SystemMatrix& a, const SystemVector& b, double alpha, int n,
                 long double& x_norm, long double& y_norm) {
    long double x[10];
    oracleSolution(a, b, alpha, n, x);
    long double rr = 0.0L, xx = 0.0L;
    for (int i = 0; i < n; ++i) {
        long double r = -static_cast<long double>(b[i]);
        for (int k = 0; k < n; ++k) r += a[i * 10 + k] * x[k];
        rr += r * r;
        xx += x[i] * x[i];
    }
    x_norm = log10l(sqrtl(rr));
    y_norm = log10l(sqrtl(xx));
}

struct Row {
    double point, alpha, x, y, angle;
};

Row parseRow(const std::string& line) {
    Row r{};
    EXPECT_EQ(std::sscanf(line.c_str(), "%lf %lf %lf %lf %lf", &r.point, &r.alpha, &r.x, &r.y,
                          &r.angle),
              5)
        << line;
    return r;
}

RunSettings lCurveSettings(double min_alpha, double max_alpha, double q) {
    RunSettings s;
    s.sv_threshold = -1.0;
    s.min_alpha = min_alpha;
    s.max_alpha = max_alpha;
    s.sequence_quotient = q;
    return s;
}

// A 3 x 3 system whose L-curve over 1, 2, 4 bends clearly in the middle.
void bentSystem(SystemMatrix& a, SystemVector& b) {
    for (double& e : a) e = 0.0;
    const double rows[3][3] = {{3.0, 1.0, 0.5}, {1.0, 0.4, 0.2}, {0.5, 0.2, 2.0}};
    for (int i = 0; i < 3; ++i)
        for (int k = 0; k < 3; ++k) a[i * 10 + k] = rows[i][k];
    for (double& e : b) e = 0.0;
    b[0] = 1.0;
    b[1] = -2.0;
    b[2] = 0.5;
}

}  // namespace

TEST(tikhonov, fixed_alpha_solves_the_shifted_normal_equations_without_trace) {
    TestValues values(99);
    for (double alpha : {0.0, 0.5}) {
        for (int n : {3, 4, 6, 10}) {
            SystemMatrix a;
            fillRandom(a, n, values);
            for (int i = 0; i < n; ++i) a[i * 10 + i] += 2.0;  // keep A^T A well conditioned
            SystemVector b = {};
            for (int i = 0; i < n; ++i) b[i] = values.next();
            SystemMatrix before;
            for (int i = 0; i < 100; ++i) before[i] = a[i];
            SystemVector rhs;
            for (int i = 0; i < 10; ++i) rhs[i] = b[i];
            RunSettings s;
            s.sv_threshold = alpha;
            SolverNotes notes;
            EXPECT_EQ(solveTikhonov(a, rhs, n, 12.0, true, s, notes), 1);
            long double truth[10];
            oracleSolution(a, b, alpha, n, truth);
            for (int i = 0; i < n; ++i)
                EXPECT_NEAR(rhs[i], static_cast<double>(truth[i]), 1e-12) << alpha << " " << n;
            for (int i = 0; i < 100; ++i) EXPECT_EQ(a[i], before[i]);
            EXPECT_TRUE(notes.trace.empty());
        }
    }
}

TEST(tikhonov, agrees_with_a_pivoting_solution_of_a_normal_system) {
    // With alpha 0 a regular normal matrix gives its plain solution.
    TestValues values(31337);
    SystemMatrix a;
    fillNormalMatrix(a, 10, values);
    SystemVector b = {};
    for (int i = 0; i < 10; ++i) b[i] = values.next() * 100.0;
    long double truth[10];
    ASSERT_TRUE(solveByPivotingLu(a, b, 10, truth));
    SystemVector rhs;
    for (int i = 0; i < 10; ++i) rhs[i] = b[i];
    RunSettings s;
    s.sv_threshold = 0.0;
    SolverNotes notes;
    ASSERT_EQ(solveTikhonov(a, rhs, 10, 1.0, false, s, notes), 1);
    for (int i = 0; i < 10; ++i)
        EXPECT_NEAR(rhs[i], static_cast<double>(truth[i]), 1e-10 * (1.0 + std::fabs(static_cast<double>(truth[i]))));
    EXPECT_LT(residualMax(a, rhs, b, 10), 1e-9L);
}

TEST(tikhonov, fails_when_the_final_inversion_meets_a_zero_pivot) {
    SystemMatrix a = {};  // A^T A = 0, so alpha 0 leaves a zero pivot
    SystemVector rhs = {1.0, 2.0, 3.0};
    RunSettings s;
    s.sv_threshold = 0.0;
    SolverNotes notes;
    EXPECT_EQ(solveTikhonov(a, rhs, 3, 1.0, true, s, notes), 0);
    EXPECT_EQ(rhs[0], SOLVER_FAILED);
}

TEST(tikhonov, inverts_without_pivoting) {
    SystemMatrix m = {}, inverse = {};
    m[0] = 4.0;
    m[1] = 2.0;
    m[10] = 2.0;
    m[11] = 3.0;  // inverse = [[3, -2], [-2, 4]] / 8
    ASSERT_TRUE(invertWithoutPivoting(m, inverse, 2));
    EXPECT_DOUBLE_EQ(inverse[0], 0.375);
    EXPECT_DOUBLE_EQ(inverse[1], -0.25);
    EXPECT_DOUBLE_EQ(inverse[10], -0.25);
    EXPECT_DOUBLE_EQ(inverse[11], 0.5);
    SystemMatrix exchange = {};
    exchange[1] = exchange[10] = 1.0;
    EXPECT_FALSE(invertWithoutPivoting(exchange, inverse, 2));
}

TEST(tikhonov, empty_sequence_chooses_alpha_zero_and_writes_only_the_closing_lines) {
    SystemMatrix a;
    SystemVector b;
    bentSystem(a, b);
    SystemVector rhs, plain;
    for (int i = 0; i < 10; ++i) rhs[i] = plain[i] = b[i];
    SolverNotes notes;
    ASSERT_EQ(solveTikhonov(a, rhs, 3, 7.0, true, lCurveSettings(10.0, 1.0, 2.0), notes), 1);
    EXPECT_EQ(notes.trace,
              "Calculated Regularization parameter for point 7.000000\n"
              "       7.000000            0.000000000000\n\n");
    RunSettings fixed;
    fixed.sv_threshold = 0.0;
    SolverNotes none;
    ASSERT_EQ(solveTikhonov(a, plain, 3, 7.0, true, fixed, none), 1);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(rhs[i], plain[i]);
}

TEST(tikhonov, three_alphas_choose_the_bent_middle_and_trace_the_table) {
    SystemMatrix a;
    SystemVector b;
    bentSystem(a, b);
    long double xs[3], ys[3];
    const double alphas[3] = {1.0, 2.0, 4.0};
    for (int j = 0; j < 3; ++j) oracleNorms(a, b, alphas[j], 3, xs[j], ys[j]);
    const long double d1x = xs[0] - xs[1], d1y = ys[0] - ys[1];
    const long double d2x = xs[2] - xs[1], d2y = ys[2] - ys[1];
    const long double middle = acosl((d1x * d2x + d1y * d2y) /
                                     (sqrtl(d1x * d1x + d1y * d1y) * sqrtl(d2x * d2x + d2y * d2y))) *
                               180.0L / 3.14159265358979323846L;
    ASSERT_GT(middle, 0.01L);
    ASSERT_LT(middle, 179.99L);

    SystemVector rhs;
    for (int i = 0; i < 10; ++i) rhs[i] = b[i];
    SolverNotes notes;
    ASSERT_EQ(solveTikhonov(a, rhs, 3, 15.0, true, lCurveSettings(1.0, 4.0, 2.0), notes), 1);
    long double truth[10];
    oracleSolution(a, b, 2.0, 3, truth);
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(rhs[i], static_cast<double>(truth[i]), 1e-13);

    const std::vector<std::string> lines = linesOf(notes.trace);
    ASSERT_EQ(lines.size(), 8u);
    EXPECT_EQ(lines[0] + "\n", kHeader);
    EXPECT_EQ(lines[1], "L-Curve norms for point 15.000000");
    for (int j = 0; j < 3; ++j) {
        const Row r = parseRow(lines[2 + j]);
        EXPECT_EQ(r.point, 15.0);
        EXPECT_EQ(r.alpha, alphas[j]);
        EXPECT_NEAR(r.x, static_cast<double>(xs[j]), 2e-12);
        EXPECT_NEAR(r.y, static_cast<double>(ys[j]), 2e-12);
    }
    EXPECT_EQ(lines[2].substr(lines[2].size() - 11), "      0.000");
    EXPECT_EQ(lines[4].substr(lines[4].size() - 11), "      0.000");
    EXPECT_NEAR(parseRow(lines[3]).angle, static_cast<double>(middle), 0.0006);
    EXPECT_EQ(lines[5], "Calculated Regularization parameter for point 15.000000");
    EXPECT_EQ(lines[6], "      15.000000            2.000000000000");
    EXPECT_EQ(lines[7], "");
}

TEST(tikhonov, default_sequence_traces_67_rows_only_for_a_traced_point) {
    SystemMatrix a;
    SystemVector b;
    bentSystem(a, b);
    const RunSettings s = lCurveSettings(1e-10, 1e10, 2.0);
    SystemVector traced_rhs, quiet_rhs;
    for (int i = 0; i < 10; ++i) traced_rhs[i] = quiet_rhs[i] = b[i];
    SolverNotes traced, quiet;
    ASSERT_EQ(solveTikhonov(a, traced_rhs, 3, 3.0, true, s, traced), 1);
    ASSERT_EQ(solveTikhonov(a, quiet_rhs, 3, 3.0, false, s, quiet), 1);
    EXPECT_TRUE(quiet.trace.empty());
    for (int i = 0; i < 3; ++i) EXPECT_EQ(traced_rhs[i], quiet_rhs[i]);

    const std::vector<std::string> lines = linesOf(traced.trace);
    ASSERT_EQ(lines.size(), 2u + 67u + 3u);
    EXPECT_EQ(parseRow(lines[2]).alpha, 1e-10);
    double alpha = 1e-10;
    for (int j = 0; j < 66; ++j) alpha *= 2.0;
    EXPECT_NEAR(parseRow(lines[68]).alpha, alpha, 1e-12 * alpha);
    EXPECT_LE(alpha, 1e10);
    EXPECT_GT(alpha * 2.0, 1e10);
}

TEST(tikhonov, trace_follows_the_decimal_separator) {
    SystemMatrix a;
    SystemVector b;
    bentSystem(a, b);
    RunSettings s = lCurveSettings(1.0, 4.0, 2.0);
    s.decimal_separator = ',';
    SolverNotes notes;
    ASSERT_EQ(solveTikhonov(a, b, 3, 15.0, true, s, notes), 1);
    const std::vector<std::string> lines = linesOf(notes.trace);
    ASSERT_EQ(lines.size(), 8u);
    EXPECT_EQ(lines[1], "L-Curve norms for point 15,000000");
    EXPECT_EQ(lines[6], "      15,000000            2,000000000000");
    EXPECT_EQ(lines[2].find('.'), std::string::npos);
}

TEST(tikhonov, corner_is_the_bend_closest_to_a_right_angle) {
    struct Case {
        const char* name;
        std::vector<double> X, Y;
        double expected;  // alphas are 1, 2, 3, ...
    };
    const double inf = std::numeric_limits<double>::infinity();
    const Case cases[] = {
        // Both inner bends are right angles: the smaller alpha wins the tie.
        {"tie goes to the smaller alpha", {0, 0, 1, 1}, {1, 0, 0, -1}, 2.0},
        // 135 degrees at index 1, a right angle at index 2.
        {"later and closer wins", {-1, 0, 1, 1}, {1, 0, 0, -1}, 3.0},
        {"straight line has no candidate", {0, 1, 2, 3}, {0, -1, -2, -3}, 1.0},
        {"two points have no inner bend", {0, 1}, {0, 1}, 1.0},
        {"coinciding neighbour is no candidate", {0, 0, 1}, {1, 1, 1}, 1.0},
        {"zero norm makes NaN angles", {0, 0, -inf, 1}, {1, 0, 0, -1}, 1.0},
    };
    RunSettings s;
    for (const Case& c : cases) {
        std::vector<double> alphas;
        for (std::size_t j = 0; j < c.X.size(); ++j) alphas.push_back(1.0 + static_cast<double>(j));
        SolverNotes notes;
        EXPECT_EQ(chooseAlphaByLCurve(c.X, c.Y, alphas, 1.0, false, s, notes), c.expected)
            << c.name;
        EXPECT_TRUE(notes.trace.empty());
    }
    // The form without the solved alphas counts them from min_alpha.
    RunSettings from_two = lCurveSettings(2.0, 100.0, 3.0);
    SolverNotes notes;
    EXPECT_EQ(chooseAlphaByLCurve({-1, 0, 1, 1}, {1, 0, 0, -1}, 1.0, false, from_two, notes),
              18.0);
}

TEST(tikhonov, rows_pair_with_the_alphas_actually_solved) {
    // A^T A = s^2 [[1, 1], [1, 1]]: for alpha below half a unit in the last place of s^2,
    // s^2 + alpha rounds to s^2 and the second pivot is exactly zero.
    SystemMatrix a = {};
    a[0] = a[1] = 1e8;
    SystemVector b = {1.0, 0.0};
    const RunSettings s = lCurveSettings(0.25, 64.0, 2.0);
    SolverNotes notes;
    ASSERT_EQ(solveTikhonov(a, b, 2, 5.0, true, s, notes), 1);
    std::vector<std::string> lines = linesOf(notes.trace);
    ASSERT_GT(lines.size(), 5u);
    const std::size_t rows = lines.size() - 5;
    const std::vector<double> sequence = regularisationAlphas(s);
    ASSERT_EQ(sequence.size(), 9u);
    ASSERT_LT(rows, sequence.size());  // some alphas failed
    SystemVector rhs = {1.0, 0.0};
    for (std::size_t j = 0; j < rows; ++j) {
        const Row r = parseRow(lines[2 + j]);
        // The printed alpha must be one that solves and gives the printed norms.
        SystemVector x = {};
        ASSERT_TRUE(solveRegularised(a, rhs, r.alpha, 2, x)) << r.alpha;
        EXPECT_EQ(sequence[sequence.size() - rows + j], r.alpha);
        const double y_norm = std::log10(std::sqrt(x[0] * x[0] + x[1] * x[1]));
        EXPECT_NEAR(r.y, y_norm, 1e-11) << r.alpha;
    }
    for (std::size_t j = 0; j < sequence.size() - rows; ++j) {
        SystemVector x = {};
        EXPECT_FALSE(solveRegularised(a, rhs, sequence[j], 2, x)) << sequence[j];
    }
}

TEST(tikhonov, refuses_a_sequence_that_would_not_end) {
    EXPECT_TRUE(regularisationAlphas(lCurveSettings(0.0, 1.0, 2.0)).empty());
    EXPECT_TRUE(regularisationAlphas(lCurveSettings(-1.0, 1.0, 2.0)).empty());
    EXPECT_TRUE(regularisationAlphas(lCurveSettings(1e-3, 1.0, 1.0)).empty());
    EXPECT_TRUE(regularisationAlphas(lCurveSettings(1e-3, 1.0, 0.5)).empty());
    const std::vector<double> capped = regularisationAlphas(lCurveSettings(1e-3, 1e300, 1.0000001));
    EXPECT_EQ(capped.size(), MAX_REGULARISATION_ALPHAS);
    EXPECT_EQ(regularisationAlphas(lCurveSettings(1e-10, 1e10, 2.0)).size(), 67u);

    SystemMatrix a;
    SystemVector b;
    bentSystem(a, b);
    SolverNotes notes;
    ASSERT_EQ(solveTikhonov(a, b, 3, 1.0, true, lCurveSettings(0.0, 1.0, 2.0), notes), 1);
    EXPECT_EQ(linesOf(notes.trace).size(), 3u);  // only the closing lines, alpha 0
}
