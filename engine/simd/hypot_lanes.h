#pragma once
// What the vector forms of hypot share. The C library's hypot (glibc 2.35 and later, no
// FMA) is not the correctly rounded sqrt(dx^2 + dy^2): about one random pair in 160
// differs from that in the last bit. Its common path is a fixed sequence of IEEE
// operations, though:
//
//   ax = max(|dx|, |dy|), ay = min(|dx|, |dy|)
//   ay <= ax * 2^-54:  ax + ay
//   otherwise:         h = sqrt(ax * ax + ay * ay)
//     h <= ay + ay:    delta = h - ay
//                      t1 = (delta + delta - ax) * ax
//                      t2 = (delta - ((ax - ay) + (ax - ay))) * delta
//     else:            delta = h - ax
//                      t1 = (delta + delta) * (ax - (ay + ay))
//                      t2 = (4 * delta - ay) * ay + delta * delta
//                      h - (t1 + t2) / (h + h)
//
// taken whenever ax <= 2^511 and ay >= 2^-459 (no square overflows or underflows); the
// library scales the operands outside that range. Each operation is correctly rounded in
// any lane of any instruction set, so a lane form that performs the same operations in
// the same order gives the library's bits, pair for pair. Lanes outside the range (and
// NaN, infinities, zeros) are handed to std::hypot itself, and so are the lopsided
// pairs: they are rare, and testing for them costs each vector less than computing
// their sums would (the lane forms test ay > max(2^-459, ax * 2^-54) once).

inline constexpr double HYPOT_LANES_LARGEST = 0x1p511;    // largest ax taken in lanes
inline constexpr double HYPOT_LANES_SMALLEST = 0x1p-459;  // smallest ay taken in lanes
inline constexpr double HYPOT_LANES_RATIO = 0x1p-54;      // at or below it: ax + ay
