#include "engine/solvers/gauss_jordan.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "tests/engine/solver_oracle.h"

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();

// NaN outside the leading n x n block and after rhs[n - 1]: were any of them read, the
// solution would turn NaN.
void poisonOutside(SystemMatrix& a, SystemVector& b, int n) {
    for (int i = 0; i < 10; ++i)
        for (int k = 0; k < 10; ++k)
            if (i >= n || k >= n) a[i * 10 + k] = kNaN;
    for (int i = n; i < 10; ++i) b[i] = kNaN;
}

void expectOutsideUntouched(const SystemMatrix& a, const SystemVector& b, int n) {
    for (int i = 0; i < 10; ++i)
        for (int k = 0; k < 10; ++k)
            if (i >= n || k >= n) {
                EXPECT_TRUE(std::isnan(a[i * 10 + k])) << i << "," << k;
            }
    for (int i = n; i < 10; ++i) EXPECT_TRUE(std::isnan(b[i])) << i;
}

}  // namespace

TEST(gauss_jordan, solves_one_unknown) {
    SystemMatrix a = {};
    SystemVector b = {};
    a[0] = 2.0;
    b[0] = 6.0;
    EXPECT_TRUE(solveGaussJordan(a, b, 1));
    EXPECT_EQ(b[0], 3.0);
    EXPECT_EQ(a[0], 1.0);
}

TEST(gauss_jordan, fails_on_the_exchange_matrix_for_want_of_pivoting) {
    SystemMatrix a = {};
    SystemVector b = {5.0, 7.0};
    a[1] = 1.0;
    a[10] = 1.0;
    EXPECT_FALSE(solveGaussJordan(a, b, 2));
    EXPECT_EQ(b[0], SOLVER_FAILED);
    EXPECT_EQ(b[1], 7.0);
}

TEST(gauss_jordan, fails_on_a_nan_pivot) {
    SystemMatrix a = {};
    SystemVector b = {1.0, 1.0};
    a[0] = kNaN;
    a[11] = 1.0;
    EXPECT_FALSE(solveGaussJordan(a, b, 2));
    EXPECT_EQ(b[0], SOLVER_FAILED);
}

TEST(gauss_jordan, accepts_a_tiny_pivot) {
    SystemMatrix a = {};
    SystemVector b = {3e-300, 4.0};
    a[0] = 1e-300;
    a[11] = 2.0;
    EXPECT_TRUE(solveGaussJordan(a, b, 2));
    EXPECT_EQ(b[0], 3.0);
    EXPECT_EQ(b[1], 2.0);
}

TEST(gauss_jordan, zero_pivot_at_the_last_step_leaves_the_rest_reduced) {
    // Rank 2: the third pivot becomes exactly 0 after two clean steps.
    SystemMatrix a = {};
    SystemVector b = {1.0, 2.0, 3.0};
    const double rows[3][3] = {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}};
    for (int i = 0; i < 3; ++i)
        for (int k = 0; k < 3; ++k) a[i * 10 + k] = rows[i][k];
    poisonOutside(a, b, 3);
    EXPECT_FALSE(solveGaussJordan(a, b, 3));
    EXPECT_EQ(b[0], SOLVER_FAILED);
    EXPECT_EQ(b[1], -2.0 / -3.0);  // rhs[1] after the second step
    EXPECT_EQ(b[2], -4.0 - (-6.0) * (-2.0 / -3.0));
    EXPECT_EQ(a[22], 0.0);
    expectOutsideUntouched(a, b, 3);
}

TEST(gauss_jordan, matches_a_pivoting_solution_and_leaves_the_outside_alone) {
    TestValues values(20261208);
    for (int n : {3, 4, 6, 10}) {
        SystemMatrix a;
        fillNormalMatrix(a, n, values);
        SystemVector b = {};
        for (int i = 0; i < n; ++i) b[i] = values.next() * 100.0;
        SystemMatrix original;
        SystemVector rhs;
        for (int i = 0; i < 100; ++i) original[i] = a[i];
        for (int i = 0; i < 10; ++i) rhs[i] = b[i];
        poisonOutside(a, b, n);

        long double truth[10];
        ASSERT_TRUE(solveByPivotingLu(original, rhs, n, truth));
        ASSERT_TRUE(solveGaussJordan(a, b, n)) << n;
        for (int i = 0; i < n; ++i) {
            EXPECT_NEAR(b[i], static_cast<double>(truth[i]), 1e-12 * (1.0 + std::fabs(static_cast<double>(truth[i]))))
                << "n=" << n << " i=" << i;
            for (int k = 0; k < n; ++k) EXPECT_NEAR(a[i * 10 + k], i == k ? 1.0 : 0.0, 1e-14);
        }
        EXPECT_LT(residualMax(original, b, rhs, n), 1e-10L);
        expectOutsideUntouched(a, b, n);
    }
}
