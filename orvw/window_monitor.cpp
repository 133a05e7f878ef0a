#include "orvw/window_monitor.h"

#include <QApplication>
#include <QProgressBar>
#include <variant>

#include "orvw/main_window.h"

namespace {
constexpr qint64 EVENT_INTERVAL_MS = 30;
}

// The point loop's bar shows no text; what the run did before it (reading, a preview)
// said so in the bar.
void WindowMonitor::set_progress(int position) {
    window_.ProgressBar1->setTextVisible(false);
    window_.ProgressBar1->setValue(position);
}

void WindowMonitor::process_events() {
    if (since_events_.isValid() && since_events_.elapsed() < EVENT_INTERVAL_MS &&
        !window_.stop_requested_)
        return;
    QApplication::processEvents();
    since_events_.start();
}

bool WindowMonitor::stop_requested() {
    return window_.stop_requested_;
}

void WindowMonitor::clear_stop() {
    window_.stop_requested_ = false;
}

void WindowMonitor::show_message(const std::string& text) {
    window_.prompts_->message(QString::fromStdString(text), QStringLiteral("Orvane"));
}

bool WindowMonitor::ask_yes_no(const Question& question) {
    const bool yes = window_.close_pending_
                         ? answer_that_ends_run(question)
                         : window_.prompts_->askYesNo(
                               QString::fromStdString(question_text(question)),
                               QString::fromStdString(question_caption(question)));
    if (yes && std::holds_alternative<CancelCalculation>(question)) window_.work_cancelled_ = true;
    return yes;
}

// A run clears the pictures just before it reads its input.
void WindowMonitor::clear_previews() {
    window_.clearPreviews();
    window_.ProgressBar1->setFormat(QStringLiteral("Reading input ..."));
    window_.ProgressBar1->setTextVisible(true);
}

void WindowMonitor::preview_ready(int slot) {
    window_.previewReady(slot);
}
