#include "orvgrid/preview_vars.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

TEST(preview_vars, first_list_positions) {
    EXPECT_EQ(first_list_position(0), 2);  // HEIGHT
    EXPECT_EQ(first_list_position(1), 3);  // CBA
    EXPECT_EQ(first_list_position(-1), -1);
    EXPECT_EQ(preview_position(1, 1, Tendency::Linear3x3), 3);
}

TEST(preview_vars, result_list_positions_by_tendency) {
    struct Case {
        Tendency tendency;
        std::vector<int> positions;  // for list index 0 upward
    };
    const std::vector<Case> cases = {
        {Tendency::Linear3x3, {5, 6, 7, 8, 11, 12}},
        {Tendency::Linear4x4, {5, 6, 7, 8, 9, 10, 11, 12}},
        {Tendency::Linear6x6, {5, 6, 7, 8, 9, 10}},
        {Tendency::Quadratic10x10, {5, 6, 7, 8, 9, 10, 11, 12, 13, 14}},
        {Tendency::Linear3x3NteFay, {5, 6, 7, 8, 9, 10, 11, 12}},
    };
    for (const Case& c : cases) {
        for (std::size_t i = 0; i < c.positions.size(); ++i) {
            const int index = static_cast<int>(i);
            EXPECT_EQ(result_list_position(index, c.tendency), c.positions[i])
                << static_cast<int>(c.tendency) << " entry " << i;
            EXPECT_EQ(preview_position(2, index, c.tendency), c.positions[i]);
            EXPECT_EQ(preview_position(3, index, c.tendency), c.positions[i]);
        }
        EXPECT_EQ(result_list_position(-1, c.tendency), -1);
    }
    EXPECT_EQ(preview_position(4, 0, Tendency::Linear4x4), -1);
    EXPECT_EQ(preview_position(0, 0, Tendency::Linear4x4), -1);
}

TEST(preview_vars, suggested_names) {
    struct Case {
        const char *list, *radius, *iterations, *object, *expected;
    };
    const Case cases[] = {
        {"CBA", "500", "0", "RGA", "cba_r=500_iter=0_object=rga.bmp"},
        {"HGGAX", "1250.5", "3", "LGA", "hggax_r=1250.5_iter=3_object=lga.bmp"},
        {"COEFF_9", "20", "10000", "RGA", "coeff_9_r=20_iter=10000_object=rga.bmp"},
        {"HGGAX/GAX", "500", "0", "RGA", "hggax_gax_r=500_iter=0_object=rga.bmp"},
        {"TILT /LGA", "500", "0", "RGA", "tilt _lga_r=500_iter=0_object=rga.bmp"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(suggested_image_name(c.list, c.radius, c.iterations, c.object), c.expected);
}
