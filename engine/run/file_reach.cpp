#include "engine/run/file_reach.h"

#include <sys/stat.h>
#include <unistd.h>

#include "engine/points/text_lines.h"

namespace {

// An existing file must be writable; a new one needs a writable folder to be made in.
bool can_write(const std::string& path) {
    struct stat status{};
    if (::stat(path.c_str(), &status) == 0) {
        return !S_ISDIR(status.st_mode) && ::access(path.c_str(), W_OK) == 0;
    }
    const std::string::size_type slash = path.find_last_of('/');
    const std::string folder =
        slash == std::string::npos ? std::string(".") : path.substr(0, slash == 0 ? 1 : slash);
    return ::stat(folder.c_str(), &status) == 0 && S_ISDIR(status.st_mode) &&
           ::access(folder.c_str(), W_OK | X_OK) == 0;
}

bool can_read(const std::string& path) {
    struct stat status{};
    if (::stat(path.c_str(), &status) != 0 || S_ISDIR(status.st_mode)) return false;
    return static_cast<bool>(open_text_file(path));
}

}  // namespace

std::optional<std::string> unreachable_run_file(const RunSettings& settings) {
    if (!settings.subset_file.empty() && !can_read(settings.subset_file))
        return "Cannot open subset input data file";
    if (!can_write(settings.output_file)) return "Error by opening output file";
    if (!settings.subset_file.empty() && !can_write(settings.trace_file))
        return "Error by opening output trace file";
    return std::nullopt;
}
