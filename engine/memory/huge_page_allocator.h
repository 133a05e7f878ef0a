#pragma once
// Storage for the run's large arrays (the points, the index, the neighbour table) in
// 2 MiB pages where the kernel has them. With 4 KiB pages, filling the arrays of a
// million points takes tens of thousands of page faults, about as long as reading the
// point file; with huge pages a few hundred. Small arrays come from the ordinary heap.

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <vector>

inline constexpr std::size_t HUGE_PAGE_BYTES = std::size_t{2} << 20;

template <class T>
struct HugePageAllocator {
    using value_type = T;

    HugePageAllocator() = default;
    template <class U>
    HugePageAllocator(const HugePageAllocator<U>&) noexcept {}

    T* allocate(std::size_t n) {
        if (n > std::size_t(-1) / sizeof(T)) throw std::bad_array_new_length();
        const std::size_t bytes = n * sizeof(T);
        if (bytes < HUGE_PAGE_BYTES) return std::allocator<T>{}.allocate(n);
        // Mapped with one huge page to spare, so that the start can be moved to a huge
        // page boundary; the unused ends are given back. Only the whole huge pages are
        // marked: a partly used last one would count in full towards the memory in use.
        const std::size_t length = in_pages(bytes);
        void* mapped = ::mmap(nullptr, length + HUGE_PAGE_BYTES, PROT_READ | PROT_WRITE,
                              MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (mapped == MAP_FAILED) throw std::bad_alloc();
        auto* base = static_cast<char*>(mapped);
        const auto address = reinterpret_cast<std::uintptr_t>(base);
        const std::size_t lead = (HUGE_PAGE_BYTES - address % HUGE_PAGE_BYTES) % HUGE_PAGE_BYTES;
        if (lead > 0) ::munmap(base, lead);
        ::munmap(base + lead + length, HUGE_PAGE_BYTES - lead);
        ::madvise(base + lead, length / HUGE_PAGE_BYTES * HUGE_PAGE_BYTES, MADV_HUGEPAGE);
        return reinterpret_cast<T*>(base + lead);
    }

    void deallocate(T* p, std::size_t n) noexcept {
        const std::size_t bytes = n * sizeof(T);
        if (bytes < HUGE_PAGE_BYTES) {
            std::allocator<T>{}.deallocate(p, n);
            return;
        }
        ::munmap(p, in_pages(bytes));
    }

    template <class U>
    bool operator==(const HugePageAllocator<U>&) const noexcept {
        return true;
    }

private:
    // bytes rounded up to whole pages of the ordinary size.
    static std::size_t in_pages(std::size_t bytes) {
        const auto page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
        return (bytes + page - 1) / page * page;
    }
};

template <class T>
using HugePageVector = std::vector<T, HugePageAllocator<T>>;

// Empties `array` and gives its memory back. `array = {}` would only empty it: that
// assigns an empty list and keeps the capacity.
template <class Vector>
void release_storage(Vector& array) noexcept {
    Vector().swap(array);
}

// Has the kernel back the whole pages within [begin, begin + bytes) with zeroed memory
// now, from the calling thread. A large array's pages are otherwise zeroed on first
// touch by whichever thread touches them, one after the other when one thread fills the
// array; threads that each populate a part zero it side by side. On a virtual machine
// whose host has taken the guest's free memory back, zeroing 170 MB took a third of a
// second. Where the kernel cannot (before Linux 5.14) nothing happens: the pages are
// zeroed on first touch as before.
inline void populate_pages(const void* begin, std::size_t bytes) {
#ifdef MADV_POPULATE_WRITE
    const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
    const auto start = reinterpret_cast<std::uintptr_t>(begin);
    const std::uintptr_t first = (start + page - 1) / page * page;
    const std::uintptr_t end = (start + bytes) / page * page;
    if (end > first)
        ::madvise(reinterpret_cast<void*>(first), end - first, MADV_POPULATE_WRITE);
#else
    (void)begin;
    (void)bytes;
#endif
}
