// Chunks shared out among workers must cover every item exactly once, report the items
// done as they finish, and end cleanly on an idle answer, a failing chunk or a worker
// that cannot start.

#include "engine/run/shared_chunks.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstddef>
#include <memory>
#include <stdexcept>
#include <thread>
#include <vector>

#include "tests/support/address_space.h"

TEST(shared_chunks, every_item_is_done_once) {
    struct Case {
        std::size_t count;
        unsigned threads;
        std::size_t chunk;
    };
    const Case cases[] = {{0, 3, 16},    {1, 4, 4096},  {4095, 2, 4096}, {4097, 2, 4096},
                          {10000, 5, 7}, {20000, 1, 1}, {100000, 3, 4096}};
    for (const Case& c : cases) {
        SharedChunksOptions options;
        options.threads = c.threads;
        options.chunk = c.chunk;
        options.idle_interval = std::chrono::milliseconds(1);
        const auto times = std::make_unique<std::atomic<int>[]>(c.count + 1);
        std::size_t last_done = 0;
        const bool finished = run_shared_chunks(
            c.count, options,
            [&](std::size_t begin, std::size_t end) {
                ASSERT_LE(end - begin, c.chunk);
                ASSERT_EQ(begin % c.chunk, 0u);
                for (std::size_t i = begin; i < end; ++i) times[i].fetch_add(1);
            },
            [&](std::size_t done) {
                EXPECT_GE(done, last_done);
                EXPECT_LE(done, c.count);
                last_done = done;
                return true;
            });
        EXPECT_TRUE(finished) << c.count;
        for (std::size_t i = 0; i < c.count; ++i) ASSERT_EQ(times[i].load(), 1) << i;
    }
}

TEST(shared_chunks, idle_runs_while_waiting_and_can_stop) {
    SharedChunksOptions options;
    options.threads = 2;
    options.chunk = 1;
    options.idle_interval = std::chrono::milliseconds(1);
    std::atomic<std::size_t> started{0};
    int idles = 0;
    const bool finished = run_shared_chunks(
        1000, options,
        [&](std::size_t, std::size_t) {
            started.fetch_add(1);
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        },
        [&](std::size_t) { return ++idles < 3; });
    EXPECT_FALSE(finished);
    EXPECT_EQ(idles, 3);
    // Only the chunks under way when idle said stop, not the thousand.
    EXPECT_LT(started.load(), 100u);
}

TEST(shared_chunks, a_failing_chunk_is_rethrown_once_the_workers_end) {
    SharedChunksOptions options;
    options.threads = 3;
    options.chunk = 10;
    std::atomic<int> running{0};
    EXPECT_THROW(run_shared_chunks(
                     10000, options,
                     [&](std::size_t begin, std::size_t) {
                         running.fetch_add(1);
                         if (begin == 500) {
                             running.fetch_sub(1);
                             throw std::runtime_error("chunk 50");
                         }
                         std::this_thread::sleep_for(std::chrono::microseconds(50));
                         running.fetch_sub(1);
                     },
                     [](std::size_t) { return true; }),
                 std::runtime_error);
    EXPECT_EQ(running.load(), 0);
}

// A thread's stack is mapped when it starts; an address-space limit just above what the
// process uses leaves no room for one.
TEST(shared_chunks, without_room_for_a_thread_the_caller_does_every_chunk) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer reserves more address space than any limit allows";
#endif
    std::vector<int> times(1000, 0);
    int idles = 0;
    const ThreadlessEnd end = run_without_room_for_threads([&] {
        SharedChunksOptions options;
        options.threads = 2;
        options.chunk = 16;
        const bool finished = run_shared_chunks(
            times.size(), options,
            [&](std::size_t begin, std::size_t end_of_chunk) {
                for (std::size_t i = begin; i < end_of_chunk; ++i) ++times[i];
            },
            [&](std::size_t) { return ++idles > 0; });
        bool once = finished && idles == 62;  // between the 63 chunks
        for (int t : times) once = once && t == 1;
        return once;
    });
    if (end == ThreadlessEnd::ThreadStarted) GTEST_SKIP() << "a kept stack let a thread start";
    EXPECT_EQ(end, ThreadlessEnd::Passed);
}
