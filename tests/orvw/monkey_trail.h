#pragma once
// The monkey's trail: its seed, the step under way and the last actions, kept ready to
// print when the process crashes (a signal) or a step hangs (a watchdog thread), where no
// test framework is left to say which sequence did it.

#include <unistd.h>

#include <array>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

class MonkeyTrail {
   public:
    // One trail a process: the signal handlers print this one.
    MonkeyTrail(std::uint64_t seed, int step_timeout_seconds)
        : seed_(seed), timeout_ms_(static_cast<std::int64_t>(step_timeout_seconds) * 1000) {
        active_ = this;
        for (int signal : {SIGSEGV, SIGABRT, SIGFPE, SIGBUS, SIGILL}) std::signal(signal, onSignal);
        watchdog_ = std::thread([this] { watch(); });
    }
    ~MonkeyTrail() {
        stopping_.store(true);
        watchdog_.join();
        for (int signal : {SIGSEGV, SIGABRT, SIGFPE, SIGBUS, SIGILL}) std::signal(signal, SIG_DFL);
        active_ = nullptr;
    }
    MonkeyTrail(const MonkeyTrail&) = delete;
    MonkeyTrail& operator=(const MonkeyTrail&) = delete;

    std::uint64_t seed() const { return seed_; }
    long step() const { return step_; }

    // A top-level step begins: the watchdog gives it the timeout from now.
    void beginStep(long step) {
        step_ = step;
        step_started_ms_.store(nowMs());
    }
    // Between steps the watchdog waits without a limit.
    void endStep() { step_started_ms_.store(-1); }

    // An action, recorded before it is done (a crash inside it then names it).
    void note(const std::string& action) {
        char line[LINE];
        std::snprintf(line, sizeof line, "  step %ld: %s\n", step_, action.c_str());
        std::memcpy(lines_[next_ % LINES].data(), line, LINE);
        ++next_;
        rebuildReport();
    }

    // The seed, the step and the last actions, as printed on a crash or a hang.
    std::string report() const { return report_.data(); }

   private:
    static constexpr std::size_t LINE = 160;
    static constexpr std::size_t LINES = 48;

    static std::int64_t nowMs() {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }

    // Formatted ahead, so that a signal handler only has to write it.
    void rebuildReport() {
        std::string text = "monkey seed " + std::to_string(seed_) +
                           " (ORVANE_MONKEY_SEED=" + std::to_string(seed_) + "), step " +
                           std::to_string(step_) + "; last actions:\n";
        const std::size_t count = next_ < LINES ? next_ : LINES;
        for (std::size_t k = next_ - count; k < next_; ++k) text += lines_[k % LINES].data();
        const std::size_t size =
            text.size() < report_.size() - 1 ? text.size() : report_.size() - 1;
        std::memcpy(report_.data(), text.data(), size);
        report_[size] = '\0';
    }

    static void writeAll(const char* text) {
        std::size_t left = std::strlen(text);
        while (left > 0) {
            const ssize_t written = ::write(STDERR_FILENO, text, left);
            if (written <= 0) return;
            text += written;
            left -= static_cast<std::size_t>(written);
        }
    }

    static void onSignal(int signal) {
        writeAll("\nFAIL: the window crashed (signal) during the monkey's ");
        if (active_) writeAll(active_->report_.data());
        std::signal(signal, SIG_DFL);
        std::raise(signal);
    }

    void watch() {
        while (!stopping_.load()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            const std::int64_t started = step_started_ms_.load();
            if (started >= 0 && nowMs() - started > timeout_ms_) {
                writeAll("\nFAIL: a step of the monkey did not return in time (hang): ");
                writeAll(report_.data());
                std::_Exit(3);
            }
        }
    }

    inline static MonkeyTrail* active_ = nullptr;
    std::uint64_t seed_;
    std::int64_t timeout_ms_;
    std::atomic<std::int64_t> step_started_ms_{-1};
    std::atomic<bool> stopping_{false};
    long step_ = 0;
    std::array<std::array<char, LINE>, LINES> lines_{};
    std::size_t next_ = 0;
    std::array<char, LINE * LINES + 200> report_{};
    std::thread watchdog_;
};
