#pragma once
// A text file being written, whose every write and whose close are checked: a full disk
// must end the run with a message, never pass as success. The file is staged (see
// StagedFile): it takes its name only when closed, so a run killed on the way leaves the
// previous file of that name as it was and a "<name>.XXXXXX.partial" beside it.

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/points/staged_file.h"

class TextOutput {
public:
    TextOutput() = default;
    TextOutput(const TextOutput&) = delete;
    TextOutput& operator=(const TextOutput&) = delete;
    ~TextOutput();  // closes a file still open, keeping what it holds, ignoring errors

    // Starts the file anew (an existing one is replaced at close). False when it cannot be
    // created: a folder, a file that may not be written, a folder that takes no file.
    bool open(const std::string& path);
    // The first text of the file: `line` (ending in '\n') is written at the start of the
    // file only when it is closed; until then the file begins with `stand_in`, cut or
    // padded with blanks to the same length, so that a file cut short by a kill says so
    // from its first line. A file written in place gets `line` at once.
    bool hold_first_line(std::string_view line, std::string_view stand_in);
    // False when the text could not be written whole (or an earlier text, kept until
    // enough had gathered, could not). After a failure the file ends with the last text
    // written whole, never inside one, and takes no more.
    bool write(std::string_view text);
    // Writes what is gathered and the held first line, and gives the file its name; false
    // when anything written since open was lost. Closing a file that is not open is true.
    bool close();
    bool is_open() const { return file_.is_open(); }

private:
    bool flush();

    StagedFile file_;
    // Texts gathered for one large write (256 KiB): a million result rows written one by one cost
    // more in the per-call work than the writing itself.
    std::string pending_;
    std::string held_line_;
    std::uint64_t whole_size_ = 0;  // the file's bytes, all of them whole texts
    bool failed_ = false;
};
