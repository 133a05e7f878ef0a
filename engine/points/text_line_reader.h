#pragma once
// The lines of a text file exactly as read_text_line gives them, one after another, but
// read 256 KiB at a time and handed out as views into that buffer: a survey of a
// million lines read one character at a time through the stream cost more than
// converting its numbers.

#include <cstdint>
#include <cstdio>
#include <string_view>
#include <vector>

class TextLineReader {
public:
    // Reads `file` from its current position; the file stays the caller's.
    explicit TextLineReader(std::FILE* file);

    // The next line, as read_text_line would give it (at most MAX_LINE_CHARS
    // characters with its line end, cut at a NUL byte, a starting byte-order mark left
    // out). The view holds until the next call. False at the end of the file or on a
    // read error (failed() tells which).
    bool next(std::string_view& line);
    // Starts again at the beginning of the file, clearing its error and end marks.
    void rewind();
    bool failed() const { return std::ferror(file_) != 0; }

private:
    void refill();

    std::FILE* file_;
    std::vector<char> buffer_;
    std::size_t begin_ = 0;          // first byte not handed out
    std::size_t end_ = 0;            // end of the bytes read
    std::uint64_t offset_ = 0;       // file offset of buffer_[begin_]
    bool at_end_ = false;            // the file has no more bytes (or failed)
};
