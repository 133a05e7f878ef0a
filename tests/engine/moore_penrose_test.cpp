#include "engine/solvers/moore_penrose.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "tests/engine/solver_oracle.h"
#include "engine/solvers/solver_notes.h"
#include "engine/solvers/svd_decomposition.h"

namespace {

void setDiagonal(SystemMatrix& a, std::initializer_list<double> d) {
    for (double& e : a) e = 0.0;
    int i = 0;
    for (double value : d) {
        a[i * 10 + i] = value;
        ++i;
    }
}

struct DiagonalCase {
    const char* name;
    double diagonal[3];
    double rhs[3];
    double threshold;
    double expected[3];
};

}  // namespace

TEST(moore_penrose, hypotenuse_and_sign_of_small_cases) {
    EXPECT_EQ(hypotenuse(3.0, 4.0), 5.0);
    EXPECT_EQ(hypotenuse(4.0, 3.0), 5.0);
    EXPECT_EQ(hypotenuse(-3.0, 4.0), 5.0);
    EXPECT_EQ(hypotenuse(0.0, 0.0), 0.0);
    EXPECT_EQ(hypotenuse(0.0, 5.0), 5.0);
    EXPECT_EQ(hypotenuse(5.0, 0.0), 5.0);
    // No destructive overflow or underflow where squaring would lose the result.
    EXPECT_DOUBLE_EQ(hypotenuse(3e200, 4e200), 5e200);
    EXPECT_DOUBLE_EQ(hypotenuse(3e-200, 4e-200), 5e-200);
    EXPECT_EQ(signOf(-2.0, 0.0), 2.0);
    EXPECT_EQ(signOf(2.0, -0.5), -2.0);
    EXPECT_EQ(signOf(-2.0, 3.0), 2.0);
    EXPECT_EQ(signOf(2.0, -0.0), 2.0);  // -0.0 >= 0
}

TEST(moore_penrose, solves_and_cuts_diagonal_systems) {
    const DiagonalCase cases[] = {
        {"plain", {2, 3, 4}, {2, 3, 4}, -1.0, {1, 1, 1}},
        {"small value cut", {2, 0.25, 4}, {2, 1, 4}, 0.5, {1, 0, 1}},
        {"computed threshold keeps it", {2, 0.25, 4}, {2, 1, 4}, -1.0, {1, 4, 1}},
        {"threshold zero keeps all", {2, 0.25, 4}, {2, 1, 4}, 0.0, {1, 4, 1}},
        {"threshold above all", {2, 3, 4}, {2, 3, 4}, 10.0, {0, 0, 0}},
        {"zero matrix", {0, 0, 0}, {2, 3, 4}, -1.0, {0, 0, 0}},
        {"negative entries", {-2, 3, -4}, {2, 3, 4}, -1.0, {-1, 1, -1}},
    };
    for (const DiagonalCase& c : cases) {
        SystemMatrix a;
        setDiagonal(a, {c.diagonal[0], c.diagonal[1], c.diagonal[2]});
        SystemVector b = {c.rhs[0], c.rhs[1], c.rhs[2], 7.0};
        SolverNotes notes;
        EXPECT_TRUE(solveMoorePenrose(a, b, 3, c.threshold, notes)) << c.name;
        for (int i = 0; i < 3; ++i) EXPECT_NEAR(b[i], c.expected[i], 1e-14) << c.name << " " << i;
        EXPECT_EQ(b[3], 7.0) << c.name;
        EXPECT_TRUE(notes.messages.empty()) << c.name;
    }
}

TEST(moore_penrose, gives_the_minimum_norm_solution_of_a_singular_system) {
    // Rank 1: every x with x0 + x1 = 2 solves it; the shortest is (1, 1).
    SystemMatrix a = {};
    a[0] = a[1] = a[10] = a[11] = 1.0;
    SystemVector b = {2.0, 2.0};
    SolverNotes notes;
    EXPECT_TRUE(solveMoorePenrose(a, b, 2, 1e-12, notes));
    EXPECT_NEAR(b[0], 1.0, 1e-14);
    EXPECT_NEAR(b[1], 1.0, 1e-14);
}

TEST(moore_penrose, reconstructs_random_matrices_with_orthogonal_factors) {
    TestValues values(77);
    for (int n : {3, 4, 6, 10}) {
        for (int trial = 0; trial < 5; ++trial) {
            SystemMatrix a, u;
            fillRandom(a, n, values);
            for (int i = 0; i < 100; ++i) u[i] = a[i];
            SystemVector w = {};
            SystemMatrix v = {};
            SolverNotes notes;
            ASSERT_TRUE(decomposeSvd(u, w, v, n, notes)) << n;
            for (int i = 0; i < n; ++i) EXPECT_GE(w[i], 0.0);
            for (int i = 0; i < n; ++i) {
                for (int k = 0; k < n; ++k) {
                    long double usv = 0.0L, utu = 0.0L, vtv = 0.0L;
                    for (int j = 0; j < n; ++j) {
                        usv += static_cast<long double>(u[i * 10 + j]) * w[j] * v[k * 10 + j];
                        utu += static_cast<long double>(u[j * 10 + i]) * u[j * 10 + k];
                        vtv += static_cast<long double>(v[j * 10 + i]) * v[j * 10 + k];
                    }
                    const long double id = i == k ? 1.0L : 0.0L;
                    EXPECT_NEAR(static_cast<double>(usv), a[i * 10 + k], 1e-13) << n;
                    EXPECT_NEAR(static_cast<double>(utu), static_cast<double>(id), 1e-13) << n;
                    EXPECT_NEAR(static_cast<double>(vtv), static_cast<double>(id), 1e-13) << n;
                }
            }
        }
    }
}

TEST(moore_penrose, matches_a_pivoting_solution_of_a_normal_system) {
    TestValues values(4242);
    for (int n : {3, 4, 6, 10}) {
        SystemMatrix a, original;
        fillNormalMatrix(a, n, values);
        SystemVector b = {}, rhs = {};
        for (int i = 0; i < n; ++i) b[i] = values.next() * 100.0;
        for (int i = 0; i < 100; ++i) original[i] = a[i];
        for (int i = 0; i < 10; ++i) rhs[i] = b[i];
        // Were anything outside the block read, the solution would turn NaN.
        const double nan = std::numeric_limits<double>::quiet_NaN();
        for (int i = 0; i < 10; ++i)
            for (int k = 0; k < 10; ++k)
                if (i >= n || k >= n) a[i * 10 + k] = nan;
        for (int i = n; i < 10; ++i) b[i] = nan;

        long double truth[10];
        ASSERT_TRUE(solveByPivotingLu(original, rhs, n, truth));
        SolverNotes notes;
        ASSERT_TRUE(solveMoorePenrose(a, b, n, -1.0, notes));
        for (int i = 0; i < n; ++i)
            EXPECT_NEAR(b[i], static_cast<double>(truth[i]), 1e-12 * (1.0 + std::fabs(static_cast<double>(truth[i]))))
                << "n=" << n << " i=" << i;
        EXPECT_LT(residualMax(original, b, rhs, n), 1e-10L);
        for (int i = n; i < 10; ++i) EXPECT_TRUE(std::isnan(b[i]));
    }
}

TEST(moore_penrose, reports_a_decomposition_that_does_not_converge) {
    // NaN entries never split off a singular value, so the sweep limit is reached.
    SystemMatrix a;
    for (double& e : a) e = std::numeric_limits<double>::quiet_NaN();
    SystemVector b = {1.0, 2.0, 3.0};
    SolverNotes notes;
    EXPECT_FALSE(solveMoorePenrose(a, b, 3, -1.0, notes));
    EXPECT_EQ(b[0], SOLVER_FAILED);
    EXPECT_EQ(b[1], 2.0);
    EXPECT_EQ(b[2], 3.0);
    ASSERT_EQ(notes.messages.size(), 1u);
    EXPECT_EQ(notes.messages[0], "no convergence in 30 svdcmp iterations");
    EXPECT_TRUE(notes.trace.empty());
}
