#pragma once
// The lines of a text file exactly as read_text_line gives them, one after another, but
// read 256 KiB at a time and handed out as views into that buffer: a survey of a
// million lines read one character at a time through the stream cost more than
// converting its numbers. A file shorter than a chunk gets a buffer of its own size,
// left uncleared: mapping and clearing a quarter megabyte for a file of a few lines
// cost more than reading it.

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string_view>

class TextLineReader {
public:
    // Reads `file` from byte `begin` up to byte `end` (to its end by default); the file
    // stays the caller's. A part that starts after a line feed gives the same lines as
    // the whole file gives there: a line feed always ends a line.
    explicit TextLineReader(std::FILE* file, std::uint64_t begin = 0,
                            std::uint64_t end = UINT64_MAX);

    // The next line, as read_text_line would give it (at most MAX_LINE_CHARS
    // characters with its line end, cut at a NUL byte, a starting byte-order mark left
    // out). The view holds until the next call. False at the end of the file or on a
    // read error (failed() tells which).
    bool next(std::string_view& line);
    // Starts again at `begin`, clearing the file's error and end marks.
    void rewind();
    bool failed() const { return std::ferror(file_) != 0; }

private:
    void refill();

    std::FILE* file_;
    std::size_t capacity_;
    std::unique_ptr<char[]> buffer_;  // capacity_ bytes, filled only as far as read
    std::size_t begin_ = 0;           // first byte not handed out
    std::size_t end_ = 0;             // end of the bytes read
    std::uint64_t first_ = 0;         // where the part starts
    std::uint64_t last_ = 0;          // where it ends
    std::uint64_t offset_ = 0;        // file offset of buffer_[begin_]
    std::uint64_t position_ = 0;      // file offset of buffer_[end_]
    bool at_end_ = false;             // the part has no more bytes (or the file failed)
};
