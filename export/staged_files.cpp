#include "export/staged_files.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <system_error>

namespace fs = std::filesystem;

StagedFiles::~StagedFiles() { discard(); }

std::string StagedFiles::open(const fs::path& folder) {
    discard();
    std::error_code failed;
    // Named after the process, with a counter for several exports of one process.
    static std::atomic<unsigned> opened{0};
    const fs::path staging =
        folder / (".orvane-export-" + std::to_string(::getpid()) + "-" + std::to_string(++opened));
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
