#pragma once

#include "app/render/RenderOptions.h"
#include "engine/FractalEngine.h"
#include "image/PixelGraphic.h"

#include <cstdint>
#include <iosfwd>
#include <string>

struct TRenderResult {
    std::int64_t Steps = 0;  // plotted steps of the final coefficient set
    int CoefficientSets = 0; // coefficient sets drawn
    double Lyapunov = 0.0;
    double Seconds = 0.0;
};

// One headless run: the options' block on a fresh image, the default view fitted to it, ended
// once the requested number of points has been plotted.
class TRenderer {
public:
    explicit TRenderer(const TRenderOptions& options);

    // progress receives a percentage line for runs longer than a second; null for none. Throws
    // std::runtime_error when the options' MaxFruitlessDraws coefficient sets in a row were
    // drawn without a plotted point.
    TRenderResult Run(std::ostream* progress);
    const TPixelGraphic& Image() const { return FImage; }
    TPixelGraphic& Image() { return FImage; }
    const TFractalParams& Params() const { return FOptions.Params; }

private:
    TRenderOptions FOptions;
    TPixelGraphic FImage;
    TFractalEngine FEngine;
};

// The figures of a run as one JSON line (without the line end).
std::string RenderStatsJson(const TRenderResult& result);
