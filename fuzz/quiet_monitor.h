#pragma once
// A RunMonitor for fuzzing: counts the messages; a failed point ends the run.

#include <string>

#include "engine/engine.h"

struct QuietMonitor : RunMonitor {
    int messages = 0;
    void show_message(const std::string&) override { ++messages; }
};
