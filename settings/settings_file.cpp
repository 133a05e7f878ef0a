#include "settings/settings_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "engine/points/staged_file.h"

namespace {

std::string reason(const char* what) {
    return std::string(what) + ": " + std::strerror(errno);
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
    StagedFile file;
    if (!file.open(path)) return {false, reason("cannot create a temporary file")};
    const auto bytes = block.bytes();
    if (!file.write({reinterpret_cast<const char*>(bytes.data()), bytes.size()})) {
        SettingsWriteResult failed{false, reason("cannot write")};
        file.discard();
        return failed;
    }
    if (!file.commit(Durability::Synced)) return {false, reason("cannot replace the file")};
    return {true, {}};
}
