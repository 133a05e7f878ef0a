#pragma once
// Files an export writes appear in their folder only when every one of them is complete:
// they are written under their final names into a hidden staging folder beside them
// (with whatever side files a format adds, such as GDAL's .aux.xml) and renamed into
// place by commit(). Without commit the staging folder and all in it are removed, so a
// failed or cancelled export leaves nothing half-written behind.

#include <filesystem>
#include <string>
#include <vector>

class StagedFiles {
public:
    StagedFiles() = default;
    ~StagedFiles();
    StagedFiles(const StagedFiles&) = delete;
    StagedFiles& operator=(const StagedFiles&) = delete;

    // Creates the staging folder inside `folder`, after removing those that exports killed
    // on the way left there; "" or what went wrong.
    std::string open(const std::filesystem::path& folder);

    // Where the file of final name `name` is written meanwhile.
    std::filesystem::path staging_path(const std::string& name) const;

    // Renames every file of the staging folder into the folder, replacing files of the
    // same names, and removes the staging folder; "" or what went wrong (the files
    // renamed before the failure stay in place, the others are removed). `committed`
    // receives the final paths, in name order.
    std::string commit(std::vector<std::filesystem::path>& committed);

private:
    void discard();

    std::filesystem::path folder_;
    std::filesystem::path staging_;
};
