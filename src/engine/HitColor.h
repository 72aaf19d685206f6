#pragma once

#include "engine/EngineMath.h"
#include "engine/FractalParams.h"

#include <cmath>
#include <cstdint>

// Which of the red, green and blue factors each group's red, green and blue channel takes.
inline constexpr int FactorOfChannel[3][3] = {{0, 1, 2}, {2, 0, 1}, {1, 2, 0}};

// The colour (red + 256 green + 65536 blue) of a pixel whose three group counters are `hits`
// and whose latest hit was of `group` (0..2).
[[gnu::always_inline]] inline std::uint32_t HitColor(const TFractalParams& p,
                                                     const std::int32_t* hits, int group) {
    const double total = static_cast<double>(std::int64_t{hits[0]} + hits[1] + hits[2]);
    const double brightness = p.RootFilter ? std::sqrt(2.5 * total) : 0.1 * total;
    const double factors[3] = {p.RedFactor, p.GreenFactor, p.BlueFactor};
    const int* factorOf = FactorOfChannel[group];
    // 255 - c on a white background, as c ^ 255 for c in 0..255.
    const int invert = p.WhiteBackground ? 255 : 0;
    const int red = FoldChannel(RoundToInt32(brightness * factors[factorOf[0]])) ^ invert;
    const int green = FoldChannel(RoundToInt32(brightness * factors[factorOf[1]])) ^ invert;
    const int blue = FoldChannel(RoundToInt32(brightness * factors[factorOf[2]])) ^ invert;
    return static_cast<std::uint32_t>(red + 256 * green + 65536 * blue);
}
