#include "engine/points/number_text.h"

#include <gtest/gtest.h>

TEST(number_text, reads_whole_numbers_only) {
    EXPECT_EQ(parse_double("12.5", '.'), 12.5);
    EXPECT_EQ(parse_double("1.5E3", '.'), 1500.0);
    EXPECT_EQ(parse_double("+5", '.'), 5.0);
    EXPECT_EQ(parse_double("1.e-10", '.'), 1e-10);
    EXPECT_EQ(parse_double("12,5", ','), 12.5);
    for (const char* bad : {"", "12a", "1e999", "nan", "inf", "1.2.3", "+-5", " 5", "5 "})
        EXPECT_FALSE(parse_double(bad, '.').has_value()) << bad;
    EXPECT_FALSE(parse_double("12.5", ',').has_value());
    EXPECT_EQ(*parse_double("-0", '.'), 0.0);
}

TEST(number_text, reads_integers) {
    EXPECT_EQ(parse_int("10"), 10);
    EXPECT_EQ(parse_int("-1"), -1);
    for (const char* bad : {"", "12a", "1.5", "99999999999"})
        EXPECT_FALSE(parse_int(bad).has_value()) << bad;
}

TEST(number_text, general_format_as_the_window_shows_it) {
    EXPECT_EQ(format_general(17.0, '.'), "17");
    EXPECT_EQ(format_general(17.5, '.'), "17.5");
    EXPECT_EQ(format_general(1e-10, '.'), "1E-10");
    EXPECT_EQ(format_general(1e10, '.'), "10000000000");
    EXPECT_EQ(format_general(0.01, '.'), "0.01");
    EXPECT_EQ(format_general(-1.0, '.'), "-1");
    EXPECT_EQ(format_general(1e20, '.'), "1E20");
    EXPECT_EQ(format_general(2.5, ','), "2,5");
}

TEST(number_text, c_format_with_the_separator_in_force) {
    EXPECT_EQ(format_c('.', "%10.3lf|", 2843.51), "  2843.510|");
    EXPECT_EQ(format_c(',', "%10.6lf", -11.3167), "-11,316700");
    EXPECT_EQ(format_c('.', "%6.0lf", 360.0), "   360");
}
