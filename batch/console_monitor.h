#pragma once
// The run's monitor on a console: messages to stderr, the questions of a run answered by
// the command line's choices, Ctrl-C as the Stop button, and a progress bar.

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "batch/batch_options.h"
#include "engine/engine.h"

class ConsoleMonitor : public RunMonitor {
public:
    // out receives messages and the bar; the bar is drawn only when show_progress.
    ConsoleMonitor(std::FILE* out, OnFailed on_failed, bool show_progress);

    void set_progress(int position) override;
    void process_events() override;
    bool stop_requested() override;
    void clear_stop() override;
    void show_message(const std::string& text) override;
    // A failed point is answered by on_failed; the cancel with yes (only Ctrl-C asks it).
    bool ask_yes_no(const Question& question) override;

    // Point numbers (as the question writes them) of the points passed over, each once,
    // in the order they first failed.
    const std::vector<std::string>& skipped_points() const { return skipped_; }
    // One line about the points without a row, or "" when every point has one.
    std::string skipped_summary() const;
    // True once Ctrl-C has been pressed during this run.
    bool interrupted() const;
    // Removes the bar from the terminal line.
    void finish();

private:
    bool answer(const CancelCalculation&) { return true; }
    bool answer(const SystemFailed& failed);
    void draw_bar(bool force);
    void clear_bar();

    std::FILE* out_;
    OnFailed on_failed_;
    bool show_progress_;
    bool bar_shown_ = false;
    int position_ = 0;
    long long points_seen_ = 0;
    std::chrono::steady_clock::time_point started_;
    std::chrono::steady_clock::time_point last_draw_;
    std::vector<std::string> skipped_;
};

// Installs the Ctrl-C handler: the first Ctrl-C asks the run to stop at its next point;
// a second one ends the program at once, as the default action does.
void install_interrupt_handler();
