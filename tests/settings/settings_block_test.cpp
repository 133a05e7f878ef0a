#include "settings/settings_block.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

struct FieldSpan {
    const char* name;
    std::size_t offset;
    std::size_t width;
};

// The record as the settings file holds it, written out by hand.
const std::vector<FieldSpan> kLayout = {
    {"txt_in", 0, 255},        {"txt_out", 255, 255},      {"txt_radius", 510, 8},
    {"reserved_1", 518, 8},    {"txt_nearest", 526, 8},    {"txt_iter", 534, 4},
    {"cb_iter", 538, 4},       {"cb_preview", 542, 1},     {"cb1", 543, 4},
    {"cb2", 547, 4},           {"cb3", 551, 4},            {"cmb_point", 555, 4},
    {"cmb_gx", 559, 4},        {"cmb_gy", 563, 4},         {"cmb_gz", 567, 4},
    {"cmb_uba", 571, 4},       {"txt_log", 575, 255},      {"cmb_centerx", 830, 4},
    {"cmb_centery", 834, 4},   {"cmb_centerz", 838, 4},    {"cmb_centeru", 842, 4},
    {"txt_alpha", 846, 8},     {"chb_cpin", 854, 1},       {"rg_tendencies", 855, 4},
    {"rg_method", 859, 4},     {"txt_threshold", 863, 8},  {"reserved_2", 871, 24},
    {"txt_npoints", 895, 4},   {"rg_search", 899, 4},
};

std::vector<std::uint8_t> snapshot(const SettingsBlock& block) {
    auto b = block.bytes();
    return {b.begin(), b.end()};
}

// Bytes that differ between two snapshots, as a list of offsets.
std::vector<std::size_t> changed(const std::vector<std::uint8_t>& a,
                                 const std::vector<std::uint8_t>& b) {
    std::vector<std::size_t> out;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i] != b[i]) out.push_back(i);
    return out;
}

}  // namespace

TEST(settings_block, layout_is_contiguous_and_903_bytes) {
    std::size_t next = 0;
    for (const auto& field : kLayout) {
        EXPECT_EQ(field.offset, next) << field.name;
        next = field.offset + field.width;
    }
    EXPECT_EQ(next, 903u);
    EXPECT_EQ(SettingsBlock::SIZE, 903u);
    EXPECT_EQ(SettingsBlock().bytes().size(), 903u);
}

TEST(settings_block, named_offsets_match_the_layout) {
    namespace f = settings_field;
    const std::vector<std::pair<std::size_t, std::size_t>> pairs = {
        {f::txt_in, 0},          {f::txt_out, 255},      {f::txt_radius, 510},
        {f::reserved_1, 518},    {f::txt_nearest, 526},  {f::txt_iter, 534},
        {f::cb_iter, 538},       {f::cb_preview, 542},   {f::cb1, 543},
        {f::cb2, 547},           {f::cb3, 551},          {f::cmb_point, 555},
        {f::cmb_gx, 559},        {f::cmb_gy, 563},       {f::cmb_gz, 567},
        {f::cmb_uba, 571},       {f::txt_log, 575},      {f::cmb_centerx, 830},
        {f::cmb_centery, 834},   {f::cmb_centerz, 838},  {f::cmb_centeru, 842},
        {f::txt_alpha, 846},     {f::chb_cpin, 854},     {f::rg_tendencies, 855},
        {f::rg_method, 859},     {f::txt_threshold, 863}, {f::reserved_2, 871},
        {f::txt_npoints, 895},   {f::rg_search, 899},
    };
    for (const auto& [named, expected] : pairs) EXPECT_EQ(named, expected);
}

TEST(settings_block, every_field_lands_at_its_offset_little_endian) {
    for (const auto& field : kLayout) {
        SettingsBlock block;
        auto before = snapshot(block);
        std::string name = field.name;
        if (name.rfind("reserved", 0) == 0) continue;
        std::vector<std::uint8_t> expected;
        if (field.width == 255) {
            ASSERT_TRUE(block.put_text(field.offset, "ab"));
            expected = {'a', 'b', 0};
            EXPECT_EQ(block.text(field.offset), "ab");
        } else if (field.width == 8) {
            block.put_real(field.offset, -2.5);  // 0xC004000000000000
            expected = {0, 0, 0, 0, 0, 0, 0x04, 0xC0};
            EXPECT_EQ(block.real(field.offset), -2.5);
        } else if (field.width == 4) {
            block.put_int32(field.offset, -2);  // 0xFFFFFFFE
            expected = {0xFE, 0xFF, 0xFF, 0xFF};
            EXPECT_EQ(block.int32(field.offset), -2);
        } else {
            block.put_flag(field.offset, true);
            expected = {1};
            EXPECT_TRUE(block.flag(field.offset));
        }
        auto after = snapshot(block);
        auto diff = changed(before, after);
        // A zero written over a zero does not show as a change.
        std::vector<std::size_t> want;
        for (std::size_t i = 0; i < expected.size(); ++i)
            if (expected[i] != 0) want.push_back(field.offset + i);
        EXPECT_EQ(diff, want) << name;
        for (std::size_t i = 0; i < expected.size(); ++i)
            EXPECT_EQ(after[field.offset + i], expected[i]) << name << " byte " << i;
    }
}

TEST(settings_block, reads_values_from_hand_written_bytes) {
    SettingsBlock block;
    auto b = block.bytes();
    const std::uint8_t iter[] = {0x10, 0x27, 0, 0};  // 10000
    std::memcpy(&b[534], iter, 4);
    const std::uint8_t radius[] = {0, 0, 0, 0, 0, 0x40, 0x7F, 0x40};  // 500.0
    std::memcpy(&b[510], radius, 8);
    b[854] = 1;
    const char path[] = "/data/survey.dat";
    std::memcpy(&b[575], path, sizeof path);
    EXPECT_EQ(block.int32(534), 10000);
    EXPECT_EQ(block.real(510), 500.0);
    EXPECT_TRUE(block.flag(854));
    EXPECT_FALSE(block.flag(542));
    EXPECT_EQ(block.text(575), "/data/survey.dat");
}

TEST(settings_block, keeps_bytes_after_a_texts_zero) {
    SettingsBlock block;
    ASSERT_TRUE(block.put_text(0, "/a/very/long/path.dat"));
    ASSERT_TRUE(block.put_text(0, "/b.dat"));
    auto b = block.bytes();
    EXPECT_EQ(block.text(0), "/b.dat");
    EXPECT_EQ(b[6], 0);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[7])), "/long/path.dat");
}

TEST(settings_block, refuses_a_too_long_text_without_touching_neighbours) {
    SettingsBlock block;
    ASSERT_TRUE(block.put_text(255, "old.dat"));
    block.put_real(510, 123.0);
    auto before = snapshot(block);

    EXPECT_FALSE(block.put_text(255, std::string(255, 'x')));
    EXPECT_FALSE(block.put_text(255, std::string(300, 'x')));
    EXPECT_FALSE(block.put_text(255, std::string("a\0b", 3)));
    EXPECT_EQ(snapshot(block), before);
    EXPECT_EQ(block.text(255), "old.dat");

    std::string longest(254, 'y');
    EXPECT_TRUE(block.put_text(255, longest));
    EXPECT_EQ(block.text(255), longest);
    EXPECT_EQ(block.bytes()[255 + 254], 0);
    EXPECT_EQ(block.real(510), 123.0);
}

TEST(settings_block, unterminated_text_reads_as_empty) {
    SettingsBlock block;
    auto b = block.bytes();
    for (std::size_t i = 0; i < 255; ++i) b[i] = 'z';
    b[255] = 'q';
    b[256] = 0;
    EXPECT_EQ(block.text(0), "");
    EXPECT_EQ(block.text(255), "q");
}
