#include "orvgrid/files/file_output.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

bool write_whole_file(const std::string& name, std::string_view bytes) {
    std::FILE* file = std::fopen(name.c_str(), "wb");
    if (!file) return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    const bool closed = std::fclose(file) == 0;
    if (written && closed) return true;
    remove_partial_file(name);
    return false;
}

void remove_partial_file(const std::string& name) {
    std::error_code error;
    if (std::filesystem::is_regular_file(name, error)) std::filesystem::remove(name, error);
}
