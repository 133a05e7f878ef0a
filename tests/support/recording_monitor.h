#pragma once
// A RunMonitor for tests: records what a run shows and answers questions from a script.

#include <deque>
#include <string>
#include <vector>

#include "engine/engine.h"

struct RecordingMonitor : RunMonitor {
    struct Question {
        std::string text, caption;
    };

    std::vector<std::string> messages;
    std::vector<Question> questions;
    std::deque<bool> answers;  // scripted ask_yes_no answers; "no" once they run out
    std::vector<int> progress;
    std::vector<int> previews_ready;
    int events_processed = 0;
    int previews_cleared = 0;
    bool stop = false;

    void set_progress(int position) override { progress.push_back(position); }
    void process_events() override { ++events_processed; }
    bool stop_requested() override { return stop; }
    void clear_stop() override { stop = false; }
    void show_message(const std::string& text) override { messages.push_back(text); }
    bool ask_yes_no(const std::string& text, const std::string& caption) override {
        questions.push_back({text, caption});
        if (answers.empty()) return false;
        const bool answer = answers.front();
        answers.pop_front();
        return answer;
    }
    void clear_previews() override { ++previews_cleared; }
    void preview_ready(int slot) override { previews_ready.push_back(slot); }
};
