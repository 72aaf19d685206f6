#pragma once

#include "engine/ParameterFile.h"
#include "render/RenderSettings.h"

#include <cstdint>

// Variants of a set near it: each coefficient moved by its own uniform step of at most the
// strength either way. A variant is the stream (seed, number) of the counter-based generator,
// so a seed gives the same variants on any machine.
struct TMutation {
    static constexpr double MinStrength = 0.005;
    static constexpr double MaxStrength = 0.5;

    TParameterFile Centre;
    double Strength = 0.05;
    std::uint32_t Seed = 0;

    // Variant `number`, 1 and up: the centre with moved coefficients, its settings, view, size
    // and clock kept. Number 0 is the centre itself.
    TParameterFile Variant(int number) const;
    // The render that screens variant `number` at width x height and `density` steps a pixel:
    // its coefficients kept, so that one that fails its warm-up fails rather than draws another.
    TRenderSettings Screening(int number, int width, int height, double density) const;
};
