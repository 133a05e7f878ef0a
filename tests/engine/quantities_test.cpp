#include "engine/fit/quantities.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

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
