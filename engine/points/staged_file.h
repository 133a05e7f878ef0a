#pragma once
// A file that appears under its name only whole. It is written under a fresh name beside
// its target, "<target>.XXXXXX.partial" (made with O_EXCL, so never a file that already
// exists, such as the survey a run reads), and renamed over the target by commit(). A
// process killed before that leaves the target exactly as it was, and a file whose name
// says it is partial.
//
// A target that exists but is no regular file (a device such as /dev/full, a pipe) has
// nothing to replace and is written in place. A symbolic link is followed, so that the
// file it names is replaced and the link stays.

#include <cstdint>
#include <string>
#include <string_view>

// What commit() does before the rename.
enum class Durability {
    Renamed,  // closes and renames: whole-or-old against a killed process
    Synced,   // also flushes the file and its folder to the disk: whole-or-old after a
              // power cut too (worth its cost for small files)
};

class StagedFile {
public:
    StagedFile() = default;
    StagedFile(const StagedFile&) = delete;
    StagedFile& operator=(const StagedFile&) = delete;
    ~StagedFile();  // discards a file that was not committed

    // Whether open(target) can succeed, without making anything: the target is no
    // folder, an existing one may be written, and its folder takes a new file.
    static bool can_stage(const std::string& target);

    // Makes the partial file. False (errno set) for a folder, an existing file that may
    // not be written, or a folder where no file can be made.
    bool open(const std::string& target);
    bool is_open() const { return fd_ >= 0; }
    // True when the target is written in place (see above): nothing is renamed.
    bool in_place() const { return partial_.empty(); }

    // Append all of `bytes`, or write them at `offset`; false (errno set) on any failure.
    bool write(std::string_view bytes);
    bool write_at(std::uint64_t offset, std::string_view bytes);
    // Cuts the file back to its first `size` bytes.
    bool truncate(std::uint64_t size);

    // Closes the file and renames it over the target. False (errno set) when a step
    // failed; the partial file is then removed and the target left as it was.
    bool commit(Durability durability);
    // Closes and removes the partial file; the target is left as it was.
    void discard();

private:
    int fd_ = -1;
    std::string target_;   // the file that commit() replaces (a link's own file)
    std::string partial_;  // where the bytes go until then; empty: in place
};
