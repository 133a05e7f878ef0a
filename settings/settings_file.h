#pragma once
// The settings file on disk: where it lives, reading it into a block and writing a
// block back so that a failed write never damages the file already there.

#include <string>

#include "settings/settings_block.h"

// The running executable's path with the extension of its file name replaced by
// ".cfg" (orvane -> orvane.cfg, orvane.bin -> orvane.cfg); empty if the path is unknown.
std::string settings_file_path();

// path with the extension of its file name (from the last dot of the name, not of a
// folder) replaced by extension; a name without a dot gets extension appended.
std::string replace_file_extension(const std::string& path, const std::string& extension);

enum class SettingsReadStatus {
    NoFile,  // nothing at the path: the block is untouched, nothing to say
    Read,    // the file's bytes (at most 903) lie at the start of the block
    Failed,  // the file exists but could not be opened or read
};

// Reads up to 903 bytes into block; a shorter file fills only its length, so the rest
// keeps what the block held (zeros for a fresh block).
SettingsReadStatus read_settings_file(const std::string& path, SettingsBlock& block);

struct SettingsWriteResult {
    bool ok = false;
    std::string error;  // the system's reason, for a log; the window says its own text
};

// Writes the 903 bytes to a partial file in the same folder, flushes it to the disk and
// renames it over path (a link at path is followed). On any failure the partial file is
// removed and the file at path is left exactly as it was.
SettingsWriteResult write_settings_file(const std::string& path, const SettingsBlock& block);
