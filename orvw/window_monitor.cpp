#include "orvw/window_monitor.h"

#include <QApplication>
#include <QProgressBar>

#include "orvw/main_window.h"

namespace {
constexpr qint64 EVENT_INTERVAL_MS = 30;
}

void WindowMonitor::set_progress(int position) {
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
    if (window_.close_pending_) return answer_that_ends_run(question);
    return window_.prompts_->askYesNo(QString::fromStdString(question_text(question)),
                                      QString::fromStdString(question_caption(question)));
}

void WindowMonitor::clear_previews() {
    window_.clearPreviews();
}

void WindowMonitor::preview_ready(int slot) {
    window_.previewReady(slot);
}
