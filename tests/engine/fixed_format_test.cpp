// The result rows' fields against printf itself: every value, every rounding tie, the
// sign of zero, the widths, and what printf has to write alone.

#include "engine/points/fixed_format.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <string>

#include "tests/engine/fit_fixture.h"

namespace {

std::string printf_fixed(double value, int width, int precision) {
    char text[400];
    std::snprintf(text, sizeof text, "%*.*f", width, precision, value);
    return text;
}

std::string fixed(double value, int width, int precision, char separator = '.') {
    std::string out = "|";
    append_fixed(out, value, width, precision, separator);
    return out.substr(1);
}

}  // namespace

TEST(fixed_format, hand_picked_values_match_printf) {
    const double inf = std::numeric_limits<double>::infinity();
    const double values[] = {
        0.0, -0.0, 0.5, 1.5, 2.5, -2.5, 0.125, 0.375, 0.0078125, -0.0078125, 5e-7, 4.9999999e-7,
        -1e-9, 1e-300, 5e-324, -5e-324, 17.0, 17.5, 999999.9999995, 123456789012.123,
        -98765.4321, 9.2e18, 9.3e18, 1e300, DBL_MAX, -DBL_MAX, inf, -inf,
        std::numeric_limits<double>::quiet_NaN(), 4503599627370496.5, 9007199254740993.0,
        0.1, 0.2, 0.3, 1e15 + 0.3, 2.675, 1.005, 1234.5678905, 0.0005, 0.0015};
    for (double v : values)
        for (int precision = 0; precision <= 9; ++precision)
            for (int width : {0, 10, 25})
                ASSERT_EQ(fixed(v, width, precision), printf_fixed(v, width, precision))
                    << v << " %" << width << "." << precision << "f";
}

TEST(fixed_format, random_doubles_over_the_whole_range_match_printf) {
    Lcg random(2026);
    for (int i = 0; i < 300000; ++i) {
        // Random mantissa bits, exponent and sign, and every tenth value with only a few
        // mantissa bits, which puts many of them exactly on a rounding tie.
        const double fraction = random.uniform(1, 2);
        const double coarse = std::floor(fraction * 64) / 64;
        const int exponent = static_cast<int>(random.uniform(-60, 66));
        double v = std::ldexp(i % 10 == 0 ? coarse : fraction, exponent);
        if (random.uniform(0, 1) < 0.5) v = -v;
        const int precision = i % 3 == 0 ? 0 : i % 3 == 1 ? 3 : 6;
        ASSERT_EQ(fixed(v, 10, precision), printf_fixed(v, 10, precision))
            << std::hexfloat << v << " precision " << precision;
    }
}

TEST(fixed_format, separator_replaces_the_point) {
    EXPECT_EQ(fixed(-12.3456789, 10, 6, ','), "-12,345679");
    EXPECT_EQ(fixed(3.0, 10, 0, ','), "         3");
    EXPECT_EQ(fixed(1e300, 0, 1, ',').substr(301), ",0");
    EXPECT_EQ(fixed(-0.0, 10, 3, ','), "    -0,000");
}
