#include "engine/run/split_work.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <set>
#include <stdexcept>
#include <thread>
#include <vector>

#include "engine/memory/populated_resize.h"

// Every item is worked on exactly once, whatever the count and the number of threads
// (more threads than items included), and the ranges run on threads of their own.
TEST(split_work, ranges_cover_every_item_once) {
    for (std::size_t count : {0, 1, 2, 3, 7, 100, 1001}) {
        for (unsigned threads : {1u, 2u, 3u, 5u, 16u}) {
            std::vector<std::atomic<int>> seen(count);
            std::mutex mutex;
            std::set<std::thread::id> ids;
            split_work(count, threads, [&](std::size_t begin, std::size_t end) {
                {
                    std::lock_guard lock(mutex);
                    ids.insert(std::this_thread::get_id());
                }
                for (std::size_t k = begin; k < end; ++k) ++seen[k];
            });
            for (std::size_t k = 0; k < count; ++k)
                ASSERT_EQ(seen[k].load(), 1) << "count " << count << ", threads " << threads;
            const std::size_t ranges = std::max<std::size_t>(1, std::min<std::size_t>(threads, count));
            EXPECT_EQ(ids.size(), ranges) << "count " << count << ", threads " << threads;
        }
    }
}

// An exception of one range reaches the caller, after the other ranges have finished.
TEST(split_work, an_exception_is_rethrown_after_every_range_ends) {
    std::atomic<int> finished{0};
    EXPECT_THROW(split_work(40, 4,
                            [&](std::size_t begin, std::size_t) {
                                if (begin == 10) throw std::runtime_error("range 1");
                                std::this_thread::sleep_for(std::chrono::milliseconds(20));
                                ++finished;
                            }),
                 std::runtime_error);
    EXPECT_EQ(finished.load(), 3);
}

// Populating pages never changes what they hold, at any alignment, and an array sized
// with its pages populated holds the value asked for, large (threads) or small.
TEST(split_work, populated_pages_keep_their_contents) {
    std::vector<std::uint64_t> data(3 << 20);
    for (std::size_t k = 0; k < data.size(); ++k) data[k] = k * 0x9E3779B97F4A7C15ull;
    const std::vector<std::uint64_t> before = data;
    populate_pages(reinterpret_cast<const char*>(data.data()) + 3, data.size() * 8 - 1000);
    EXPECT_EQ(std::memcmp(data.data(), before.data(), data.size() * 8), 0);

    for (std::size_t count : {std::size_t{5}, std::size_t{3} << 20}) {
        HugePageVector<float> array(7, 2.0f);
        assign_populated(array, count, 1e38f, 3);
        ASSERT_EQ(array.size(), count);
        for (float v : array) ASSERT_EQ(v, 1e38f);
    }
}
