#pragma once
// Address-space limits for tests that run out of memory on purpose, in a forked child.

#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>

// Limits this process's address space to what it uses now plus `room` bytes. False when
// the use cannot be read or the limit cannot be set.
inline bool limit_address_space_to_use_plus(rlim_t room) {
    long pages = 0;
    if (std::FILE* statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%ld", &pages) != 1) pages = 0;
        std::fclose(statm);
    }
    if (pages <= 0) return false;
    const rlim_t in_use = static_cast<rlim_t>(pages) * static_cast<rlim_t>(::sysconf(_SC_PAGESIZE));
    const rlimit tight{in_use + room, in_use + room};
    return ::setrlimit(RLIMIT_AS, &tight) == 0;
}
