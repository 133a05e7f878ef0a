#include <csetjmp>
#include <cstdio>
// jpeglib.h needs FILE and size_t declared before it.
#include <jpeglib.h>

#include "engine/points/staged_file.h"
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

// libjpeg's output, passed on to a staged file a chunk at a time. A failed write is only
// noted: the compression goes on to its end and the caller then gives the file up.
struct StagedDestination {
    jpeg_destination_mgr base;
    StagedFile* file;
    bool failed;
    JOCTET chunk[16384];
};

void start_chunk(j_compress_ptr info) {
    StagedDestination* d = reinterpret_cast<StagedDestination*>(info->dest);
    d->base.next_output_byte = d->chunk;
    d->base.free_in_buffer = sizeof d->chunk;
}

void pass_on(StagedDestination* d, std::size_t size) {
    if (!d->failed && !d->file->write({reinterpret_cast<const char*>(d->chunk), size}))
        d->failed = true;
}

boolean chunk_full(j_compress_ptr info) {
    StagedDestination* d = reinterpret_cast<StagedDestination*>(info->dest);
    pass_on(d, sizeof d->chunk);
    start_chunk(info);
    return TRUE;
}

void last_chunk(j_compress_ptr info) {
    StagedDestination* d = reinterpret_cast<StagedDestination*>(info->dest);
    pass_on(d, sizeof d->chunk - d->base.free_in_buffer);
}

// Compresses the image into a staged file. No object with a destructor may live in this
// frame: a libjpeg error leaves it by longjmp. On false, `text` holds libjpeg's reason.
bool compress_to(StagedDestination& destination, const RgbImage& image,
                 char (&text)[JMSG_LENGTH_MAX]) {
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
    destination.base.init_destination = start_chunk;
    destination.base.empty_output_buffer = chunk_full;
    destination.base.term_destination = last_chunk;
    info.dest = &destination.base;
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
    StagedFile file;
    if (!file.open(name)) return {false, failure};

    StagedDestination destination{};
    destination.file = &file;
    char text[JMSG_LENGTH_MAX] = {};
    const bool compressed = compress_to(destination, image, text);
    if (compressed && !destination.failed && file.commit(Durability::Synced)) return {true, {}};
    file.discard();
    if (!compressed && text[0] != '\0') return {false, failure + " (" + text + ")"};
    return {false, failure};
}
