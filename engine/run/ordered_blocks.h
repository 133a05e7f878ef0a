#pragma once
// Items computed on worker threads and handed back in order: the fits of one pass run
// on all cores while everything a user sees (rows, questions, progress, Stop) stays on
// the calling thread, one item after another in file order.

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

struct OrderedBlocksOptions {
    unsigned threads = 2;        // worker threads computing items
    std::size_t block_size = 0;  // items a worker takes at once; 0: chosen from the count
    std::size_t in_flight = 0;   // blocks computed or applied at once; 0: 2 x threads + 2
    std::chrono::milliseconds idle_interval{30};  // how often idle() runs while waiting
};

// Computes compute(i, out) for i = 0 .. count - 1 on worker threads, block by block, and
// calls apply(i, out) on the calling thread in increasing i. While the next block is not
// ready, idle() runs at most every idle_interval (the window's events, the Stop question).
// Returns false as soon as apply or idle returns false; the workers are cancelled and
// joined before any return. An exception thrown by compute is rethrown here, after the
// items before it have been applied. Fewer workers than asked for run when no more
// threads can be started; with none at all the calling thread computes the items itself.
//
// compute must not touch what apply changes; a worker never runs more than a few blocks
// ahead of apply, so the memory held stays small: with block_size 1, item i is computed
// only after item i - in_flight was applied.
template <class Outcome, class Compute, class Apply, class Idle>
bool run_ordered_blocks(std::size_t count, const OrderedBlocksOptions& options,
                        Compute&& compute, Apply&& apply, Idle&& idle) {
    const unsigned threads = std::max(1u, options.threads);
    const std::size_t block =
        options.block_size > 0
            ? options.block_size
            : std::clamp<std::size_t>(count / (16u * threads), 16, 1024);
    const std::size_t blocks = (count + block - 1) / block;
    const std::size_t in_flight =
        std::max<std::size_t>(options.in_flight > 0 ? options.in_flight : 2u * threads + 2u, 2);
    const std::size_t ring = std::min<std::size_t>(in_flight, std::max<std::size_t>(blocks, 1));

    struct Slot {
        std::vector<Outcome> items;
        std::size_t finished = 0;  // block number + 1 once computed
        std::exception_ptr error;
    };
    std::vector<Slot> slots(ring);
    std::mutex mutex;
    std::condition_variable ready;  // a block was finished
    std::condition_variable room;   // a block was applied, its slot is free
    std::size_t next_block = 0;     // the next block a worker takes
    std::size_t applied = 0;        // blocks applied so far
    std::atomic<bool> cancel{false};

    auto work = [&] {
        for (;;) {
            std::size_t b;
            {
                std::unique_lock lock(mutex);
                room.wait(lock, [&] {
                    return cancel.load() || next_block >= blocks || next_block < applied + ring;
                });
                if (cancel.load() || next_block >= blocks) return;
                b = next_block++;
            }
            Slot& slot = slots[b % ring];
            const std::size_t first = b * block;
            const std::size_t end = std::min(count, first + block);
            std::exception_ptr error;
            try {
                slot.items.resize(end - first);
                for (std::size_t i = first; i < end && !cancel.load(std::memory_order_relaxed); ++i)
                    compute(i, slot.items[i - first]);
            } catch (...) {
                error = std::current_exception();
            }
            {
                std::lock_guard lock(mutex);
                slot.error = error;
                slot.finished = b + 1;
            }
            ready.notify_one();
        }
    };

    std::vector<std::thread> workers;
    // Every way out, an exception included, cancels and joins the workers first.
    struct Joiner {
        std::vector<std::thread>& workers;
        std::atomic<bool>& cancel;
        std::mutex& mutex;
        std::condition_variable& room;
        ~Joiner() {
            {
                std::lock_guard lock(mutex);
                cancel.store(true);
            }
            room.notify_all();
            for (std::thread& t : workers)
                if (t.joinable()) t.join();
        }
    } joiner{workers, cancel, mutex, room};
    for (unsigned t = 0; t < threads; ++t) {
        try {
            workers.emplace_back(work);
        } catch (const std::system_error&) {
            // Each thread's stack is mapped when it starts: near an address-space limit
            // there may be no room for it. The workers started so far do the work.
            break;
        }
    }
    if (workers.empty()) {
        // Not even one: the items are computed and applied here in turn, with the same
        // results. Nothing is waited for, so idle is not needed.
        Slot& slot = slots[0];
        slot.items.resize(1);
        for (std::size_t i = 0; i < count; ++i) {
            compute(i, slot.items[0]);
            if (!apply(i, slot.items[0])) return false;
        }
        return true;
    }

    for (std::size_t b = 0; b < blocks; ++b) {
        Slot& slot = slots[b % ring];
        {
            std::unique_lock lock(mutex);
            while (slot.finished != b + 1) {
                if (ready.wait_for(lock, options.idle_interval) == std::cv_status::timeout &&
                    slot.finished != b + 1) {
                    lock.unlock();
                    if (!idle()) return false;
                    lock.lock();
                }
            }
        }
        if (slot.error) std::rethrow_exception(slot.error);
        const std::size_t first = b * block;
        for (std::size_t i = first; i < first + slot.items.size(); ++i)
            if (!apply(i, slot.items[i - first])) return false;
        {
            std::lock_guard lock(mutex);
            applied = b + 1;
        }
        room.notify_all();
    }
    return true;
}
