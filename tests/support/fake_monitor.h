#pragma once
// The RunMonitor of every test: records what a run shows, asks and reports, answers the
// questions from a script and presses Stop when told to.

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "engine/engine.h"

struct FakeMonitor : RunMonitor {
    // What the run did, in order.
    std::vector<std::string> messages;
    std::vector<Question> questions;
    std::vector<int> progress;
    std::vector<int> previews_ready;
    int events = 0;
    int previews_cleared = 0;

    // The script. stop is the Stop button: raised up front, by stop_at_event or by a hook.
    bool stop = false;
    int stop_at_event = 0;  // presses Stop inside the n-th process_events (0: never)
    // The answers in order; once they run out then_answer, or without one the answer
    // that ends the run.
    std::deque<bool> answers;
    std::optional<bool> then_answer;
    std::function<void()> on_events;    // runs inside process_events, after the count
    std::function<void()> on_progress;  // runs inside set_progress, after the record

    void set_progress(int position) override {
        progress.push_back(position);
        if (on_progress) on_progress();
    }
    void process_events() override {
        ++events;
        if (events == stop_at_event) stop = true;
        if (on_events) on_events();
    }
    bool stop_requested() override { return stop; }
    void clear_stop() override { stop = false; }
    void show_message(const std::string& text) override { messages.push_back(text); }
    bool ask_yes_no(const Question& question) override {
        questions.push_back(question);
        if (answers.empty()) return then_answer.value_or(answer_that_ends_run(question));
        const bool answer = answers.front();
        answers.pop_front();
        return answer;
    }
    void clear_previews() override { ++previews_cleared; }
    void preview_ready(int slot) override { previews_ready.push_back(slot); }

    // The questions as a person reads them: "caption: text".
    std::vector<std::string> question_lines() const {
        std::vector<std::string> lines;
        for (const Question& q : questions)
            lines.push_back(question_caption(q) + ": " + question_text(q));
        return lines;
    }
};
