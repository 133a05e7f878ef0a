#include "engine/points/file_identity.h"

#include <sys/stat.h>

#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace {

// The path as the system would reach it; empty when it cannot be worked out.
fs::path resolved(const std::string& name) {
    std::error_code error;
    fs::path absolute = fs::absolute(name, error);
    if (error) return {};
    fs::path real = fs::weakly_canonical(absolute, error);
    if (error) return {};
    return real;
}

}  // namespace

bool same_file(const std::string& a, const std::string& b) {
    struct stat sa {}, sb {};
    if (::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0)
        return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
    // A file that does not exist yet has no inode: two spellings of one new name (a
    // result file named like the trace file) are told apart by their resolved paths.
    const fs::path ra = resolved(a), rb = resolved(b);
    if (ra.empty() || rb.empty()) return a == b;
    return ra == rb;
}

std::optional<CheckFailure> check_files_apart(const RunSettings& s) {
    if (same_file(s.output_file, s.input_file))
        return CheckFailure{"Input and output file name must not be the same.",
                            CheckedField::OutputFile};
    if (s.subset_file.empty()) return std::nullopt;
    if (same_file(s.output_file, s.subset_file))
        return CheckFailure{"Subset and output file name must not be the same.",
                            CheckedField::OutputFile};
    const std::string trace = " (" + s.trace_file + ")";
    if (same_file(s.trace_file, s.output_file))
        return CheckFailure{
            "Output file name must not be the same as the trace file name" + trace + ".",
            CheckedField::OutputFile};
    if (same_file(s.trace_file, s.input_file))
        return CheckFailure{
            "Input file name must not be the same as the trace file name" + trace + ".",
            CheckedField::InputFile};
    if (same_file(s.trace_file, s.subset_file))
        return CheckFailure{
            "Subset file name must not be the same as the trace file name" + trace + ".",
            CheckedField::SubsetFile};
    return std::nullopt;
}
