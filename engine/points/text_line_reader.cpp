#include "engine/points/text_line_reader.h"

#include <sys/stat.h>
#include <sys/types.h>

#include <cstring>

#include "engine/points/point_reader.h"

namespace {

constexpr std::size_t CHUNK_BYTES = std::size_t{256} << 10;

// The bytes read at once: a chunk, or what is left of a regular file from `begin` up to
// `end` when that is less. A file that grows after this still reads to its end, in
// more refills.
std::size_t chunk_bytes(std::FILE* file, std::uint64_t begin, std::uint64_t end) {
    struct stat status {};
    if (::fstat(::fileno(file), &status) != 0 || !S_ISREG(status.st_mode)) return CHUNK_BYTES;
    const auto size = static_cast<std::uint64_t>(status.st_size);
    const std::uint64_t left = size > begin ? (end < size ? end : size) - begin : 0;
    return left < CHUNK_BYTES ? static_cast<std::size_t>(left) : CHUNK_BYTES;
}

}  // namespace

TextLineReader::TextLineReader(std::FILE* file, std::uint64_t begin, std::uint64_t end)
    : file_(file),
      capacity_(chunk_bytes(file, begin, end) + MAX_LINE_CHARS + 1),
      buffer_(std::make_unique_for_overwrite<char[]>(capacity_)),
      first_(begin),
      last_(end),
      offset_(begin),
      position_(begin) {
    if (begin > 0) ::fseeko(file_, static_cast<off_t>(begin), SEEK_SET);
}

void TextLineReader::rewind() {
    // As std::rewind: the seek may fail (a pipe), the marks are cleared all the same.
    ::fseeko(file_, static_cast<off_t>(first_), SEEK_SET);
    std::clearerr(file_);
    begin_ = end_ = 0;
    offset_ = position_ = first_;
    at_end_ = false;
}

void TextLineReader::refill() {
    const std::size_t kept = end_ - begin_;
    std::memmove(buffer_.get(), buffer_.get() + begin_, kept);
    begin_ = 0;
    end_ = kept;
    std::size_t wanted = capacity_ - kept;
    if (last_ - position_ < wanted) wanted = static_cast<std::size_t>(last_ - position_);
    const std::size_t got = wanted > 0 ? std::fread(buffer_.get() + kept, 1, wanted, file_) : 0;
    end_ += got;
    position_ += got;
    if (got < wanted || position_ == last_) at_end_ = true;
}

bool TextLineReader::next(std::string_view& line) {
    // A line and the byte after it (the line feed of a CR LF) must be at hand.
    if (end_ - begin_ <= static_cast<std::size_t>(MAX_LINE_CHARS) && !at_end_) refill();
    const char* text = buffer_.get() + begin_;
    const std::size_t available = end_ - begin_;
    const std::size_t longest =
        available < static_cast<std::size_t>(MAX_LINE_CHARS) ? available : MAX_LINE_CHARS;
    std::size_t n = 0;
    bool ended = false;  // by a line end or by the length limit, not by the end of the data
    while (n < longest) {
        const char c = text[n++];
        if (c == '\n') {
            ended = true;
            break;
        }
        // A lone carriage return ends a line as a line feed does; CR LF is one line end
        // when both fit.
        if (c == '\r') {
            if (n < available && text[n] == '\n' && n < static_cast<std::size_t>(MAX_LINE_CHARS))
                ++n;
            ended = true;
            break;
        }
    }
    if (n == static_cast<std::size_t>(MAX_LINE_CHARS)) ended = true;
    if (n == 0) return false;
    if (!ended && failed()) return false;
    std::size_t first = 0;
    if (offset_ == 0 && n >= 3 && std::memcmp(text, "\xEF\xBB\xBF", 3) == 0) first = 3;
    const void* nul = std::memchr(text + first, '\0', n - first);
    const std::size_t length =
        nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - (text + first)) : n - first;
    line = std::string_view(text + first, length);
    begin_ += n;
    offset_ += n;
    return true;
}
