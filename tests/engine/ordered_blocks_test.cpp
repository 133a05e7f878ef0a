// Items computed on workers must reach the caller in order, every one of them, and a
// stop, an idle answer, a failing item or a worker that cannot start must end the run
// cleanly.

#include "engine/run/ordered_blocks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <stdexcept>
#include <thread>
#include <vector>

#include "tests/support/address_space.h"

namespace {

struct Item {
    std::size_t index = 0;
    std::size_t square = 0;
};

}  // namespace

TEST(ordered_blocks, every_item_arrives_once_in_order) {
    struct Case {
        std::size_t count;
        unsigned threads;
        std::size_t block_size;
    };
    const Case cases[] = {{0, 3, 0},   {1, 4, 0},    {17, 2, 5},   {1000, 4, 0},
                          {1000, 1, 7}, {4099, 8, 64}, {250, 3, 1000}};
    for (const Case& c : cases) {
        OrderedBlocksOptions options;
        options.threads = c.threads;
        options.block_size = c.block_size;
        std::vector<std::size_t> applied;
        const bool finished = run_ordered_blocks<Item>(
            c.count, options,
            [](std::size_t i, Item& out) { out = {i, i * i}; },
            [&](std::size_t i, Item& item) {
                EXPECT_EQ(item.index, i);
                EXPECT_EQ(item.square, i * i);
                applied.push_back(i);
                return true;
            },
            [] { return true; });
        EXPECT_TRUE(finished) << c.count;
        ASSERT_EQ(applied.size(), c.count);
        for (std::size_t i = 0; i < c.count; ++i) ASSERT_EQ(applied[i], i);
    }
}

TEST(ordered_blocks, apply_returning_false_stops_after_that_item) {
    std::atomic<std::size_t> computed{0};
    std::vector<std::size_t> applied;
    OrderedBlocksOptions options;
    options.threads = 4;
    options.block_size = 10;
    const bool finished = run_ordered_blocks<Item>(
        100000, options, [&](std::size_t i, Item& out) { out.index = i, ++computed; },
        [&](std::size_t i, Item&) {
            applied.push_back(i);
            return i != 123;
        },
        [] { return true; });
    EXPECT_FALSE(finished);
    ASSERT_EQ(applied.size(), 124u);
    EXPECT_EQ(applied.back(), 123u);
    // The workers ran at most a few blocks ahead, and all of them have stopped.
    EXPECT_LT(computed.load(), 1000u);
}

// in_flight bounds the blocks taken but not yet applied, however far the workers could run
// ahead while the caller is slow: with it the run holds only that many blocks' outcomes,
// and block i is computed only once block i - in_flight is applied (the point loop lets
// in_flight blocks of fits take turns on that).
TEST(ordered_blocks, workers_take_no_more_blocks_than_in_flight) {
    for (std::size_t in_flight : {std::size_t{0}, std::size_t{3}}) {
        OrderedBlocksOptions options;
        options.threads = 2;
        options.block_size = 1;
        options.in_flight = in_flight;
        const std::size_t bound = in_flight > 0 ? in_flight : 2 * options.threads + 2;
        std::atomic<std::size_t> taken{0}, applied{0}, early{0};
        std::size_t most_ahead = 0;
        const bool finished = run_ordered_blocks<Item>(
            200, options,
            [&](std::size_t i, Item& out) {
                if (i >= applied.load() + bound) ++early;
                out.index = i, ++taken;
            },
            [&](std::size_t i, Item&) {
                if (i % 50 == 0) std::this_thread::sleep_for(std::chrono::milliseconds(20));
                most_ahead = std::max(most_ahead, taken.load() - i);
                ++applied;
                return true;
            },
            [] { return true; });
        EXPECT_TRUE(finished);
        EXPECT_LE(most_ahead, bound) << in_flight;
        EXPECT_EQ(early.load(), 0u) << in_flight;
    }
}

// The first item waits until idle() has run, so idle runs while nothing can be applied;
// its "stop" ends the run before any item is applied.
TEST(ordered_blocks, idle_runs_while_waiting_and_can_stop) {
    for (bool go_on : {true, false}) {
        std::atomic<bool> idle_ran{false};
        std::size_t applied = 0;
        OrderedBlocksOptions options;
        options.threads = 2;
        options.block_size = 4;
        options.idle_interval = std::chrono::milliseconds(1);
        const bool finished = run_ordered_blocks<Item>(
            40, options,
            [&](std::size_t i, Item& out) {
                while (i == 0 && !idle_ran.load()) std::this_thread::yield();
                out.index = i;
            },
            [&](std::size_t, Item&) { return ++applied, true; },
            [&] {
                idle_ran = true;
                return go_on;
            });
        EXPECT_TRUE(idle_ran.load());
        EXPECT_EQ(finished, go_on);
        EXPECT_EQ(applied, go_on ? 40u : 0u);
    }
}

TEST(ordered_blocks, failing_item_is_rethrown_after_the_items_before_it) {
    std::vector<std::size_t> applied;
    OrderedBlocksOptions options;
    options.threads = 3;
    options.block_size = 8;
    EXPECT_THROW(run_ordered_blocks<Item>(
                     200, options,
                     [](std::size_t i, Item& out) {
                         if (i == 50) throw std::runtime_error("no memory");
                         out.index = i;
                     },
                     [&](std::size_t i, Item&) { return applied.push_back(i), true; },
                     [] { return true; }),
                 std::runtime_error);
    // Items 48 to 55 form the failing block: everything before it was applied.
    ASSERT_EQ(applied.size(), 48u);
    EXPECT_EQ(applied.back(), 47u);
}

// A thread's stack is mapped when it starts; an address-space limit just above what the
// process uses leaves no room for one.
TEST(ordered_blocks, without_room_for_a_thread_the_caller_computes_every_item) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer reserves more address space than any limit allows";
#endif
    std::vector<std::size_t> applied;
    applied.reserve(1000);
    const ThreadlessEnd end = run_without_room_for_threads([&] {
        OrderedBlocksOptions options;
        options.threads = 2;
        options.block_size = 16;
        const bool finished = run_ordered_blocks<Item>(
            1000, options,
            [](std::size_t i, Item& out) { out = Item{i, i * i}; },
            [&](std::size_t i, Item& out) {
                if (out.index == i && out.square == i * i) applied.push_back(i);
                return true;
            },
            [] { return true; });
        bool in_order = finished && applied.size() == 1000;
        for (std::size_t i = 0; in_order && i < applied.size(); ++i) in_order = applied[i] == i;
        return in_order;
    });
    if (end == ThreadlessEnd::ThreadStarted) GTEST_SKIP() << "a kept stack let a thread start";
    EXPECT_EQ(end, ThreadlessEnd::Passed);
}
