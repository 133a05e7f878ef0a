#pragma once
// Runs a program as a user would, in a child process: its output and its errors caught in
// files, the "C" number format, and what else a test sets up in the child before the
// program starts (a working folder, variables, an address-space limit).

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

struct ProgramOutcome {
    bool exited = false;  // false: ended by a signal (an abort, the OOM killer)
    int status = -1;      // the exit status, or minus the signal
    std::string out, err;
};

struct ProgramSetup {
    std::filesystem::path catch_folder;    // where stdout.txt and stderr.txt are written
    std::filesystem::path working_folder;  // the program's folder; empty: the test's
    // Variables set for the program; an empty value removes the variable.
    std::vector<std::pair<std::string, std::string>> environment;
    rlim_t address_space = 0;  // RLIMIT_AS of the program; 0: none
};

inline std::string file_text(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Runs `program` (found on PATH when it names no folder) with `args` and waits for it.
inline ProgramOutcome run_program(const std::string& program, const std::vector<std::string>& args,
                                  const ProgramSetup& setup) {
    const std::string out = (setup.catch_folder / "stdout.txt").string();
    const std::string err = (setup.catch_folder / "stderr.txt").string();
    const pid_t child = ::fork();
    if (child == 0) {
        const int o = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int e = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (o < 0 || e < 0 || ::dup2(o, 1) < 0 || ::dup2(e, 2) < 0) ::_exit(126);
        if (!setup.working_folder.empty() && ::chdir(setup.working_folder.c_str()) != 0)
            ::_exit(126);
        ::setenv("LC_ALL", "C", 1);
        for (const auto& [name, value] : setup.environment) {
            if (value.empty())
                ::unsetenv(name.c_str());
            else
                ::setenv(name.c_str(), value.c_str(), 1);
        }
        if (setup.address_space > 0) {
            const rlimit limit{setup.address_space, setup.address_space};
            if (::setrlimit(RLIMIT_AS, &limit) != 0) ::_exit(126);
        }
        std::vector<char*> argv{const_cast<char*>(program.c_str())};
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execvp(program.c_str(), argv.data());
        ::_exit(127);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ProgramOutcome outcome;
    outcome.exited = WIFEXITED(status);
    outcome.status = outcome.exited ? WEXITSTATUS(status) : -WTERMSIG(status);
    outcome.out = file_text(out);
    outcome.err = file_text(err);
    return outcome;
}
