#pragma once

#include "engine/PlanePoint.h"

#include <optional>
#include <span>

// The correlation dimension of a point set after Grassberger and Procaccia: the slope of
// log C(r) against log r, where C(r) is the share of pairs of points closer than r, over the
// radii where it is straightest. Few points show the small radii badly and the set's own
// extent flattens the large ones, so only radii with enough pairs below them and a small share
// of all pairs are fitted.
struct TDimensionEstimate {
    double Dimension = 0.0;
    // The scaling range fitted: the smallest and largest radius, and the root mean square
    // distance of log2 C(r) from the fitted line.
    double RadiusLow = 0.0;
    double RadiusHigh = 0.0;
    double Residual = 0.0;
    int Points = 0;

    // None for fewer than MinPoints finite points, or radii that span no scaling range.
    static std::optional<TDimensionEstimate> Of(std::span<const TPlanePoint> points);
    static constexpr int MinPoints = 100;
    // The scaling range spans at least this many doublings of the radius.
    static constexpr double MinOctaves = 2.0;
};
