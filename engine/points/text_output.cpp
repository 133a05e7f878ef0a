#include "engine/points/text_output.h"

TextOutput::~TextOutput() {
    if (file_) std::fclose(file_);
}

bool TextOutput::open(const std::string& path) {
    if (file_) close();
    file_ = std::fopen(path.c_str(), "w");
    return file_ != nullptr;
}

bool TextOutput::write(const std::string& text) {
    if (!file_) return false;
    if (text.empty()) return true;
    return std::fwrite(text.data(), 1, text.size(), file_) == text.size();
}

bool TextOutput::close() {
    if (!file_) return true;
    // ferror catches a write that failed after an earlier fwrite had reported success
    // (stream buffering); fclose reports the final flush.
    const bool had_error = std::ferror(file_) != 0;
    const bool closed = std::fclose(file_) == 0;
    file_ = nullptr;
    return !had_error && closed;
}
