#include "engine/points/staged_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace {

constexpr std::string_view PARTIAL_SUFFIX = ".partial";

std::string folder_of(const std::string& path) {
    const std::string::size_type slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return path.substr(0, slash == 0 ? 1 : slash);
}

// The file a write to `path` reaches: a symbolic link's target, otherwise path itself.
// A dangling link stays as it is (the committed file then takes its place).
std::string followed(const std::string& path) {
    struct stat link{};
    if (::lstat(path.c_str(), &link) != 0 || !S_ISLNK(link.st_mode)) return path;
    char* real = ::realpath(path.c_str(), nullptr);
    if (!real) return path;
    std::string resolved(real);
    std::free(real);
    return resolved;
}

// What fopen("w") would give a new file, so that staging does not change who may read it.
mode_t new_file_mode() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

bool folder_takes_files(const std::string& folder) {
    struct stat status{};
    return ::stat(folder.c_str(), &status) == 0 && S_ISDIR(status.st_mode) &&
           ::access(folder.c_str(), W_OK | X_OK) == 0;
}

// A rename is only as lasting as the folder entry it changed.
void sync_folder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

}  // namespace

StagedFile::~StagedFile() { discard(); }

bool StagedFile::can_stage(const std::string& target) {
    const std::string real = followed(target);
    struct stat status{};
    if (::stat(real.c_str(), &status) == 0) {
        if (S_ISDIR(status.st_mode) || ::access(real.c_str(), W_OK) != 0) return false;
        if (!S_ISREG(status.st_mode)) return true;
    } else if (errno != ENOENT) {
        return false;
    }
    return folder_takes_files(folder_of(real));
}

bool StagedFile::open(const std::string& target) {
    discard();
    const std::string real = followed(target);
    struct stat status{};
    const bool exists = ::stat(real.c_str(), &status) == 0;
    if (!exists && errno != ENOENT) return false;
    if (exists && S_ISDIR(status.st_mode)) {
        errno = EISDIR;
        return false;
    }
    // A file the user may not write is not replaced either, though its folder would allow it.
    if (exists && ::access(real.c_str(), W_OK) != 0) return false;
    target_ = real;
    if (exists && !S_ISREG(status.st_mode)) {
        fd_ = ::open(real.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
        return fd_ >= 0;
    }
    std::string pattern = real + ".XXXXXX" + std::string(PARTIAL_SUFFIX);
    const int fd = ::mkostemps(pattern.data(), static_cast<int>(PARTIAL_SUFFIX.size()), O_CLOEXEC);
    if (fd < 0) return false;
    fd_ = fd;
    partial_ = pattern;
    if (::fchmod(fd_, exists ? status.st_mode & 07777 : new_file_mode()) != 0) {
        discard();
        return false;
    }
    return true;
}

bool StagedFile::write(std::string_view bytes) {
    const char* data = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(fd_, data, left);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) {
            if (written == 0) errno = EIO;
            return false;
        }
        data += written;
        left -= static_cast<std::size_t>(written);
    }
    return true;
}

bool StagedFile::write_at(std::uint64_t offset, std::string_view bytes) {
    const char* data = bytes.data();
    std::size_t left = bytes.size();
    auto at = static_cast<off_t>(offset);
    while (left > 0) {
        const ssize_t written = ::pwrite(fd_, data, left, at);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) {
            if (written == 0) errno = EIO;
            return false;
        }
        data += written;
        at += written;
        left -= static_cast<std::size_t>(written);
    }
    return true;
}

bool StagedFile::truncate(std::uint64_t size) {
    const auto end = static_cast<off_t>(size);
    // The next write continues at the new end, not past it with a hole.
    return ::ftruncate(fd_, end) == 0 && ::lseek(fd_, end, SEEK_SET) == end;
}

bool StagedFile::commit(Durability durability) {
    if (fd_ < 0) {
        errno = EBADF;
        return false;
    }
    const bool synced = durability == Durability::Renamed || in_place() || ::fsync(fd_) == 0;
    int saved = errno;
    const bool closed = ::close(fd_) == 0;
    if (!closed) saved = errno;
    fd_ = -1;
    if (in_place()) {
        errno = saved;
        return synced && closed;
    }
    if (!synced || !closed || ::rename(partial_.c_str(), target_.c_str()) != 0) {
        if (synced && closed) saved = errno;
        discard();
        errno = saved;
        return false;
    }
    partial_.clear();
    if (durability == Durability::Synced) sync_folder(folder_of(target_));
    return true;
}

void StagedFile::discard() {
    const int saved = errno;
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    if (!partial_.empty()) ::unlink(partial_.c_str());
    partial_.clear();
    errno = saved;
}
