#include "engine/run/file_reach.h"

#include <sys/stat.h>

#include "engine/points/staged_file.h"
#include "engine/points/text_lines.h"

namespace {

bool can_read(const std::string& path) {
    struct stat status{};
    if (::stat(path.c_str(), &status) != 0 || S_ISDIR(status.st_mode)) return false;
    return static_cast<bool>(open_text_file(path));
}

}  // namespace

std::optional<std::string> unreachable_run_file(const RunSettings& settings) {
    if (!settings.subset_file.empty() && !can_read(settings.subset_file))
        return "Cannot open subset input data file";
    if (!StagedFile::can_stage(settings.output_file)) return "Error by opening output file";
    if (!settings.subset_file.empty() && !StagedFile::can_stage(settings.trace_file))
        return "Error by opening output trace file";
    return std::nullopt;
}
