#include "batch/console_monitor.h"

#include <algorithm>
#include <csignal>

namespace {

volatile std::sig_atomic_t g_interrupts = 0;
// Interrupts already answered by a "No" to the cancel question (never asked in batch,
// but kept so that clear_stop really clears).
volatile std::sig_atomic_t g_interrupts_cleared = 0;

extern "C" void on_interrupt(int) { g_interrupts = g_interrupts + 1; }

constexpr std::size_t LISTED_POINTS = 10;

std::string clock_text(double seconds) {
    if (!(seconds >= 0.0) || seconds > 359999.0) return "--:--";
    const long s = static_cast<long>(seconds);
    char text[32];
    if (s >= 3600)
        std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
    else
        std::snprintf(text, sizeof text, "%02ld:%02ld", s / 60, s % 60);
    return text;
}

}  // namespace

void install_interrupt_handler() {
    struct sigaction action {};
    action.sa_handler = on_interrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND;  // the second Ctrl-C takes the default action
    sigaction(SIGINT, &action, nullptr);
}

ConsoleMonitor::ConsoleMonitor(std::FILE* out, OnFailed on_failed, bool show_progress)
    : out_(out),
      on_failed_(on_failed),
      show_progress_(show_progress),
      started_(std::chrono::steady_clock::now()),
      last_draw_(started_) {}

void ConsoleMonitor::set_progress(int position) {
    position_ = std::clamp(position, 0, 10000);
    draw_bar(false);
}

void ConsoleMonitor::process_events() {
    ++points_seen_;
    draw_bar(false);
}

bool ConsoleMonitor::stop_requested() { return g_interrupts > g_interrupts_cleared; }

void ConsoleMonitor::clear_stop() { g_interrupts_cleared = g_interrupts; }

bool ConsoleMonitor::interrupted() const { return g_interrupts > 0; }

void ConsoleMonitor::show_message(const std::string& text) {
    clear_bar();
    std::fprintf(out_, "%s\n", text.c_str());
    std::fflush(out_);
}

bool ConsoleMonitor::ask_yes_no(const Question& question) {
    return std::visit([this](const auto& q) { return answer(q); }, question);
}

bool ConsoleMonitor::answer(const SystemFailed& failed) {
    if (on_failed_ == OnFailed::Stop) {
        show_message(failure_statement(failed) + ". Stopped (--on-failed stop).");
        return false;
    }
    const std::string number = point_number_text(failed);
    if (std::find(skipped_.begin(), skipped_.end(), number) == skipped_.end())
        skipped_.push_back(number);
    return true;
}

std::string ConsoleMonitor::skipped_summary() const {
    if (skipped_.empty()) return {};
    std::string line = std::to_string(skipped_.size()) +
                       (skipped_.size() == 1 ? " point has" : " points have") +
                       " no row (system could not be solved): ";
    for (std::size_t i = 0; i < skipped_.size() && i < LISTED_POINTS; ++i)
        line += (i ? ", " : "") + skipped_[i];
    if (skipped_.size() > LISTED_POINTS) line += ", ...";
    return line;
}

void ConsoleMonitor::draw_bar(bool force) {
    if (!show_progress_) return;
    const auto now = std::chrono::steady_clock::now();
    // The first drawing is at once; later ones at most five times a second.
    if (!force && bar_shown_ && now - last_draw_ < std::chrono::milliseconds(200)) return;
    last_draw_ = now;
    const double elapsed = std::chrono::duration<double>(now - started_).count();
    const double fraction = position_ / 10000.0;
    const double remaining = fraction > 0.0 ? elapsed * (1.0 - fraction) / fraction : -1.0;
    const double rate = elapsed > 0.0 ? static_cast<double>(points_seen_) / elapsed : 0.0;
    constexpr int WIDTH = 30;
    const int filled = static_cast<int>(fraction * WIDTH);
    std::string bar(static_cast<std::size_t>(filled), '#');
    bar.resize(WIDTH, '-');
    std::fprintf(out_, "\r[%s] %5.1f%%  %8.0f points/s  elapsed %s  left %s\x1b[K", bar.c_str(),
                 fraction * 100.0, rate, clock_text(elapsed).c_str(),
                 clock_text(remaining).c_str());
    std::fflush(out_);
    bar_shown_ = true;
}

void ConsoleMonitor::clear_bar() {
    if (!bar_shown_) return;
    std::fprintf(out_, "\r\x1b[K");
    bar_shown_ = false;
}

void ConsoleMonitor::finish() {
    if (show_progress_ && bar_shown_) {
        draw_bar(true);
        std::fprintf(out_, "\n");
        bar_shown_ = false;
    }
}
