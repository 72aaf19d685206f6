#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// The engine's stored values of pi and 2 pi; pictures depend on these exact digits.
inline constexpr double EnginePi = 3.14159265359;
inline constexpr double EngineTwoPi = 6.28318530718;

// rnd: the nearest integer, halves to the even neighbour. Adding and subtracting 1.5 x 2^52 makes
// the FPU round in its default mode; std::nearbyint would be a library call on every plotted
// channel. Exact for |v| < 2^51; larger values are integral already or go to the library.
inline double RoundHalfEven(double v) {
    constexpr double shifter = 6755399441055744.0;
    if (v > -2251799813685248.0 && v < 2251799813685248.0)
        return (v + shifter) - shifter;
    return std::nearbyint(v);
}

// rnd of a value known to round into the 32-bit range: one conversion instruction, which rounds
// in the processor's mode (nearest, halves to even) like RoundHalfEven.
inline std::int32_t RoundInRangeToInt32(double v) {
#if defined(__SSE2__)
    return _mm_cvtsd_si32(_mm_set_sd(v));
#else
    return static_cast<std::int32_t>(RoundHalfEven(v));
#endif
}

// rnd into a 32-bit integer, saturating at the type's limits; not a number gives 0.
inline std::int32_t RoundToInt32(double v) {
    if (v > -2147483648.5 && v < 2147483647.5)
        return RoundInRangeToInt32(v);
    if (v > 0)
        return std::numeric_limits<std::int32_t>::max();
    if (v < 0)
        return std::numeric_limits<std::int32_t>::min();
    return 0;
}

// rnd(v) as an index 0..limit-1, or false when it falls outside (not a number included).
inline bool RoundToIndex(double v, int limit, int& index) {
    if (!(v > -1.0 && v < limit + 1.0))
        return false;
    const int rounded = RoundInRangeToInt32(v);
    if (rounded < 0 || rounded >= limit)
        return false;
    index = rounded;
    return true;
}

// Channel values rise 0..255, fall back 255..0 and rise again with period 512. Without a branch:
// 255 - v equals v ^ 255 for v in 0..255, and bright pictures make bit 8 unpredictable.
inline int FoldChannel(int c) {
    return (c & 255) ^ (-((c >> 8) & 1) & 255);
}
