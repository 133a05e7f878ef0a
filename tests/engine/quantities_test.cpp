#include "engine/fit/quantities.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <numbers>

#include "tests/support/random_surveys.h"

namespace {

// A work point whose result positions carry a marker, so that a position left alone
// can be told from one written with 0.
WorkPoint marked_point() {
    WorkPoint p;
    for (int i = 0; i < 15; ++i) p.value[i] = -1000.0 - i;
    return p;
}

}  // namespace

TEST(quantities, planar_tendencies_give_gradients_signal_and_tilt) {
    const double c[3] = {3.0, 4.0, 12.0};
    for (Tendency t : {Tendency::Linear3x3, Tendency::Linear3x3NteFay}) {
        PointQuantities q = deriveQuantities(t, c, 50.0);
        EXPECT_EQ(q.HGGAX, 3.0);
        EXPECT_EQ(q.HGGAY, 4.0);
        EXPECT_EQ(q.HGGA, 5.0);
        EXPECT_EQ(q.VGGA, 12.0);
        EXPECT_EQ(q.ASIG, 13.0);
        EXPECT_DOUBLE_EQ(q.TILT, std::atan(12.0 / 5.0));
        EXPECT_EQ(q.RGA, 0.0);
        EXPECT_EQ(q.LGA, 0.0);
    }
}

TEST(quantities, linear4x4_regional_is_constant_term_and_local_the_rest) {
    const double c[4] = {3.0, 4.0, 12.0, 100.0};
    PointQuantities q = deriveQuantities(Tendency::Linear4x4, c, 105.0);
    EXPECT_EQ(q.HGGA, 5.0);
    EXPECT_EQ(q.ASIG, 13.0);
    EXPECT_EQ(q.RGA, 100.0);
    EXPECT_EQ(q.LGA, 5.0);
}

TEST(quantities, tilt_sign_follows_vertical_gradient_only) {
    struct Case {
        double c[3];
        double tilt;
    };
    const double pi2 = std::numbers::pi / 2.0;
    const Case cases[] = {
        {{-3.0, 4.0, 12.0}, std::atan(12.0 / 5.0)},
        {{3.0, -4.0, 12.0}, std::atan(12.0 / 5.0)},
        {{3.0, 4.0, -12.0}, -std::atan(12.0 / 5.0)},
        {{0.0, 0.0, 2.0}, pi2},
        {{0.0, 0.0, -2.0}, -pi2},
        {{0.0, 0.0, 0.0}, 0.0},
    };
    for (const Case& k : cases) {
        PointQuantities q = deriveQuantities(Tendency::Linear3x3, k.c, 0.0);
        EXPECT_DOUBLE_EQ(q.TILT, k.tilt) << k.c[0] << " " << k.c[1] << " " << k.c[2];
        EXPECT_FALSE(std::isnan(q.TILT));
    }
}

TEST(quantities, linear6x6_vertical_gradient_joins_three_coefficients) {
    const double c[6] = {3.0, 4.0, 2.0, 3.0, 6.0, 7.0};  // sqrt(4 + 9 + 36) = 7
    PointQuantities q = deriveQuantities(Tendency::Linear6x6, c, 10.0);
    EXPECT_EQ(q.HGGA, 5.0);
    EXPECT_EQ(q.VGGA, 7.0);
    EXPECT_DOUBLE_EQ(q.TILT, std::atan(7.0 / 5.0));
    EXPECT_EQ(q.RGA, 7.0);
    EXPECT_EQ(q.LGA, 3.0);
}

// Gradients of a fit on coordinates near 1e154 and beyond square to inf, those below
// 1e-154 to 0: the analytic signal and the three-term vertical gradient are still the
// finite, nonzero roots, not inf or 0.
TEST(quantities, roots_stay_finite_where_the_squares_leave_the_doubles) {
    const double huge[6] = {3e200, 4e200, 12e200, 3e200, 4e200, 0.0};
    const PointQuantities planar = deriveQuantities(Tendency::Linear3x3, huge, 0.0);
    EXPECT_DOUBLE_EQ(planar.HGGA, 5e200);
    EXPECT_DOUBLE_EQ(planar.ASIG, 13e200);
    EXPECT_DOUBLE_EQ(planar.TILT, std::atan(12.0 / 5.0));
    const PointQuantities cross = deriveQuantities(Tendency::Linear6x6, huge, 0.0);
    EXPECT_DOUBLE_EQ(cross.VGGA, 13e200);  // sqrt(144 + 9 + 16)

    const double tiny[6] = {3e-200, 4e-200, 12e-200, 3e-200, 4e-200, 0.0};
    EXPECT_DOUBLE_EQ(deriveQuantities(Tendency::Linear3x3, tiny, 0.0).ASIG, 13e-200);
    EXPECT_DOUBLE_EQ(deriveQuantities(Tendency::Linear6x6, tiny, 0.0).VGGA, 13e-200);

    // A gradient that is itself inf or NaN stays so.
    const double wild[3] = {1.0, 2.0, std::numeric_limits<double>::infinity()};
    EXPECT_EQ(deriveQuantities(Tendency::Linear3x3, wild, 0.0).ASIG,
              std::numeric_limits<double>::infinity());
    const double undefined[3] = {1.0, 2.0, std::nan("")};
    EXPECT_TRUE(std::isnan(deriveQuantities(Tendency::Linear3x3, undefined, 0.0).ASIG));
}

// Within the range of doubles the roots are the formulas' own bits, sqrt(a*a + b*b),
// as every result file written so far holds them: scales from 1e-150 to 1e150.
TEST(quantities, roots_keep_the_formulas_bits_within_range) {
    SurveyRandom r(31);
    const auto bits = [](double v) { return std::bit_cast<std::uint64_t>(v); };
    for (int k = 0; k < 200000; ++k) {
        const double scale = std::pow(10.0, r.uniform(-150.0, 150.0));
        const double c[6] = {r.normal() * scale, r.normal() * scale, r.normal() * scale,
                             r.normal() * scale, r.normal() * scale, 0.0};
        const PointQuantities planar = deriveQuantities(Tendency::Linear3x3, c, 0.0);
        ASSERT_EQ(bits(planar.ASIG),
                  bits(std::sqrt(planar.HGGA * planar.HGGA + planar.VGGA * planar.VGGA)));
        const PointQuantities cross = deriveQuantities(Tendency::Linear6x6, c, 0.0);
        ASSERT_EQ(bits(cross.VGGA), bits(std::sqrt(c[2] * c[2] + c[3] * c[3] + c[4] * c[4])));
    }
}

TEST(quantities, quadratic_gives_only_regional_and_local) {
    double c[10];
    for (int i = 0; i < 10; ++i) c[i] = i + 1.0;
    PointQuantities q = deriveQuantities(Tendency::Quadratic10x10, c, 4.0);
    EXPECT_EQ(q.RGA, 10.0);
    EXPECT_EQ(q.LGA, -6.0);
    EXPECT_EQ(q.HGGA, 0.0);
    EXPECT_EQ(q.TILT, 0.0);
}

TEST(quantities, last_pass_storage_follows_the_table) {
    double c[10];
    for (int i = 0; i < 10; ++i) c[i] = 0.5 + i;
    const double nan = std::nan("");
    struct Case {
        Tendency tendency;
        double expected[15];  // NaN: position left alone
    };
    PointQuantities q;
    q.HGGAX = 1;
    q.HGGAY = 2;
    q.HGGA = 3;
    q.VGGA = 4;
    q.RGA = 5;
    q.LGA = 6;
    q.ASIG = 7;
    q.TILT = 8;
    const Case cases[] = {
        {Tendency::Linear3x3, {nan, nan, nan, nan, nan, 1, 2, 3, 4, 0, 0, 7, 8, nan, nan}},
        {Tendency::Linear3x3NteFay, {nan, nan, nan, nan, nan, 1, 2, 3, 4, 0, 0, 7, 8, nan, nan}},
        {Tendency::Linear4x4, {nan, nan, nan, nan, nan, 1, 2, 3, 4, 5, 6, 7, 8, nan, nan}},
        {Tendency::Linear6x6,
         {nan, nan, nan, nan, nan, 0.5, 1.5, 2.5, 3.5, 4.5, 5.5, 0, 8, nan, nan}},
        {Tendency::Quadratic10x10,
         {nan, nan, nan, nan, nan, 0.5, 1.5, 2.5, 3.5, 4.5, 5.5, 6.5, 7.5, 8.5, 9.5}},
    };
    for (const Case& k : cases) {
        WorkPoint p = marked_point();
        storeQuantities(k.tendency, true, c, q, p);
        for (int i = 0; i < 15; ++i) {
            double want = std::isnan(k.expected[i]) ? -1000.0 - i : k.expected[i];
            EXPECT_EQ(p.value[i], want) << "tendency " << static_cast<int>(k.tendency)
                                        << " position " << i;
        }
    }
}

TEST(quantities, earlier_passes_store_only_regional_and_local) {
    const double c[10] = {};
    PointQuantities q;
    q.HGGA = 3;
    q.RGA = 5;
    q.LGA = 6;
    struct Case {
        Tendency tendency;
        int rga_at;  // -1: nothing stored
    };
    const Case cases[] = {{Tendency::Linear4x4, 9},
                          {Tendency::Linear6x6, 9},
                          {Tendency::Quadratic10x10, 11},
                          {Tendency::Linear3x3, -1},
                          {Tendency::Linear3x3NteFay, -1}};
    for (const Case& k : cases) {
        WorkPoint p = marked_point();
        storeQuantities(k.tendency, false, c, q, p);
        for (int i = 0; i < 15; ++i) {
            double want = -1000.0 - i;
            if (i == k.rga_at) want = 5.0;
            if (k.rga_at >= 0 && i == k.rga_at + 1) want = 6.0;
            EXPECT_EQ(p.value[i], want) << "tendency " << static_cast<int>(k.tendency)
                                        << " position " << i;
        }
    }
}
