#pragma once
// Work over many items split into even ranges, one a thread: for the passes that fill a
// large array where nothing needs an order (the point file's parts, copies into the
// index's order, the first touch of fresh pages).

#include <algorithm>
#include <cstddef>
#include <exception>
#include <system_error>
#include <thread>
#include <vector>

// Runs work(begin, end) over items 0 .. count - 1 split into up to `threads` even ranges
// (0: one a core), the first range on the calling thread and each other on a thread of
// its own. A range whose thread cannot be started (near an address-space limit) runs on
// the calling thread after its own. An exception thrown by any range is rethrown here
// once all ranges have ended.
template <class Work>
void split_work(std::size_t count, unsigned threads, Work&& work) {
    if (threads == 0) threads = std::max(1u, std::thread::hardware_concurrency());
    const std::size_t ranges = std::max<std::size_t>(1, std::min<std::size_t>(threads, count));
    std::vector<std::exception_ptr> errors(ranges);
    auto guarded = [&](std::size_t r) {
        try {
            work(count * r / ranges, count * (r + 1) / ranges);
        } catch (...) {
            errors[r] = std::current_exception();
        }
    };
    {
        std::vector<std::thread> helpers;
        struct Joiner {
            std::vector<std::thread>& helpers;
            ~Joiner() {
                for (std::thread& t : helpers)
                    if (t.joinable()) t.join();
            }
        } joiner{helpers};
        helpers.reserve(ranges - 1);
        std::size_t started = 1;
        for (; started < ranges; ++started) {
            try {
                helpers.emplace_back(guarded, started);
            } catch (const std::system_error&) {
                break;
            }
        }
        guarded(0);
        for (std::size_t r = started; r < ranges; ++r) guarded(r);
    }
    for (const std::exception_ptr& error : errors)
        if (error) std::rethrow_exception(error);
}
