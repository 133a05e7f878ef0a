#pragma once
// A RunMonitor for fuzzing: counts the messages, answers every question with No.

#include <string>

#include "engine/engine.h"

struct QuietMonitor : RunMonitor {
    int messages = 0;
    void set_progress(int) override {}
    void process_events() override {}
    bool stop_requested() override { return false; }
    void clear_stop() override {}
    void show_message(const std::string&) override { ++messages; }
    bool ask_yes_no(const std::string&, const std::string&) override { return false; }
    void clear_previews() override {}
    void preview_ready(int) override {}
};
