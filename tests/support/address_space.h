#pragma once
// Address-space limits for tests that run out of memory on purpose, in a forked child.

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <system_error>
#include <thread>

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

// Runs child() in a forked child process, which exits with what it returns; that exit
// status, or -1 when the child ended by a signal.
template <class Child>
int exit_status_of_child(Child&& child) {
    const pid_t pid = ::fork();
    if (pid == 0) ::_exit(child());
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

// How a child without room for a thread ended.
enum class ThreadlessEnd { Passed, Failed, ThreadStarted, Signalled };

// Runs check() in a forked child whose address space leaves no room for a thread's stack
// (what it uses plus `room`), once a probe thread has failed to start there. What check
// works on should be made before the call: the child may have no room to allocate it.
// ThreadStarted when the probe did start: the C library keeps the stacks of finished
// threads for reuse, so after other threads of this process one can (ctest runs each test
// in a process of its own).
template <class Check>
ThreadlessEnd run_without_room_for_threads(Check&& check, rlim_t room = rlim_t{4} << 20) {
    enum : int { PASSED = 0, FAILED = 4, THREAD_STARTED = 3 };
    const int status = exit_status_of_child([&]() -> int {
        if (!limit_address_space_to_use_plus(room)) return FAILED;
        try {
            std::thread probe([] {});
            probe.join();
            return THREAD_STARTED;
        } catch (const std::system_error&) {
        }
        return check() ? PASSED : FAILED;
    });
    switch (status) {
        case -1: return ThreadlessEnd::Signalled;
        case PASSED: return ThreadlessEnd::Passed;
        case THREAD_STARTED: return ThreadlessEnd::ThreadStarted;
        default: return ThreadlessEnd::Failed;
    }
}

// Runs check() in a forked child whose address space holds what it uses plus `room`
// bytes; whether it returned true there. What check works on should be made before the
// call.
template <class Check>
bool passes_with_room(Check&& check, rlim_t room) {
    return exit_status_of_child(
               [&] { return limit_address_space_to_use_plus(room) && check() ? 0 : 1; }) == 0;
}
