// The result rows' fields against printf itself: every value, every rounding tie, the
// sign of zero, the widths, and what printf has to write alone.

#include "engine/points/fixed_format.h"
#include "engine/points/result_format.h"
#include "engine/fit/trend_model.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <string>
#include <vector>

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
            for (int width : {0, 10, 25, 40})
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

// Most fields are decided from a double product, and only those near a rounding tie
// from the exact one: values a few units in the last place from a tie and from a
// whole number, in the magnitudes of the result rows.
TEST(fixed_format, values_next_to_rounding_ties_match_printf) {
    Lcg random(20261209);
    for (int i = 0; i < 200000; ++i) {
        const int precision = i % 3 == 0 ? 0 : i % 3 == 1 ? 3 : 6;
        const double unit = std::pow(10.0, -precision);
        const double digits = std::floor(random.uniform(0, 1e9 * random.uniform(0, 1)));
        const double at = (digits + (i % 2 == 0 ? 0.5 : 0.0)) * unit;
        double v = at;
        const int steps = static_cast<int>(random.uniform(-4, 5));
        for (int k = 0; k < std::abs(steps); ++k)
            v = std::nextafter(v, steps < 0 ? 0.0 : HUGE_VAL);
        if (i % 4 == 1) v = -v;
        ASSERT_EQ(fixed(v, 10, precision), printf_fixed(v, 10, precision))
            << std::hexfloat << v << " precision " << precision;
    }
}

// A row is laid out in one buffer; a field that only printf writes (non-finite, huge)
// sends what came before it ahead.
TEST(fixed_format, result_rows_match_printf_with_every_kind_of_field) {
    const double inf = std::numeric_limits<double>::infinity();
    const double odd[] = {std::numeric_limits<double>::quiet_NaN(), -inf, 1e300, -0.0, 9.3e18};
    Lcg random(7);
    int next_odd = 0;
    const auto value = [&] {
        return random.uniform(0, 1) < 0.1 ? odd[next_odd++ % 5] : random.uniform(-2e5, 2e5);
    };
    for (const TrendModel& model : TREND_MODELS) {
        RunSettings s;
        s.tendency = model.tendency;
        s.decimal_separator = ',';
        for (int row = 0; row < 200; ++row) {
            PointExtent extent;
            extent.x_offset = 100.0;
            extent.y_offset = 200.0;
            WorkPoint record;
            record.value[work::x] = value();
            record.value[work::y] = value();
            const double point_number = value();
            record.value[work::height] = value();
            const SurveyPoint point{point_number, value(), 0.0};
            double c[10];
            for (double& coefficient : c) coefficient = value();
            const PointQuantities q{value(), value(), value(), value(),
                                    value(), value(), value(), value()};
            const double count = value();
            // "%10.3lf %10.3lf %10.0lf %10.3lf %10.6lf", " %10.6lf" a value, " %10.0lf\n".
            std::vector<std::pair<double, int>> fields = {{record.value[work::x] - 100.0, 3},
                                                          {record.value[work::y] - 200.0, 3},
                                                          {point.point_number, 0},
                                                          {record.value[work::height], 3},
                                                          {point.cba, 6}};
            for (Quantity quantity : model.printed)
                fields.push_back({quantity_value(quantity, c, q), 6});
            fields.push_back({count, 0});
            std::string expected = "kept ";
            for (std::size_t k = 0; k < fields.size(); ++k) {
                std::string field = printf_fixed(fields[k].first, 10, fields[k].second);
                for (char& ch : field)
                    if (ch == '.') ch = ',';
                expected += field + (k + 1 == fields.size() ? "\n" : " ");
            }
            std::string actual = "kept ";
            append_result_row(actual, s, point, record, extent, c, count, q);
            ASSERT_EQ(actual, expected) << model.caption << " row " << row;
        }
    }
}
