#include "engine/points/text_lines.h"

#include <cstring>

#include "engine/points/point_reader.h"

TextFile open_text_file(const std::string& path) {
    return TextFile(std::fopen(path.c_str(), "rb"));
}

std::string cannot_open_message(const std::string& path, int error) {
    return "Cannot open input data file\n" + path + ": " + std::strerror(error);
}

bool read_text_line(std::FILE* file, std::string& line) {
    // A lone carriage return ends a line as a line feed does: files with the old
    // CR-only line ends would otherwise come as a few long lines whose pieces are read
    // as points made of the wrong columns.
    char buffer[MAX_LINE_CHARS + 1];
    std::size_t n = 0;
    int c = EOF;
    // One lock for the whole line instead of one per character: the locked getc made
    // reading a survey of a million lines several times slower than the parsing.
    flockfile(file);
    while (n < MAX_LINE_CHARS && (c = getc_unlocked(file)) != EOF) {
        buffer[n++] = static_cast<char>(c);
        if (c == '\n') break;
        if (c == '\r') {
            const int next = getc_unlocked(file);
            if (next == '\n' && n < MAX_LINE_CHARS) {
                buffer[n++] = '\n';
            } else if (next != EOF) {
                std::ungetc(next, file);
            }
            break;
        }
    }
    funlockfile(file);
    if (n == 0) return false;
    if (c == EOF && std::ferror(file)) return false;
    buffer[n] = '\0';
    // A UTF-8 byte-order mark at the start of the file is no part of its first line:
    // left in, it would make a first line of numbers fail the numeric test.
    std::size_t first = 0;
    if (n >= 3 && std::memcmp(buffer, "\xEF\xBB\xBF", 3) == 0 &&
        std::ftell(file) == static_cast<long>(n))
        first = 3;
    line.assign(buffer + first, std::strlen(buffer + first));
    return true;
}
