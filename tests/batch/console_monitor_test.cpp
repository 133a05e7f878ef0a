#include "batch/console_monitor.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <string>

namespace {

std::string contents(std::FILE* file) {
    std::fflush(file);
    std::rewind(file);
    std::string text;
    char buffer[256];
    while (std::size_t n = std::fread(buffer, 1, sizeof buffer, file)) text.append(buffer, n);
    return text;
}

Question failed(double number, char decimal_separator = '.') {
    return SystemFailed{number, decimal_separator};
}

}  // namespace

TEST(console_monitor, skip_passes_over_failed_points_and_lists_each_once) {
    std::FILE* out = std::tmpfile();
    ConsoleMonitor monitor(out, OnFailed::Skip, false);
    EXPECT_TRUE(monitor.ask_yes_no(failed(17.0)));
    EXPECT_TRUE(monitor.ask_yes_no(failed(17.5, ',')));
    EXPECT_TRUE(monitor.ask_yes_no(failed(17.0)));  // the next pass
    EXPECT_EQ(monitor.skipped_points(), (std::vector<std::string>{"17", "17,5"}));
    EXPECT_EQ(monitor.skipped_summary(),
              "2 points have no row (system could not be solved): 17, 17,5");
    EXPECT_EQ(contents(out), "");  // nothing printed while skipping
    std::fclose(out);
}

TEST(console_monitor, summary_lists_the_first_ten) {
    ConsoleMonitor monitor(stderr, OnFailed::Skip, false);
    EXPECT_EQ(monitor.skipped_summary(), "");
    for (int p = 1; p <= 12; ++p) monitor.ask_yes_no(failed(p));
    EXPECT_EQ(monitor.skipped_summary(),
              "12 points have no row (system could not be solved): 1, 2, 3, 4, 5, 6, 7, 8, 9, "
              "10, ...");
    ConsoleMonitor one(stderr, OnFailed::Skip, false);
    one.ask_yes_no(failed(4.0));
    EXPECT_EQ(one.skipped_summary(), "1 point has no row (system could not be solved): 4");
}

TEST(console_monitor, stop_answers_no_and_says_why) {
    std::FILE* out = std::tmpfile();
    ConsoleMonitor monitor(out, OnFailed::Stop, false);
    EXPECT_FALSE(monitor.ask_yes_no(failed(23.0)));
    EXPECT_EQ(contents(out),
              "Error in SLE - Check coordinate of point 23. Stopped (--on-failed stop).\n");
    EXPECT_TRUE(monitor.skipped_points().empty());
    std::fclose(out);
}

// Only Ctrl-C makes a run ask to cancel, so the answer is yes whatever on_failed says.
TEST(console_monitor, messages_and_the_cancel_question) {
    for (OnFailed on_failed : {OnFailed::Skip, OnFailed::Stop}) {
        std::FILE* out = std::tmpfile();
        ConsoleMonitor monitor(out, on_failed, false);
        monitor.show_message("Cannot open input data file");
        EXPECT_TRUE(monitor.ask_yes_no(CancelCalculation{}));
        monitor.set_progress(5000);
        monitor.process_events();
        monitor.finish();  // no bar was drawn, so nothing to end
        EXPECT_EQ(contents(out), "Cannot open input data file\n");
        EXPECT_TRUE(monitor.skipped_points().empty());
        std::fclose(out);
    }
}

TEST(console_monitor, progress_bar_is_one_redrawn_line) {
    std::FILE* out = std::tmpfile();
    ConsoleMonitor monitor(out, OnFailed::Skip, true);
    monitor.set_progress(0);      // drawn at once
    monitor.set_progress(4000);   // drawn or not, by the clock: the test does not care
    monitor.set_progress(10000);
    monitor.finish();
    std::string text = contents(out);
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(text[0], '\r');
    EXPECT_NE(text.find("100.0%"), std::string::npos);
    EXPECT_EQ(text.back(), '\n');
    EXPECT_EQ(text.find('\n'), text.size() - 1);
    std::fclose(out);
}

// Ctrl-C is the Stop button: the flag rises and the run is told so until cleared.
TEST(console_monitor, interrupt_requests_a_stop) {
    ConsoleMonitor monitor(stderr, OnFailed::Skip, false);
    EXPECT_FALSE(monitor.stop_requested());
    EXPECT_FALSE(monitor.interrupted());
    install_interrupt_handler();
    std::raise(SIGINT);
    EXPECT_TRUE(monitor.stop_requested());
    EXPECT_TRUE(monitor.interrupted());
    monitor.clear_stop();
    EXPECT_FALSE(monitor.stop_requested());
    EXPECT_TRUE(monitor.interrupted());
    std::signal(SIGINT, SIG_DFL);
}
