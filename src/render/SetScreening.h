#pragma once

#include "engine/CorrelationDimension.h"
#include "engine/ParameterFile.h"
#include "render/RenderSettings.h"

#include <array>
#include <functional>
#include <optional>
#include <stop_token>
#include <string>

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

// The numbers as the two lines of UTF-8 text shown under a set.
std::array<std::string, 2> NumberLines(const TSetNumbers& numbers);

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
// dimension of DimensionSamplePoints points of its orbit. `keepPicture`, where given, sees both
// pictures, the plain view's and the fitted one's, before they are gone. Throws what TRenderJob
// throws, ERenderCancelled once `stop` is requested.
using TKeepPicture = std::function<void(const TPixelGraphic& picture, bool fitted)>;
TScreenedSet ScreenSet(const TRenderSettings& settings, const TKeepPicture& keepPicture = {},
                       const std::stop_token& stop = {});

// The screened set as a picture of width x height shows it: in the view it was screened in, or
// in the view that shows its attractor whole at that size. The coefficients stay bit for bit.
TParameterFile SetForPicture(const TScreenedSet& screened, int width, int height, bool fitted);
