#include "engine/points/text_output.h"

namespace {

constexpr std::size_t FLUSH_BYTES = std::size_t{256} << 10;

}  // namespace

TextOutput::~TextOutput() {
    if (file_) {
        flush();
        std::fclose(file_);
    }
}

bool TextOutput::open(const std::string& path) {
    if (file_) close();
    file_ = std::fopen(path.c_str(), "w");
    return file_ != nullptr;
}

bool TextOutput::write(std::string_view text) {
    if (!file_) return false;
    pending_.append(text);
    return pending_.size() < FLUSH_BYTES || flush();
}

bool TextOutput::flush() {
    const bool written =
        std::fwrite(pending_.data(), 1, pending_.size(), file_) == pending_.size();
    pending_.clear();
    return written;
}

bool TextOutput::close() {
    if (!file_) return true;
    const bool flushed = flush();
    // ferror catches a write that failed after an earlier fwrite had reported success
    // (stream buffering); fclose reports the final flush.
    const bool had_error = std::ferror(file_) != 0;
    const bool closed = std::fclose(file_) == 0;
    file_ = nullptr;
    return flushed && !had_error && closed;
}
