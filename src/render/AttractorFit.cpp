#include "render/AttractorFit.h"

#include "engine/FractalEngine.h"
#include "engine/ViewFit.h"
#include "image/PixelGraphic.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <tuple>

namespace {

// The values at the trimmed share from each end.
std::pair<double, double> TrimmedRange(std::vector<double>& values) {
    const auto last = static_cast<std::ptrdiff_t>(values.size()) - 1;
    const auto cut = static_cast<std::ptrdiff_t>(std::floor(last * TAttractorBox::TrimmedShare));
    std::nth_element(values.begin(), values.begin() + cut, values.end());
    const double low = values[static_cast<std::size_t>(cut)];
    std::nth_element(values.begin(), values.begin() + (last - cut), values.end());
    return {low, values[static_cast<std::size_t>(last - cut)]};
}

TViewFit FittedRectangle(double centreX, double centreY, double magnification, int width,
                         int height) {
    TViewFit view;
    view.XCenter = centreX;
    view.YCenter = centreY;
    view.Magnification = magnification;
    view.AdjustCoords(width, height);
    return view;
}

} // namespace

std::optional<TAttractorBox> TAttractorBox::Of(const std::vector<TPlanePoint>& points) {
    if (points.size() < 2)
        return std::nullopt;
    std::vector<double> xs, ys;
    xs.reserve(points.size());
    ys.reserve(points.size());
    for (const TPlanePoint& point : points) {
        xs.push_back(point.X);
        ys.push_back(point.Y);
    }
    TAttractorBox box;
    std::tie(box.XMin, box.XMax) = TrimmedRange(xs);
    std::tie(box.YMin, box.YMax) = TrimmedRange(ys);
    return box;
}

double TAttractorBox::FrameShare(double centreX, double centreY, double magnification, int width,
                                 int height) const {
    const TViewFit view = FittedRectangle(centreX, centreY, magnification, width, height);
    // Only the part of the box inside the frame counts.
    const double spanX = std::max(0.0, std::min(XMax, view.XMax) - std::max(XMin, view.XMin)) /
                         (view.XMax - view.XMin);
    const double spanY = std::max(0.0, std::min(YMax, view.YMax) - std::max(YMin, view.YMin)) /
                         (view.YMax - view.YMin);
    return std::max(spanX, spanY);
}

std::optional<TPlaneView> FitView(const TAttractorBox& box, int width, int height) {
    const double boxWidth = box.XMax - box.XMin;
    const double boxHeight = box.YMax - box.YMin;
    if (!(boxWidth > 0.0) && !(boxHeight > 0.0))
        return std::nullopt;
    // The fitting spans 4 / M times its aspect factor in each direction (see TViewFit).
    const TViewFit unit = FittedRectangle(0.0, 0.0, 1.0, width, height);
    const double fill = 1.0 - 2.0 * FitMargin;
    double magnification = std::numeric_limits<double>::max();
    if (boxWidth > 0.0)
        magnification = std::min(magnification, (unit.XMax - unit.XMin) * fill / boxWidth);
    if (boxHeight > 0.0)
        magnification = std::min(magnification, (unit.YMax - unit.YMin) * fill / boxHeight);
    if (!std::isfinite(magnification))
        return std::nullopt;
    return TPlaneView{(box.XMin + box.XMax) * 0.5, (box.YMin + box.YMax) * 0.5, magnification};
}

std::vector<TPlanePoint> SampleOrbit(const TFractalParams& set, std::uint32_t drawClock,
                                     int count) {
    // Where the points land does not matter: a small picture keeps the engine cheap.
    constexpr int ScratchSide = 16;
    TFractalEngine engine(ScratchSide, ScratchSide);
    TFractalParams block = set;
    TPixelGraphic scratch;
    TViewFit view;
    view.ResetCoordinates();
    view.PrepareRun(block, scratch, ScratchSide, ScratchSide);
    block.NewCoefficients = BoolFalse;
    block.Lyapunov = 1.0;
    block.AbortRequested = BoolFalse;
    block.Tick = 0;
    engine.SetRandomSeed(TFractalEngine::OrbitStreamStart(drawClock, 0, 1));
    std::vector<TPlanePoint> points;
    points.reserve(static_cast<std::size_t>(count));
    // A draw means the set was rejected: it has no attractor to sample.
    bool rejected = false;
    engine.SetClock([&]() -> std::uint32_t {
        rejected = true;
        block.AbortRequested = BoolTrue;
        return 0;
    });
    engine.SetPassHook([&] {
        if (block.StepCount < TFractalEngine::FirstPlotStep)
            return;
        points.push_back({engine.X(), engine.Y()});
        if (static_cast<int>(points.size()) >= count)
            block.AbortRequested = BoolTrue;
    });
    engine.RunFractal(&block);
    if (rejected)
        points.clear();
    return points;
}
