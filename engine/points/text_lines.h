#pragma once
// Reading column text the way every text file of the program is read: at most
// MAX_LINE_CHARS characters at a time, the line end kept when it fits.

#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

// Opens a file for reading in binary mode, so that a carriage return reaches the line
// filter as a character; null when it cannot be opened.
struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using TextFile = std::unique_ptr<std::FILE, FileCloser>;
TextFile open_text_file(const std::string& path);

// Reads the next line into `line`: up to and including its line end ("\n", "\r\n" or a
// lone "\r"), but never more than MAX_LINE_CHARS characters (the rest comes as the next
// line); cut at a NUL byte. A UTF-8 byte-order mark that starts the file is left out.
// False at the end of the file or on a read error (std::ferror tells which).
bool read_text_line(std::FILE* file, std::string& line);

// Calls each_token(std::string_view) for every token of a line split at blanks: runs of
// blanks are one separator, leading blanks are skipped, a CR or LF ends the line.
template <typename EachToken>
void for_each_token(std::string_view line, EachToken&& each_token) {
    std::size_t i = 0;
    const std::size_t n = line.size();
    while (i < n) {
        while (i < n && line[i] == ' ') ++i;
        if (i >= n || line[i] == '\r' || line[i] == '\n') break;
        const std::size_t start = i;
        while (i < n && line[i] != ' ' && line[i] != '\r' && line[i] != '\n') ++i;
        each_token(std::string_view(line.data() + start, i - start));
    }
}
