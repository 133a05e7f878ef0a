#include "engine/simd/instruction_set.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

// The names ORVANE_SIMD takes, and back.
TEST(instruction_set, names_read_back_and_others_are_refused) {
    for (InstructionSet set : {InstructionSet::Scalar, InstructionSet::Sse2, InstructionSet::Avx2,
                               InstructionSet::Avx512}) {
        EXPECT_EQ(parse_instruction_set(instruction_set_name(set)), set);
    }
    EXPECT_EQ(instruction_set_name(InstructionSet::Avx512), "avx512");
    for (const char* other : {"", "AVX2", "avx", "avx512f", "sse4", " scalar"})
        EXPECT_FALSE(parse_instruction_set(other).has_value()) << other;
}

// Scalar always runs, the sets come narrowest first, and x86-64 always has SSE2.
TEST(instruction_set, runnable_sets_start_with_scalar_and_sse2) {
    const std::vector<InstructionSet> sets = runnable_instruction_sets();
    ASSERT_GE(sets.size(), 2u);
    EXPECT_EQ(sets[0], InstructionSet::Scalar);
    EXPECT_EQ(sets[1], InstructionSet::Sse2);
    for (std::size_t k = 1; k < sets.size(); ++k) EXPECT_LT(sets[k - 1], sets[k]);
}

// The choice is made once a process, so each case runs in a child of its own that sets
// ORVANE_SIMD first: a runnable set named there is taken, anything else leaves the widest.
TEST(instruction_set, orvane_simd_forces_a_runnable_set) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const std::vector<InstructionSet> sets = runnable_instruction_sets();
    for (InstructionSet set : sets) {
        const std::string name(instruction_set_name(set));
        EXPECT_EXIT(
            {
                setenv("ORVANE_SIMD", name.c_str(), 1);
                std::exit(active_instruction_set() == set ? 0 : 1);
            },
            testing::ExitedWithCode(0), "")
            << name;
    }
    EXPECT_EXIT(
        {
            setenv("ORVANE_SIMD", "avx1024", 1);
            std::exit(active_instruction_set() == sets.back() ? 0 : 1);
        },
        testing::ExitedWithCode(0), "");
    EXPECT_EXIT(
        {
            unsetenv("ORVANE_SIMD");
            std::exit(active_instruction_set() == sets.back() ? 0 : 1);
        },
        testing::ExitedWithCode(0), "");
}
