#include "orvgrid/files/image_files.h"

#include <gtest/gtest.h>

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <unistd.h>

#include <jpeglib.h>

#include "tests/support/address_space.h"

namespace fs = std::filesystem;

namespace {

std::string temp_name(const std::string& leaf) {
    return (fs::temp_directory_path() / ("orvgrid_" + std::to_string(::getpid()) + "_" + leaf))
        .string();
}

std::string read_file(const std::string& name) {
    std::ifstream in(name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::uint32_t u32_at(const std::string& bytes, std::size_t at) {
    std::uint32_t v = 0;
    for (int b = 3; b >= 0; --b) v = v * 256 + static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(b)]);
    return v;
}

std::uint32_t u16_at(const std::string& bytes, std::size_t at) {
    return static_cast<unsigned char>(bytes[at]) + 256u * static_cast<unsigned char>(bytes[at + 1]);
}

// 3 x 2 image: pixel (x, y) is (10 x + 1, 100 y + 2, 200).
RgbImage small_image() {
    RgbImage image;
    image.width = 3;
    image.height = 2;
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            image.pixels.insert(image.pixels.end(), {static_cast<std::uint8_t>(10 * x + 1),
                                                     static_cast<std::uint8_t>(100 * y + 2), 200});
    return image;
}

struct Decoded {
    bool ok = false;
    int width = 0, height = 0, components = 0;
    bool progressive = true;
    std::vector<std::uint8_t> pixels;
};

struct DecodeErrors {
    jpeg_error_mgr base;
    std::jmp_buf jump;
};

[[noreturn]] void decode_error(j_common_ptr info) {
    std::longjmp(reinterpret_cast<DecodeErrors*>(info->err)->jump, 1);
}

void decode_into(std::FILE* file, Decoded& out) {
    jpeg_decompress_struct info;
    DecodeErrors errors;
    info.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = decode_error;
    if (setjmp(errors.jump)) {
        jpeg_destroy_decompress(&info);
        return;
    }
    jpeg_create_decompress(&info);
    jpeg_stdio_src(&info, file);
    jpeg_read_header(&info, TRUE);
    out.progressive = jpeg_has_multiple_scans(&info);
    out.components = info.num_components;
    jpeg_start_decompress(&info);
    out.width = static_cast<int>(info.output_width);
    out.height = static_cast<int>(info.output_height);
    out.pixels.resize(static_cast<std::size_t>(out.width) * out.height * info.output_components);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = out.pixels.data() + static_cast<std::size_t>(info.output_scanline) *
                                               out.width * info.output_components;
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    out.ok = true;
}

Decoded decode_jpeg(const std::string& name) {
    Decoded out;
    std::FILE* file = std::fopen(name.c_str(), "rb");
    if (!file) return out;
    decode_into(file, out);
    std::fclose(file);
    return out;
}

}  // namespace

TEST(image_files, bitmap_headers_and_pixels) {
    const std::string name = temp_name("small.bmp");
    const FileWriteResult result = write_bitmap_file(small_image(), name);
    ASSERT_TRUE(result.ok) << result.message;
    const std::string bytes = read_file(name);
    fs::remove(name);
    ASSERT_EQ(bytes.size(), 54u + 2 * 12);  // rows of 9 bytes padded to 12
    EXPECT_EQ(bytes.substr(0, 2), "BM");
    EXPECT_EQ(u32_at(bytes, 2), 78u);   // file size
    EXPECT_EQ(u32_at(bytes, 6), 0u);    // reserved
    EXPECT_EQ(u32_at(bytes, 10), 54u);  // pixel data offset
    EXPECT_EQ(u32_at(bytes, 14), 40u);  // BITMAPINFOHEADER
    EXPECT_EQ(u32_at(bytes, 18), 3u);
    EXPECT_EQ(u32_at(bytes, 22), 2u);   // positive height: bottom-up
    EXPECT_EQ(u16_at(bytes, 26), 1u);
    EXPECT_EQ(u16_at(bytes, 28), 24u);
    EXPECT_EQ(u32_at(bytes, 30), 0u);   // uncompressed
    EXPECT_EQ(u32_at(bytes, 34), 24u);
    // First stored row is the bottom image row (y = 1), blue green red.
    auto px = [&](std::size_t at) {
        return std::vector<int>{static_cast<unsigned char>(bytes[at]),
                                static_cast<unsigned char>(bytes[at + 1]),
                                static_cast<unsigned char>(bytes[at + 2])};
    };
    EXPECT_EQ(px(54), (std::vector<int>{200, 102, 1}));       // (0, 1)
    EXPECT_EQ(px(54 + 6), (std::vector<int>{200, 102, 21}));  // (2, 1)
    EXPECT_EQ(px(66), (std::vector<int>{200, 2, 1}));         // (0, 0)
    EXPECT_EQ(bytes.substr(63, 3), std::string(3, '\0'));     // padding
}

TEST(image_files, jpeg_decodes_back_as_baseline_rgb) {
    RgbImage image;
    image.width = 17;
    image.height = 9;
    for (int i = 0; i < 17 * 9; ++i) image.pixels.insert(image.pixels.end(), {217, 195, 0});
    // The name says bitmap; the data must still be JPEG.
    const std::string name = temp_name("looks_like.bmp");
    const FileWriteResult result = write_jpeg_file(image, name);
    ASSERT_TRUE(result.ok) << result.message;
    const std::string bytes = read_file(name);
    ASSERT_GE(bytes.size(), 4u);
    EXPECT_EQ(static_cast<unsigned char>(bytes[0]), 0xFF);
    EXPECT_EQ(static_cast<unsigned char>(bytes[1]), 0xD8);
    const Decoded decoded = decode_jpeg(name);
    fs::remove(name);
    ASSERT_TRUE(decoded.ok);
    EXPECT_EQ(decoded.width, 17);
    EXPECT_EQ(decoded.height, 9);
    EXPECT_EQ(decoded.components, 3);
    EXPECT_FALSE(decoded.progressive);
    for (std::size_t i = 0; i < decoded.pixels.size(); i += 3) {
        EXPECT_NEAR(decoded.pixels[i], 217, 4);
        EXPECT_NEAR(decoded.pixels[i + 1], 195, 4);
        EXPECT_NEAR(decoded.pixels[i + 2], 0, 4);
    }
}

TEST(image_files, unwritable_names_fail_with_a_message) {
    const std::string missing = "/nonexistent_orvane_folder/x.bmp";
    for (const FileWriteResult& result :
         {write_bitmap_file(small_image(), missing), write_jpeg_file(small_image(), missing)}) {
        EXPECT_FALSE(result.ok);
        EXPECT_EQ(result.message, "Cannot write image file " + missing);
    }
    const FileWriteResult empty = write_bitmap_file(RgbImage{}, temp_name("empty.bmp"));
    EXPECT_FALSE(empty.ok);
    EXPECT_FALSE(fs::exists(temp_name("empty.bmp")));
}

TEST(image_files, full_device_is_reported_and_not_removed) {
    if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full here";
    const FileWriteResult bitmap = write_bitmap_file(small_image(), "/dev/full");
    EXPECT_FALSE(bitmap.ok);
    EXPECT_EQ(bitmap.message, "Cannot write image file /dev/full");
    const FileWriteResult jpeg = write_jpeg_file(small_image(), "/dev/full");
    EXPECT_FALSE(jpeg.ok);
    EXPECT_EQ(jpeg.message.rfind("Cannot write image file /dev/full", 0), 0u) << jpeg.message;
    EXPECT_TRUE(fs::exists("/dev/full"));
}

// An older picture of the name is replaced whole or not at all: a write that cannot be
// made (here the partial file's name passes the file system's limit of 255 bytes, which
// stops root too) keeps it, and a write that succeeds leaves nothing beside it.
TEST(image_files, an_older_picture_is_replaced_whole_or_kept) {
    const fs::path folder = temp_name("replace");
    fs::create_directories(folder);
    const std::string long_name = (folder / (std::string(246, 'p') + ".bmp")).string();
    const std::string short_name = (folder / "cba.jpg").string();
    for (const std::string& name : {long_name, short_name})
        std::ofstream(name, std::ios::binary) << "older picture";

    EXPECT_FALSE(write_bitmap_file(small_image(), long_name).ok);
    EXPECT_FALSE(write_jpeg_file(small_image(), long_name).ok);
    EXPECT_EQ(read_file(long_name), "older picture");

    ASSERT_TRUE(write_jpeg_file(small_image(), short_name).ok);
    EXPECT_TRUE(decode_jpeg(short_name).ok);
    std::size_t files = 0;
    for (const auto& entry : fs::directory_iterator(folder)) files += entry.is_regular_file();
    EXPECT_EQ(files, 2u);
    fs::remove_all(folder);
}

TEST(image_files, surfer_grid_layout) {
    PreviewGrid grid;
    grid.nx = 3;
    grid.ny = 2;
    grid.cell_size = 10.0;
    grid.origin_x = 100.0;
    grid.origin_y = 200.0;
    grid.x_offset = 100.0;
    grid.y_offset = 50.0;
    // Node (i, j) at i * ny + j.
    grid.values = {1.0f, 4.0f, 2.0f, BLANK_VALUE, 3.5f, 6.0f};
    const std::string name = temp_name("grid.grd");
    const FileWriteResult result = write_surfer_grid(grid, name);
    ASSERT_TRUE(result.ok) << result.message;
    EXPECT_EQ(read_file(name),
              "DSAA\n"
              "3 2\n"
              "0 20\n"
              "150 160\n"
              "1 6\n"
              "1 2 3.5\n"
              "4 1.70141e38 6\n");
    fs::remove(name);
}

// A grid's text is several times its values: it goes to the file a piece at a time, so
// a grid that fits in memory is written with little room to spare. Every value reads
// back to the same float.
TEST(image_files, surfer_grid_larger_than_the_memory_left_is_written_in_pieces) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer reserves more address space than any limit allows";
#endif
    PreviewGrid grid;
    grid.nx = 1500;
    grid.ny = 1000;
    grid.cell_size = 2.0;
    grid.values.resize(grid.nx * grid.ny);
    for (std::size_t k = 0; k < grid.values.size(); ++k)
        grid.values[k] = k % 101 == 0 ? BLANK_VALUE : 1000.0f + static_cast<float>(k) * 0.0123f;
    const std::string name = temp_name("large.grd");
    // About 20 MB of text, more than the room left.
    ASSERT_TRUE(passes_with_room([&] { return write_surfer_grid(grid, name).ok; }, rlim_t{8} << 20));

    std::ifstream in(name);
    std::string word;
    for (int k = 0; k < 9; ++k) in >> word;  // DSAA and the four pairs
    for (std::size_t j = 0; j < grid.ny; ++j)
        for (std::size_t i = 0; i < grid.nx; ++i) {
            ASSERT_TRUE(in >> word) << i << "," << j;
            const float z = grid.at(i, j);
            if (is_blank(z)) {
                ASSERT_EQ(word, "1.70141e38");
            } else {
                ASSERT_EQ(std::strtof(word.c_str(), nullptr), z) << i << "," << j;
            }
        }
    EXPECT_FALSE(in >> word);
    fs::remove(name);
}

TEST(image_files, surfer_grid_all_blank_and_empty) {
    PreviewGrid grid;
    grid.nx = 1;
    grid.ny = 1;
    grid.cell_size = 0.5;
    grid.origin_x = 1.25;
    grid.values = {BLANK_VALUE};
    const std::string name = temp_name("blank.grd");
    ASSERT_TRUE(write_surfer_grid(grid, name).ok);
    EXPECT_EQ(read_file(name), "DSAA\n1 1\n1.25 1.25\n0 0\n0 0\n1.70141e38\n");
    fs::remove(name);

    const FileWriteResult empty = write_surfer_grid(PreviewGrid{}, name);
    EXPECT_FALSE(empty.ok);
    EXPECT_FALSE(fs::exists(name));
}
