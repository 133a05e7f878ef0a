#include "batch/batch_previews.h"

#include <gtest/gtest.h>

TEST(batch_previews, list_entries_as_a_fresh_window_fills_them) {
    EXPECT_EQ(preview_list_entries(1, Tendency::Linear6x6),
              (std::vector<std::string>{"HEIGHT", "CBA"}));
    EXPECT_EQ(preview_list_entries(2, Tendency::Linear3x3).size(), 6u);
    EXPECT_EQ(preview_list_entries(3, Tendency::Linear4x4).size(), 8u);
    EXPECT_EQ(preview_list_entries(2, Tendency::Linear6x6).back(), "COEFF_5");
    EXPECT_EQ(preview_list_entries(2, Tendency::Quadratic10x10).back(), "COEFF_9");
    EXPECT_EQ(preview_list_entries(2, Tendency::Linear3x3NteFay).front(), "HGGAX/GAX");
}

TEST(batch_previews, entries_are_found_in_any_case) {
    EXPECT_EQ(preview_list_index(1, Tendency::Linear4x4, "cba"), 1);
    EXPECT_EQ(preview_list_index(2, Tendency::Linear4x4, "Tilt"), 7);
    EXPECT_EQ(preview_list_index(2, Tendency::Linear3x3, "TILT"), 5);
    EXPECT_EQ(preview_list_index(2, Tendency::Linear3x3, "RGA"), std::nullopt);
    EXPECT_EQ(preview_list_index(3, Tendency::Linear3x3NteFay, "tilt /lga"), 7);
}

TEST(batch_previews, stored_selections_pass_the_tendency_rule) {
    struct Case {
        int slot;
        Tendency tendency;
        int stored, expected;
    };
    const Case cases[] = {
        {2, Tendency::Linear4x4, 6, 6},      {2, Tendency::Linear4x4, 7, 0},
        {3, Tendency::Linear3x3, 4, 4},      {3, Tendency::Linear3x3, 5, 0},
        {2, Tendency::Linear6x6, 5, 5},      {2, Tendency::Linear6x6, 6, 0},
        {3, Tendency::Quadratic10x10, 9, 9}, {2, Tendency::Linear3x3NteFay, 7, 7},
        {2, Tendency::Linear4x4, -1, 0},     {3, Tendency::Linear4x4, -1, 1},
        {1, Tendency::Linear4x4, 0, 0},      {1, Tendency::Linear4x4, -1, 1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(preview_index_after_rule(c.slot, c.tendency, c.stored), c.expected)
            << c.slot << " " << static_cast<int>(c.tendency) << " " << c.stored;
}

TEST(batch_previews, file_names_follow_the_save_buttons) {
    RunSettings s;
    s.search_radius = 500;
    s.preview_var1 = 1;
    s.preview_var2 = 0;
    s.preview_var3 = 5;
    s.iterations = 2;
    s.iteration_object = 1;
    EXPECT_EQ(preview_file_name(1, s, PreviewFormat::Bitmap), "cba_r=500_iter=2_object=lga.bmp");
    EXPECT_EQ(preview_file_name(2, s, PreviewFormat::Jpeg), "hggax_r=500_iter=2_object=lga.jpg");
    EXPECT_EQ(preview_file_name(3, s, PreviewFormat::SurferGrid),
              "lga_r=500_iter=2_object=lga.grd");
    s.search_radius = 12.5;
    s.decimal_separator = ',';
    s.iteration_object = 0;
    s.iterations = 0;
    EXPECT_EQ(preview_file_name(1, s, PreviewFormat::Bitmap), "cba_r=12,5_iter=0_object=rga.bmp");
}

TEST(batch_previews, choosing_entries_sets_the_three_lists) {
    RunSettings s;
    s.tendency = Tendency::Quadratic10x10;
    EXPECT_EQ(choose_preview_vars({"HEIGHT", "coeff_9", "COEFF_3"}, s), "");
    EXPECT_EQ(s.preview_var1, 0);
    EXPECT_EQ(s.preview_var2, 9);
    EXPECT_EQ(s.preview_var3, 3);
    EXPECT_EQ(choose_preview_vars({"DEPTH", "COEFF_0", "COEFF_1"}, s),
              "preview 1 has no entry 'DEPTH' for this tendency (entries: HEIGHT, CBA)");
}
