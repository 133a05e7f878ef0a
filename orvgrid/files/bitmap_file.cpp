#include <cstdint>

#include "orvgrid/files/file_output.h"
#include "orvgrid/files/image_files.h"

namespace {

void put_u16(std::string& out, std::uint32_t v) {
    out.push_back(static_cast<char>(v & 0xFFu));
    out.push_back(static_cast<char>((v >> 8) & 0xFFu));
}

void put_u32(std::string& out, std::uint32_t v) {
    put_u16(out, v & 0xFFFFu);
    put_u16(out, v >> 16);
}

constexpr std::uint32_t FILE_HEADER_SIZE = 14;
constexpr std::uint32_t INFO_HEADER_SIZE = 40;

}  // namespace

FileWriteResult write_bitmap_file(const RgbImage& image, const std::string& name) {
    const std::string failure = "Cannot write image file " + name;
    if (image.width <= 0 || image.height <= 0) return {false, failure};

    const std::uint32_t width = static_cast<std::uint32_t>(image.width);
    const std::uint32_t height = static_cast<std::uint32_t>(image.height);
    const std::uint32_t stride = (width * 3u + 3u) & ~3u;
    const std::uint32_t data_size = stride * height;
    const std::uint32_t data_offset = FILE_HEADER_SIZE + INFO_HEADER_SIZE;

    std::string bytes;
    bytes.reserve(data_offset + data_size);
    bytes += "BM";
    put_u32(bytes, data_offset + data_size);
    put_u32(bytes, 0);  // two reserved words
    put_u32(bytes, data_offset);

    put_u32(bytes, INFO_HEADER_SIZE);
    put_u32(bytes, width);
    put_u32(bytes, height);  // positive: rows stored from the bottom
    put_u16(bytes, 1);       // planes
    put_u16(bytes, 24);      // bits a pixel
    put_u32(bytes, 0);       // no compression
    put_u32(bytes, data_size);
    put_u32(bytes, 0);  // pixels a metre, x and y: not recorded
    put_u32(bytes, 0);
    put_u32(bytes, 0);  // no colour table
    put_u32(bytes, 0);

    for (int y = image.height - 1; y >= 0; --y) {
        const std::size_t row_start = bytes.size();
        for (int x = 0; x < image.width; ++x) {
            const std::uint8_t* p = image.pixel(x, y);
            bytes.push_back(static_cast<char>(p[2]));  // stored blue, green, red
            bytes.push_back(static_cast<char>(p[1]));
            bytes.push_back(static_cast<char>(p[0]));
        }
        bytes.resize(row_start + stride, '\0');
    }
    if (!write_whole_file(name, bytes)) return {false, failure};
    return {true, {}};
}
