#pragma once
// Which vector instruction set the vector kernels run with. Every kernel has a plain
// scalar form and forms compiled for SSE2, AVX2 and AVX-512F (files of their own, built
// with the matching flags, never with FMA); all give the same bits, so the choice only
// changes speed. It is made once, from the CPU, unless ORVANE_SIMD forces one.

#include <optional>
#include <string_view>
#include <vector>

enum class InstructionSet { Scalar, Sse2, Avx2, Avx512 };

// The set in force for this process: ORVANE_SIMD ("scalar", "sse2", "avx2", "avx512")
// when it names one this CPU runs, else the widest the CPU runs. Read once.
InstructionSet active_instruction_set();

// Every set this CPU runs, narrowest first (Scalar always); tests run each of them.
std::vector<InstructionSet> runnable_instruction_sets();

// "scalar", "sse2", "avx2" or "avx512", and back (nullopt for another text).
std::string_view instruction_set_name(InstructionSet set);
std::optional<InstructionSet> parse_instruction_set(std::string_view name);
