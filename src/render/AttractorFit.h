#pragma once

#include "engine/FractalParams.h"
#include "engine/PlanePoint.h"

#include <cstdint>
#include <optional>
#include <vector>

// The part of the plane an attractor takes, without its outermost points: the share
// TrimmedShare of them on each side is left out, so that rare far excursions do not shrink
// the picture.
struct TAttractorBox {
    static constexpr double TrimmedShare = 0.005;
    double XMin = 0.0, XMax = 0.0, YMin = 0.0, YMax = 0.0;

    // None for fewer than two points.
    static std::optional<TAttractorBox> Of(const std::vector<TPlanePoint>& points);
    // The largest share of the frame's width or height that the box spans in the view of
    // centre (centreX, centreY) and magnification fitted to a width x height picture.
    double FrameShare(double centreX, double centreY, double magnification, int width,
                      int height) const;
};

// A view of the plane: what the view options and a parameter file hold.
struct TPlaneView {
    double CenterX = 0.0;
    double CenterY = 0.0;
    double Magnification = 0.5;
};

// The view that shows the box whole in a width x height picture with square pixels, the box
// filling it but for a margin of Margin on each side of its tighter direction. None for a box
// without extent.
std::optional<TPlaneView> FitView(const TAttractorBox& box, int width, int height);
inline constexpr double FitMargin = 0.05;

// `count` points of the orbit of `set` (its coefficients kept, no draw) after the warm-up, the
// orbit starting as the set's draw at `drawClock` left the generator. Fewer when the set fails
// its warm-up or escapes.
std::vector<TPlanePoint> SampleOrbit(const TFractalParams& set, std::uint32_t drawClock, int count);
