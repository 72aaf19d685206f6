#pragma once

#include "engine/CorrelationDimension.h"
#include "engine/ParameterFile.h"
#include "render/RenderSettings.h"

#include <functional>
#include <optional>

class TPixelGraphic;

// The numbers a person screens candidate sets by, for one accepted set.
struct TSetNumbers {
    double Lyapunov = 0.0;
    // The share of the picture's pixels reached, in the default view and in the fitted one.
    double Coverage = 0.0;
    double FitCoverage = 0.0;
    // None where the orbit gave too few points or no scaling range.
    std::optional<TDimensionEstimate> Dimension;
};

// A set and its numbers.
struct TScreenedSet {
    // The set with its clock, view (the settings' own) and steps, as a render of it would save.
    TParameterFile Set;
    TSetNumbers Numbers;
};

// Orbit points the dimension is estimated from: a few thousand, as the estimator wants.
inline constexpr int DimensionSamplePoints = 4000;

// Draws the set of `settings` (or keeps its own) and measures it: a render at the settings'
// size and steps in their view and one in the view fitted to the attractor, and the correlation
// dimension of DimensionSamplePoints points of its orbit. `keepPicture`, where given, sees the
// picture of the settings' own choice of view (fitted or not) before it is gone. Throws what
// TRenderJob throws.
using TKeepPicture = std::function<void(const TPixelGraphic&)>;
TScreenedSet ScreenSet(const TRenderSettings& settings, const TKeepPicture& keepPicture = {});
