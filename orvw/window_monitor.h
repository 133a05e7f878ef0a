#pragma once
// The window's side of a run: progress bar, pending events, the stop flag, message and
// question boxes, and the preview pictures.

#include <QElapsedTimer>

#include "engine/engine.h"

class TfrmMain;

class WindowMonitor : public RunMonitor {
public:
    explicit WindowMonitor(TfrmMain& window) : window_(window) {}

    void set_progress(int position) override;
    // Processes pending events at most every 30 ms, and always when a stop is pending.
    void process_events() override;
    bool stop_requested() override;
    void clear_stop() override;
    void show_message(const std::string& text) override;
    // While the window waits to close, the run is wound up without asking: the cancel is
    // answered Yes and a failed point (continue?) No.
    bool ask_yes_no(const Question& question) override;
    void clear_previews() override;
    void preview_ready(int slot) override;

private:
    TfrmMain& window_;
    QElapsedTimer since_events_;
};
