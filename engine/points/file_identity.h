#pragma once
// Whether two file names reach the same file, whatever their spelling: a run must never
// create one of its output files over one of the files it reads.

#include <optional>
#include <string>

#include "engine/engine.h"
#include "engine/run/run_checks.h"

// True when a and b name the same file: the same device and inode when both exist,
// otherwise the same absolute path once ".", ".." and symbolic links are resolved.
bool same_file(const std::string& a, const std::string& b);

// The result file and, with a subset, the trace file must each differ from the input
// file, the subset file and each other. The first clash found, or nullopt.
std::optional<CheckFailure> check_files_apart(const RunSettings& settings);
