#include <csetjmp>
#include <cstdio>
// jpeglib.h needs FILE and size_t declared before it.
#include <jpeglib.h>

#include "orvgrid/files/file_output.h"
#include "orvgrid/files/image_files.h"

namespace {

// libjpeg ends a failed compression through error_exit; the default one calls exit().
// This one keeps the text and jumps back to the caller of compress_to.
struct JpegErrors {
    jpeg_error_mgr base;
    std::jmp_buf jump;
    char text[JMSG_LENGTH_MAX];
};

[[noreturn]] void jump_on_error(j_common_ptr info) {
    JpegErrors* errors = reinterpret_cast<JpegErrors*>(info->err);
    (*info->err->format_message)(info, errors->text);
    std::longjmp(errors->jump, 1);
}

// Compresses the image into an open file. No object with a destructor may live in this
// frame: a libjpeg error leaves it by longjmp. On false, `text` holds libjpeg's reason.
bool compress_to(std::FILE* file, const RgbImage& image, char (&text)[JMSG_LENGTH_MAX]) {
    jpeg_compress_struct info;
    JpegErrors errors;
    info.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = jump_on_error;
    errors.text[0] = '\0';
    if (setjmp(errors.jump)) {
        jpeg_destroy_compress(&info);
        for (int i = 0; i < JMSG_LENGTH_MAX; ++i) text[i] = errors.text[i];
        return false;
    }
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, file);
    info.image_width = static_cast<JDIMENSION>(image.width);
    info.image_height = static_cast<JDIMENSION>(image.height);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 90, TRUE);
    jpeg_start_compress(&info, TRUE);
    const std::size_t row_bytes = static_cast<std::size_t>(image.width) * 3;
    while (info.next_scanline < info.image_height) {
        // libjpeg only reads the rows it is given; the cast is for its C signature.
        JSAMPROW row = const_cast<JSAMPLE*>(image.pixels.data() + info.next_scanline * row_bytes);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return true;
}

}  // namespace

FileWriteResult write_jpeg_file(const RgbImage& image, const std::string& name) {
    const std::string failure = "Cannot write image file " + name;
    if (image.width <= 0 || image.height <= 0) return {false, failure};
    std::FILE* file = std::fopen(name.c_str(), "wb");
    if (!file) return {false, failure};

    char text[JMSG_LENGTH_MAX] = {};
    const bool compressed = compress_to(file, image, text);
    const bool flushed = compressed && std::fflush(file) == 0 && !std::ferror(file);
    const bool closed = std::fclose(file) == 0;
    if (compressed && flushed && closed) return {true, {}};
    remove_partial_file(name);
    if (!compressed && text[0] != '\0') return {false, failure + " (" + text + ")"};
    return {false, failure};
}
