#pragma once
// A whole file written in one go from bytes held in memory; shared by the image and grid
// writers so that each checks its open, write and close the same way.

#include <string>
#include <string_view>

// Writes `bytes` to `name`; false when the file cannot be opened, written or closed, in
// which case a partial file is removed.
bool write_whole_file(const std::string& name, std::string_view bytes);

// Removes what a failed write left under `name`, but only a regular file: a name such as
// a device must never be unlinked.
void remove_partial_file(const std::string& name);
