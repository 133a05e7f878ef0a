#pragma once
// A RunMonitor for fuzzing: counts the messages and keeps the last; a failed point ends
// the run.

#include <string>

#include "engine/engine.h"

struct QuietMonitor : RunMonitor {
    int messages = 0;
    std::string last_message;
    void show_message(const std::string& text) override {
        ++messages;
        last_message = text;
    }
};
