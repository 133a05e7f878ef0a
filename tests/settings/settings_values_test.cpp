#include "settings/settings_values.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>

namespace f = settings_field;

TEST(settings_values, zero_block_gives_first_entries_and_empty_texts) {
    SettingsValues v = settings_values_from(SettingsBlock());
    EXPECT_EQ(v.txt_in, "");
    EXPECT_EQ(v.txt_out, "");
    EXPECT_EQ(v.txt_log, "");
    EXPECT_EQ(v.txt_radius, 0.0);
    EXPECT_EQ(v.txt_threshold, 0.0);
    EXPECT_EQ(v.txt_alpha, 0.0);
    EXPECT_EQ(v.txt_npoints, 0);
    for (int index : {v.cmb_point, v.cmb_gx, v.cmb_gy, v.cmb_gz, v.cmb_uba, v.rg_tendencies,
                      v.rg_method, v.rg_search, v.cmb_centerx, v.cmb_centery, v.cmb_centerz,
                      v.cmb_centeru, v.cb_iter, v.cb1, v.cb2, v.cb3, v.txt_iter})
        EXPECT_EQ(index, 0);
    EXPECT_FALSE(v.cb_preview);
    EXPECT_FALSE(v.chb_cpin);
}

TEST(settings_values, store_then_read_gives_the_same_values) {
    SettingsValues v;
    v.txt_in = "/survey/in put.dat";
    v.txt_out = "out.dat";
    v.txt_log = "subset.dat";
    v.txt_radius = 350.5;
    v.txt_nearest = 120.0;
    v.txt_iter = 3;
    v.cb_iter = 1;
    v.cb_preview = true;
    v.cb1 = 0;
    v.cb2 = 7;
    v.cb3 = 9;
    v.cmb_point = 25;
    v.cmb_gx = 5;
    v.cmb_gy = 6;
    v.cmb_gz = 7;
    v.cmb_uba = 8;
    v.cmb_centerx = 1;
    v.cmb_centery = 0;
    v.cmb_centerz = 2;
    v.cmb_centeru = 1;
    v.txt_alpha = 0.25;
    v.chb_cpin = true;
    v.rg_tendencies = 4;
    v.rg_method = 2;
    v.txt_threshold = 1e-3;
    v.txt_npoints = 42;
    v.rg_search = 1;
    SettingsBlock block;
    ASSERT_TRUE(store_settings_values(v, block).ok);
    EXPECT_EQ(block.real(f::txt_radius), 350.5);
    EXPECT_EQ(block.int32(f::cmb_point), 25);
    EXPECT_EQ(block.int32(f::txt_npoints), 42);
    SettingsValues back = settings_values_from(block);
    EXPECT_EQ(back.txt_in, v.txt_in);
    EXPECT_EQ(back.txt_out, v.txt_out);
    EXPECT_EQ(back.txt_log, v.txt_log);
    EXPECT_EQ(back.txt_radius, v.txt_radius);
    EXPECT_EQ(back.txt_nearest, v.txt_nearest);
    EXPECT_EQ(back.txt_iter, v.txt_iter);
    EXPECT_EQ(back.cb_iter, v.cb_iter);
    EXPECT_EQ(back.cb_preview, v.cb_preview);
    EXPECT_EQ(back.cb1, v.cb1);
    EXPECT_EQ(back.cb2, v.cb2);
    EXPECT_EQ(back.cb3, v.cb3);
    EXPECT_EQ(back.cmb_point, v.cmb_point);
    EXPECT_EQ(back.cmb_gx, v.cmb_gx);
    EXPECT_EQ(back.cmb_gy, v.cmb_gy);
    EXPECT_EQ(back.cmb_gz, v.cmb_gz);
    EXPECT_EQ(back.cmb_uba, v.cmb_uba);
    EXPECT_EQ(back.cmb_centerx, v.cmb_centerx);
    EXPECT_EQ(back.cmb_centery, v.cmb_centery);
    EXPECT_EQ(back.cmb_centerz, v.cmb_centerz);
    EXPECT_EQ(back.cmb_centeru, v.cmb_centeru);
    EXPECT_EQ(back.txt_alpha, v.txt_alpha);
    EXPECT_EQ(back.chb_cpin, v.chb_cpin);
    EXPECT_EQ(back.rg_tendencies, v.rg_tendencies);
    EXPECT_EQ(back.rg_method, v.rg_method);
    EXPECT_EQ(back.txt_threshold, v.txt_threshold);
    EXPECT_EQ(back.txt_npoints, v.txt_npoints);
    EXPECT_EQ(back.rg_search, v.rg_search);
}

TEST(settings_values, storing_keeps_reserved_bytes) {
    SettingsBlock block;
    auto b = block.bytes();
    for (std::size_t i = 0; i < 8; ++i) b[518 + i] = static_cast<std::uint8_t>(0xA0 + i);
    for (std::size_t i = 0; i < 24; ++i) b[871 + i] = static_cast<std::uint8_t>(0x50 + i);
    ASSERT_TRUE(store_settings_values(SettingsValues{}, block).ok);
    for (std::size_t i = 0; i < 8; ++i) EXPECT_EQ(b[518 + i], 0xA0 + i);
    for (std::size_t i = 0; i < 24; ++i) EXPECT_EQ(b[871 + i], 0x50 + i);
}

TEST(settings_values, refuses_a_too_long_path_and_changes_nothing) {
    SettingsBlock block;
    SettingsValues old;
    old.txt_in = "in.dat";
    old.txt_radius = 10.0;
    ASSERT_TRUE(store_settings_values(old, block).ok);
    auto before = block.bytes();
    std::vector<std::uint8_t> saved(before.begin(), before.end());

    const char* fields[] = {"txt_in", "txt_out", "txt_log"};
    for (int which = 0; which < 3; ++which) {
        SettingsValues v = old;
        v.txt_radius = 99.0;
        std::string too_long = "/" + std::string(260, 'p');
        if (which == 0) v.txt_in = too_long;
        if (which == 1) v.txt_out = too_long;
        if (which == 2) v.txt_log = too_long;
        SettingsStoreResult result = store_settings_values(v, block);
        EXPECT_FALSE(result.ok);
        EXPECT_EQ(result.refused_field, fields[which]);
        auto after = block.bytes();
        EXPECT_TRUE(std::equal(after.begin(), after.end(), saved.begin())) << fields[which];
    }
}

TEST(settings_values, indices_outside_their_lists_are_replaced) {
    SettingsBlock block;
    block.put_int32(f::cmb_gx, 26);
    block.put_int32(f::cmb_gy, -1);
    block.put_int32(f::cmb_point, 1000);
    block.put_int32(f::rg_tendencies, 5);
    block.put_int32(f::rg_method, 3);
    block.put_int32(f::rg_search, 2);
    block.put_int32(f::cmb_centerz, -7);
    block.put_int32(f::cb_iter, 2);
    block.put_int32(f::cb1, 2);
    block.put_int32(f::cb2, 9);  // exists in the quadratic list
    block.put_int32(f::cb3, 10);
    block.put_int32(f::txt_iter, 10001);
    block.put_real(f::txt_radius, std::numeric_limits<double>::quiet_NaN());
    block.put_real(f::txt_alpha, std::numeric_limits<double>::infinity());
    SettingsValues v = settings_values_from(block);
    EXPECT_EQ(v.cmb_gx, 0);
    EXPECT_EQ(v.cmb_gy, 1);
    EXPECT_EQ(v.cmb_point, 2);
    EXPECT_EQ(v.rg_tendencies, 1);
    EXPECT_EQ(v.rg_method, 1);
    EXPECT_EQ(v.rg_search, 0);
    EXPECT_EQ(v.cmb_centerz, 0);
    EXPECT_EQ(v.cb_iter, 0);
    EXPECT_EQ(v.cb1, -1);
    EXPECT_EQ(v.cb2, 9);
    EXPECT_EQ(v.cb3, -1);
    EXPECT_EQ(v.txt_iter, 10000);
    EXPECT_EQ(v.txt_radius, 0.0);
    EXPECT_EQ(v.txt_alpha, 0.01);
}

TEST(settings_values, random_bytes_never_give_an_out_of_range_run_setting) {
    std::mt19937 random(20261208u);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int round = 0; round < 500; ++round) {
        SettingsBlock block;
        for (auto& b : block.bytes()) b = static_cast<std::uint8_t>(byte(random));
        SettingsValues v = settings_values_from(block);
        RunSettings s;
        apply_settings_values(v, s);
        for (int column : {s.column_x, s.column_y, s.column_point, s.column_height, s.column_cba}) {
            ASSERT_GE(column, 0);
            ASSERT_LE(column, 25);
        }
        ASSERT_GE(static_cast<int>(s.tendency), 0);
        ASSERT_LE(static_cast<int>(s.tendency), 4);
        ASSERT_GE(static_cast<int>(s.solver), 0);
        ASSERT_LE(static_cast<int>(s.solver), 2);
        ASSERT_GE(static_cast<int>(s.search_mode), 0);
        ASSERT_LE(static_cast<int>(s.search_mode), 1);
        for (CenteringMode c : {s.centering_x, s.centering_y, s.centering_z, s.centering_cba}) {
            ASSERT_GE(static_cast<int>(c), 0);
            ASSERT_LE(static_cast<int>(c), 2);
        }
        ASSERT_TRUE(s.iteration_object == 0 || s.iteration_object == 1);
        ASSERT_GE(s.iterations, 0);
        ASSERT_LE(s.iterations, 10000);
        ASSERT_GE(s.preview_var1, 0);
        ASSERT_LE(s.preview_var1, 1);
        for (int var : {s.preview_var2, s.preview_var3}) {
            ASSERT_GE(var, 0);
            ASSERT_LE(var, 9);
        }
        ASSERT_TRUE(std::isfinite(s.search_radius) && std::isfinite(s.alpha) &&
                    std::isfinite(s.grid_radius) && std::isfinite(s.sv_threshold));
        ASSERT_LE(s.input_file.size(), 254u);
    }
}

TEST(settings_values, apply_copies_into_run_settings) {
    SettingsValues v;
    v.txt_in = "in.dat";
    v.txt_out = "out.dat";
    v.txt_log = "sub.dat";
    v.cmb_gx = 3;
    v.cmb_gy = 4;
    v.cmb_point = 0;
    v.cmb_gz = 1;
    v.cmb_uba = 2;
    v.txt_radius = 250.0;
    v.txt_nearest = 75.0;
    v.txt_npoints = 15;
    v.txt_iter = 2;
    v.cb_iter = 1;
    v.txt_alpha = 0.5;
    v.txt_threshold = 0.0;
    v.rg_tendencies = 3;
    v.rg_method = 0;
    v.rg_search = 1;
    v.cmb_centerx = 0;
    v.cmb_centery = 1;
    v.cmb_centerz = 2;
    v.cmb_centeru = 1;
    v.chb_cpin = true;
    v.cb_preview = true;
    v.cb1 = 0;
    v.cb2 = -1;
    v.cb3 = 5;
    RunSettings s;
    apply_settings_values(v, s);
    EXPECT_EQ(s.input_file, "in.dat");
    EXPECT_EQ(s.output_file, "out.dat");
    EXPECT_EQ(s.subset_file, "sub.dat");
    EXPECT_EQ(s.column_x, 3);
    EXPECT_EQ(s.column_y, 4);
    EXPECT_EQ(s.column_point, 0);
    EXPECT_EQ(s.column_height, 1);
    EXPECT_EQ(s.column_cba, 2);
    EXPECT_EQ(s.search_radius, 250.0);
    EXPECT_EQ(s.grid_radius, 75.0);
    EXPECT_EQ(s.nearest_count, 15);
    EXPECT_EQ(s.iterations, 2);
    EXPECT_EQ(s.iteration_object, 1);
    EXPECT_EQ(s.alpha, 0.5);
    EXPECT_EQ(s.sv_threshold, 0.0);
    EXPECT_EQ(s.tendency, Tendency::Quadratic10x10);
    EXPECT_EQ(s.solver, SolverKind::GaussJordan);
    EXPECT_EQ(s.search_mode, SearchMode::NNearest);
    EXPECT_EQ(s.centering_x, CenteringMode::NotCenter);
    EXPECT_EQ(s.centering_y, CenteringMode::CenterToMean);
    EXPECT_EQ(s.centering_z, CenteringMode::CenterToPoint);
    EXPECT_EQ(s.centering_cba, CenteringMode::CenterToMean);
    EXPECT_TRUE(s.include_calc_point);
    EXPECT_TRUE(s.preview);
    EXPECT_EQ(s.preview_var1, 0);
    EXPECT_EQ(s.preview_var2, 0);  // no selection leaves the field as it was
    EXPECT_EQ(s.preview_var3, 5);
}
