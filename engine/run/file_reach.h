#pragma once
// The files of a run that can be tried before the long work starts: the subset file must
// open, and the folders of the result and trace files must take a file. A run that would
// fail on them only after reading the input and gridding a preview fails at once, with
// the message it would have ended with.

#include <optional>
#include <string>

#include "engine/engine.h"

// The message of the first file that cannot be reached ("Cannot open subset input data
// file", "Error by opening output file", "Error by opening output trace file"); nothing
// when all can. Nothing is created, truncated or left open.
std::optional<std::string> unreachable_run_file(const RunSettings& settings);
