#include "engine/simd/instruction_set.h"

#include <cstdlib>

namespace {

bool cpu_runs(InstructionSet set) {
    switch (set) {
        case InstructionSet::Scalar: return true;
        case InstructionSet::Sse2: return __builtin_cpu_supports("sse2");
        case InstructionSet::Avx2: return __builtin_cpu_supports("avx2");
        case InstructionSet::Avx512: return __builtin_cpu_supports("avx512f");
    }
    return false;
}

InstructionSet choose_instruction_set() {
    if (const char* forced = std::getenv("ORVANE_SIMD")) {
        const auto set = parse_instruction_set(forced);
        if (set && cpu_runs(*set)) return *set;
    }
    return runnable_instruction_sets().back();
}

}  // namespace

InstructionSet active_instruction_set() {
    static const InstructionSet chosen = choose_instruction_set();
    return chosen;
}

std::vector<InstructionSet> runnable_instruction_sets() {
    std::vector<InstructionSet> sets;
    for (auto set : {InstructionSet::Scalar, InstructionSet::Sse2, InstructionSet::Avx2,
                     InstructionSet::Avx512}) {
        if (cpu_runs(set)) sets.push_back(set);
    }
    return sets;
}

std::string_view instruction_set_name(InstructionSet set) {
    switch (set) {
        case InstructionSet::Scalar: return "scalar";
        case InstructionSet::Sse2: return "sse2";
        case InstructionSet::Avx2: return "avx2";
        case InstructionSet::Avx512: return "avx512";
    }
    return "scalar";
}

std::optional<InstructionSet> parse_instruction_set(std::string_view name) {
    for (auto set : {InstructionSet::Scalar, InstructionSet::Sse2, InstructionSet::Avx2,
                     InstructionSet::Avx512}) {
        if (instruction_set_name(set) == name) return set;
    }
    return std::nullopt;
}
