#pragma once
// Items computed on worker threads in no set order, a chunk at a time from a shared
// counter, while the calling thread waits and keeps the window alive: for a pass whose
// results nobody reads until all of them are made. Every worker stays busy until the
// last chunks, whatever the items cost.

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

struct SharedChunksOptions {
    unsigned threads = 2;       // worker threads
    std::size_t chunk = 4096;   // items a worker takes at once
    std::chrono::milliseconds idle_interval{30};  // how often idle() runs while waiting
};

// Calls work(begin, end) for the consecutive chunks of items 0 .. count - 1, each chunk
// once, on worker threads, and idle(done) on the calling thread at most every
// idle_interval meanwhile (done: the items of the chunks finished so far). Returns false
// as soon as idle returns false; no chunk is started after that, and the workers are
// joined before any return (a chunk under way ends as work decides). An exception thrown
// by work is rethrown here once the workers have ended. With no worker thread at all the
// calling thread does the chunks itself, with idle between them.
template <class Work, class Idle>
bool run_shared_chunks(std::size_t count, const SharedChunksOptions& options, Work&& work,
                       Idle&& idle) {
    const std::size_t chunk = std::max<std::size_t>(1, options.chunk);
    const std::size_t chunks = (count + chunk - 1) / chunk;
    std::atomic<std::size_t> next{0};  // the next chunk a worker takes
    std::atomic<std::size_t> done{0};  // items of the finished chunks
    std::atomic<bool> cancel{false};
    std::mutex mutex;
    std::condition_variable ended;  // a worker has ended
    unsigned running = 0;
    std::exception_ptr error;

    const auto do_chunk = [&](std::size_t c) {
        const std::size_t begin = c * chunk;
        const std::size_t end = std::min(count, begin + chunk);
        work(begin, end);
        done.fetch_add(end - begin, std::memory_order_relaxed);
    };
    const auto take_chunks = [&] {
        try {
            for (std::size_t c; !cancel.load(std::memory_order_relaxed) &&
                                (c = next.fetch_add(1, std::memory_order_relaxed)) < chunks;)
                do_chunk(c);
        } catch (...) {
            std::lock_guard lock(mutex);
            if (!error) error = std::current_exception();
            cancel.store(true);
        }
        {
            std::lock_guard lock(mutex);
            --running;
        }
        ended.notify_one();
    };

    std::vector<std::thread> workers;
    // Every way out, an exception included, stops the chunks and joins the workers first.
    struct Joiner {
        std::vector<std::thread>& workers;
        std::atomic<bool>& cancel;
        ~Joiner() {
            cancel.store(true);
            for (std::thread& t : workers)
                if (t.joinable()) t.join();
        }
    } joiner{workers, cancel};
    for (unsigned t = 0; t < std::max(1u, options.threads); ++t) {
        {
            std::lock_guard lock(mutex);
            ++running;
        }
        try {
            workers.emplace_back(take_chunks);
        } catch (const std::system_error&) {
            // Near an address-space limit a thread's stack may find no room; the workers
            // started so far do the work.
            std::lock_guard lock(mutex);
            --running;
            break;
        }
    }
    if (workers.empty()) {
        for (std::size_t c = 0; c < chunks; ++c) {
            do_chunk(c);
            if (c + 1 < chunks && !idle(done.load())) return false;
        }
        return true;
    }

    std::unique_lock lock(mutex);
    while (running > 0) {
        if (ended.wait_for(lock, options.idle_interval) == std::cv_status::timeout &&
            running > 0) {
            lock.unlock();
            if (!idle(done.load(std::memory_order_relaxed))) {
                cancel.store(true);
                return false;
            }
            lock.lock();
        }
    }
    lock.unlock();
    for (std::thread& t : workers) t.join();
    if (error) std::rethrow_exception(error);
    return true;
}
