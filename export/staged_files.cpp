#include "export/staged_files.h"

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <string_view>
#include <system_error>

namespace fs = std::filesystem;

namespace {

constexpr std::string_view STAGING_PREFIX = ".orvane-export-";

// Whether the process that named a staging folder is gone, so that nothing writes into it
// any more: a killed export leaves its folder behind. A process that runs, or one this
// process may not ask about, keeps its folder.
bool owner_is_gone(const std::string& name) {
    if (name.rfind(STAGING_PREFIX, 0) != 0) return false;
    char* end = nullptr;
    const long pid = std::strtol(name.c_str() + STAGING_PREFIX.size(), &end, 10);
    if (pid <= 0 || *end != '-') return false;
    return ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
}

void remove_abandoned_staging(const fs::path& folder) {
    std::error_code failed;
    std::vector<fs::path> abandoned;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder, failed))
        if (owner_is_gone(entry.path().filename().string())) abandoned.push_back(entry.path());
    for (const fs::path& path : abandoned) fs::remove_all(path, failed);
}

}  // namespace

StagedFiles::~StagedFiles() { discard(); }

std::string StagedFiles::open(const fs::path& folder) {
    discard();
    std::error_code failed;
    remove_abandoned_staging(folder);
    // Named after the process, with a counter for several exports of one process.
    static std::atomic<unsigned> opened{0};
    const fs::path staging = folder / (std::string(STAGING_PREFIX) + std::to_string(::getpid()) +
                                       "-" + std::to_string(++opened));
    if (!fs::create_directory(staging, failed))
        return "Cannot write into the export folder '" + folder.string() +
               "': " + (failed ? failed.message() : "a staging folder of that name exists");
    folder_ = folder;
    staging_ = staging;
    return {};
}

fs::path StagedFiles::staging_path(const std::string& name) const { return staging_ / name; }

std::string StagedFiles::commit(std::vector<fs::path>& committed) {
    committed.clear();
    std::error_code failed;
    std::vector<fs::path> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(staging_, failed))
        names.push_back(entry.path().filename());
    if (failed) return "Cannot read the export's staging folder: " + failed.message();
    std::sort(names.begin(), names.end());
    for (const fs::path& name : names) {
        fs::rename(staging_ / name, folder_ / name, failed);
        if (failed)
            return "Cannot move '" + name.string() + "' into '" + folder_.string() +
                   "': " + failed.message();
        committed.push_back(folder_ / name);
    }
    discard();
    return {};
}

void StagedFiles::discard() {
    if (staging_.empty()) return;
    std::error_code ignored;
    fs::remove_all(staging_, ignored);
    staging_.clear();
}
