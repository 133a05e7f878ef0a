#pragma once
// A text file being written, whose every write and whose close are checked: a full disk
// must end the run with a message, never pass as success.

#include <cstdio>
#include <string>
#include <string_view>

class TextOutput {
public:
    TextOutput() = default;
    TextOutput(const TextOutput&) = delete;
    TextOutput& operator=(const TextOutput&) = delete;
    ~TextOutput();  // closes a file still open, ignoring errors (an exit already failing)

    // Creates the file anew (an existing one is truncated). False when it cannot be created.
    bool open(const std::string& path);
    // False when the text could not be written whole (or an earlier text, kept until
    // enough had gathered, could not).
    bool write(std::string_view text);
    // Flushes and closes; false when anything written since open was lost. Closing a file
    // that is not open is true.
    bool close();
    bool is_open() const { return file_ != nullptr; }

private:
    bool flush();

    std::FILE* file_ = nullptr;
    // Texts gathered for one large write (256 KiB): a million result rows written one by one cost
    // more in the stream's per-call work than the writing itself.
    std::string pending_;
};
