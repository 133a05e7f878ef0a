#include "text_lines.h"

#include <cstring>

#include "point_reader.h"

TextFile open_text_file(const std::string& path) {
    return TextFile(std::fopen(path.c_str(), "rb"));
}

bool read_text_line(std::FILE* file, std::string& line) {
    char buffer[MAX_LINE_CHARS + 1];
    if (std::fgets(buffer, sizeof buffer, file) == nullptr) return false;
    line.assign(buffer, std::strlen(buffer));
    return true;
}
