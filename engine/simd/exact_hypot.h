#pragma once
// hypot for many pairs at once, with the bits of std::hypot: the lane forms repeat the
// C library's own operations (engine/simd/hypot_lanes.h) and hand the pairs outside
// their range to std::hypot.

#include <cstddef>

#include "engine/simd/instruction_set.h"

// d[k] = std::hypot(dx[k], dy[k]) for k < n, computed with the kernel of `set` (which
// the CPU must run). The arrays may not overlap d.
void exact_hypot(InstructionSet set, const double* dx, const double* dy, double* d, std::size_t n);

// Whether the lane forms give this process's std::hypot bits on a probe of edge and
// random pairs, every runnable set tried. A C library whose hypot takes other steps
// fails it at once; the distance kernels then keep to std::hypot. Probed once.
bool hypot_lanes_match_library();

// The set the distance kernels use: active_instruction_set(), or Scalar when the lane
// forms do not match the library's hypot.
InstructionSet distance_instruction_set();
