#pragma once
// What every fuzz target shares: the check that ends a run as a finding, and orvane-batch's
// argument list as the option targets take it from their input.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

// A broken promise is a finding: abort, so that libFuzzer keeps the input.
inline void require(bool condition) {
    if (!condition) std::abort();
}

// The input split at NUL bytes; a last argument without its NUL counts when not empty.
inline std::vector<std::string> nul_separated_arguments(const std::uint8_t* data,
                                                        std::size_t size) {
    std::vector<std::string> args;
    std::string current;
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == 0) {
            args.push_back(current);
            current.clear();
        } else {
            current.push_back(static_cast<char>(data[i]));
        }
    }
    if (!current.empty()) args.push_back(current);
    return args;
}
