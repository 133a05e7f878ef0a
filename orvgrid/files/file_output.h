#pragma once
// A whole file written in one go from bytes held in memory; shared by the image and grid
// writers so that each checks its open, write and close the same way.

#include <string>
#include <string_view>

// Writes `bytes` to `name` through a partial file beside it that is flushed to the disk
// and renamed over `name`: a file of that name is replaced whole or not at all. False
// when anything failed; the partial file is then removed and `name` left as it was.
bool write_whole_file(const std::string& name, std::string_view bytes);
