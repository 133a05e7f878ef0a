#include "settings/settings_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

std::string reason(const char* what) {
    return std::string(what) + ": " + std::strerror(errno);
}

// The mode a file created by fopen("wb") would get, or the old file's own mode, so
// that replacing the file does not change who may read it.
mode_t mode_for(const std::string& path) {
    struct stat old {};
    if (::stat(path.c_str(), &old) == 0) return old.st_mode & 07777;
    mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

bool write_all(int fd, const std::uint8_t* data, std::size_t size) {
    while (size > 0) {
        ssize_t written = ::write(fd, data, size);
        if (written < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (written == 0) {
            errno = EIO;
            return false;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

}  // namespace

std::string replace_file_extension(const std::string& path, const std::string& extension) {
    std::size_t name_start = path.find_last_of('/');
    name_start = name_start == std::string::npos ? 0 : name_start + 1;
    std::size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || dot < name_start) return path + extension;
    return path.substr(0, dot) + extension;
}

std::string settings_file_path() {
    std::vector<char> buffer(4096);
    ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (length <= 0 || static_cast<std::size_t>(length) >= buffer.size()) return {};
    return replace_file_extension(std::string(buffer.data(), static_cast<std::size_t>(length)),
                                  ".cfg");
}

SettingsReadStatus read_settings_file(const std::string& path, SettingsBlock& block) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        return errno == ENOENT || errno == ENOTDIR ? SettingsReadStatus::NoFile
                                                   : SettingsReadStatus::Failed;
    }
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return SettingsReadStatus::Failed;
    auto bytes = block.bytes();
    std::size_t got = std::fread(bytes.data(), 1, bytes.size(), file);
    bool failed = got < bytes.size() && std::ferror(file);
    std::fclose(file);
    return failed ? SettingsReadStatus::Failed : SettingsReadStatus::Read;
}

SettingsWriteResult write_settings_file(const std::string& path, const SettingsBlock& block) {
    if (path.empty()) return {false, "no settings file path"};
    std::string pattern = path + ".XXXXXX";
    std::vector<char> temp(pattern.begin(), pattern.end());
    temp.push_back('\0');
    int fd = ::mkstemp(temp.data());
    if (fd < 0) return {false, reason("cannot create a temporary file")};

    const char* temp_path = temp.data();
    auto give_up = [&](const char* what, bool close_fd) {
        SettingsWriteResult result{false, reason(what)};
        if (close_fd) ::close(fd);
        ::unlink(temp_path);
        return result;
    };
    auto bytes = block.bytes();
    if (::fchmod(fd, mode_for(path)) != 0) return give_up("cannot set the file mode", true);
    if (!write_all(fd, bytes.data(), bytes.size())) return give_up("cannot write", true);
    if (::fsync(fd) != 0) return give_up("cannot flush", true);
    if (::close(fd) != 0) return give_up("cannot close", false);
    if (::rename(temp_path, path.c_str()) != 0) return give_up("cannot replace the file", false);
    return {true, {}};
}
