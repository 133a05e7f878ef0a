#pragma once
// Large arrays sized with their pages zeroed by several threads at once.

#include <cstddef>

#include "engine/memory/huge_page_allocator.h"
#include "engine/run/split_work.h"

// Below this an array's pages are left to be zeroed on first touch: starting threads
// would cost more than they save.
inline constexpr std::size_t POPULATED_BYTES = std::size_t{8} << 20;

// Replaces `array` by `count` copies of `value`, its pages first populated by up to
// `threads` threads side by side (see populate_pages). Throws std::bad_alloc as
// assign does; `array` is then left as it was.
template <class T>
void assign_populated(HugePageVector<T>& array, std::size_t count, const T& value,
                      unsigned threads) {
    HugePageVector<T> fresh;
    fresh.reserve(count);
    if (count * sizeof(T) >= POPULATED_BYTES) {
        T* const data = fresh.data();
        split_work(count, threads, [data](std::size_t begin, std::size_t end) {
            populate_pages(data + begin, (end - begin) * sizeof(T));
        });
    }
    fresh.assign(count, value);
    array = std::move(fresh);
}
