#pragma once
// The input of one fuzz run as a file the readers can open by name: an anonymous
// in-memory file, rewritten for every input, so fuzzing touches no disk. Files a run
// writes go to a folder of the harness's own: they are written beside their name and
// renamed into place, which an anonymous file cannot give them.

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

class FuzzFile {
public:
    FuzzFile() : fd_(::memfd_create("orvane_fuzz", 0)) {
        if (fd_ < 0) std::abort();
        path_ = "/proc/self/fd/" + std::to_string(fd_);
    }
    FuzzFile(const FuzzFile&) = delete;
    FuzzFile& operator=(const FuzzFile&) = delete;

    // Replaces the file's content with the bytes given; aborts if that fails, so that a
    // broken harness is never mistaken for a clean run.
    const std::string& hold(const std::uint8_t* data, std::size_t size) {
        if (::ftruncate(fd_, 0) != 0) std::abort();
        std::size_t done = 0;
        while (done < size) {
            const ssize_t n = ::pwrite(fd_, data + done, size - done, static_cast<off_t>(done));
            if (n <= 0) std::abort();
            done += static_cast<std::size_t>(n);
        }
        return path_;
    }

private:
    int fd_;
    std::string path_;
};

// A temporary folder made once for the whole fuzzing process and removed with what it
// holds when the process ends.
inline const std::string& fuzz_folder() {
    struct Folder {
        std::string path;
        Folder() {
            char name[] = "/tmp/orvane_fuzz_XXXXXX";
            if (!::mkdtemp(name)) std::abort();
            path = name;
        }
        ~Folder() {
            std::error_code ignored;
            std::filesystem::remove_all(path, ignored);
        }
    };
    static const Folder folder;
    return folder.path;
}
