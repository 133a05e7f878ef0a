#include "orvgrid/map/colour_stretch.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <random>
#include <vector>

#include "orvgrid/grid/colouring.h"

TEST(colour_stretch, linear_gives_the_previews_classes) {
    // Mean 2, sample deviation sqrt(2.5): the previews' formula, hand-computed.
    const std::vector<double> values = {0.0, 1.0, 2.0, 3.0, 4.0, 1e38};
    const ColourStretch s = linear_stretch(values);
    EXPECT_EQ(s.count, 5u);
    EXPECT_DOUBLE_EQ(s.mean, 2.0);
    EXPECT_DOUBLE_EQ(s.std_dev, std::sqrt(2.5));
    EXPECT_DOUBLE_EQ(s.minimum, 0.0);
    EXPECT_DOUBLE_EQ(s.maximum, 4.0);
    const double w = 0.066 * std::sqrt(2.5);
    EXPECT_DOUBLE_EQ(s.upper_edges[20], 2.0);  // class 21 ends at the mean
    EXPECT_NEAR(s.upper_edges[0], 2.0 - 20 * w, 1e-12);
    EXPECT_NEAR(s.upper_edges[38], 2.0 + 18 * w, 1e-12);
    for (double v = -1.0; v < 5.0; v += 0.01)
        EXPECT_EQ(stretch_class(s, v), colour_class(v, s.mean, s.std_dev)) << v;
}

TEST(colour_stretch, linear_takes_a_flat_field_deviation_as_one) {
    const std::vector<double> flat(10, 7.5);
    const ColourStretch s = linear_stretch(flat);
    EXPECT_DOUBLE_EQ(s.mean, 7.5);
    EXPECT_DOUBLE_EQ(s.std_dev, 1.0);
    EXPECT_EQ(stretch_class(s, 7.5), 21);
    const ColourStretch one = linear_stretch(std::vector<double>{3.0});
    EXPECT_DOUBLE_EQ(one.std_dev, 1.0);
    const ColourStretch none = linear_stretch(std::vector<double>{1e38, 2e38});
    EXPECT_EQ(none.count, 0u);
}

TEST(colour_stretch, equalised_puts_as_many_values_in_every_class) {
    std::vector<double> values;
    std::mt19937 random(7);
    std::exponential_distribution<double> skewed(0.3);
    for (int i = 0; i < 4000; ++i) values.push_back(skewed(random));
    values.push_back(1e38);
    const ColourStretch s = equalised_stretch(values);
    ASSERT_EQ(s.count, 4000u);
    std::map<int, int> per_class;
    for (double v : values)
        if (!is_blank_value(v)) ++per_class[stretch_class(s, v)];
    ASSERT_EQ(per_class.size(), 40u);
    for (const auto& [k, n] : per_class) EXPECT_EQ(n, 100) << "class " << k;
    // A linear stretch of the same skewed values leaves most classes nearly empty.
    const ColourStretch linear = linear_stretch(values);
    std::map<int, int> linear_classes;
    for (int i = 0; i < 4000; ++i) ++linear_classes[stretch_class(linear, values[i])];
    int sparse = 0;
    for (int k = 1; k <= 40; ++k) sparse += linear_classes[k] < 50;
    EXPECT_GT(sparse, 10);
}

TEST(colour_stretch, equalised_edges_are_ranked_values) {
    // 80 values 1..80: edge k is value 2k, the largest of the lowest k fortieths.
    std::vector<double> values;
    for (int i = 80; i >= 1; --i) values.push_back(i);
    const ColourStretch s = equalised_stretch(values);
    for (int k = 1; k <= 39; ++k) EXPECT_DOUBLE_EQ(s.upper_edges[k - 1], 2.0 * k);
    EXPECT_EQ(stretch_class(s, 1.0), 1);
    EXPECT_EQ(stretch_class(s, 2.0), 1);
    EXPECT_EQ(stretch_class(s, 3.0), 2);
    EXPECT_EQ(stretch_class(s, 80.0), 40);
    EXPECT_EQ(stretch_class(s, -5.0), 1);
    EXPECT_EQ(stretch_class(s, 500.0), 40);
}

TEST(colour_stretch, equalised_with_few_or_tied_values_stays_ordered) {
    const std::vector<double> tied = {5.0, 5.0, 5.0, 9.0};
    const ColourStretch s = equalised_stretch(tied);
    for (int k = 1; k < 39; ++k) EXPECT_LE(s.upper_edges[k - 1], s.upper_edges[k]);
    EXPECT_LT(stretch_class(s, 5.0), stretch_class(s, 9.0));
    EXPECT_EQ(stretch_class(s, 9.0), 31);  // 30 edges of the lowest three quarters are 5
}
