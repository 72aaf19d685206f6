#include "app/render/Renderer.h"

#include "engine/ViewFit.h"

#include <chrono>
#include <cstdio>
#include <ostream>
#include <stdexcept>
#include <string>

TRenderer::TRenderer(const TRenderOptions& options) : FOptions(options) {
    FImage.SetSize(FOptions.Width, FOptions.Height, bc24Bit);
    TFractalParams& params = FOptions.Params;
    params.Image = &FImage;
    params.ImageWidth = FOptions.Width;
    params.ImageHeight = FOptions.Height;
    TViewFit view;
    view.ResetCoordinates();
    view.XCenter = FOptions.CenterX;
    view.YCenter = FOptions.CenterY;
    view.Magnification = FOptions.Magnification;
    view.AdjustCoords(FOptions.Width, FOptions.Height);
    view.CopyToParams(params);
}

TRenderResult TRenderer::Run(std::ostream* progress) {
    using Clock = std::chrono::steady_clock;
    TFractalParams& params = FOptions.Params;
    TRenderResult result;

    std::uint32_t nextSeed = FOptions.Seed.value_or(0);
    const bool seeded = FOptions.Seed.has_value();
    // Draws since a point was last plotted; the engine itself never gives up on a map choice.
    std::int64_t fruitlessDraws = 0;
    bool gaveUp = false;
    FEngine.SetClock([&] {
        ++result.CoefficientSets;
        ++fruitlessDraws;
        return seeded ? nextSeed++ : TFractalEngine::UtcMillisecondsOfDay();
    });

    const std::int32_t stopAt = TFractalEngine::WarmUpSteps + FOptions.Steps;
    const Clock::time_point start = Clock::now();
    std::int64_t passes = 0;
    std::int64_t untilTick = FOptions.TickEvery;
    int shownPercent = -1;
    FEngine.SetPassHook([&] {
        if (--untilTick == 0) {
            untilTick = FOptions.TickEvery;
            ++params.Tick;
        }
        if (params.StepCount >= stopAt)
            params.AbortRequested = BoolTrue;
        if (params.StepCount >= TFractalEngine::FirstPlotStep) {
            fruitlessDraws = 0;
        } else if (fruitlessDraws > FOptions.MaxFruitlessDraws) {
            // The last of those sets has been rejected too: another draw has begun.
            gaveUp = true;
            params.AbortRequested = BoolTrue;
        }
        // Looking at the time costs more than a pass: only every 65536 passes.
        if (progress == nullptr || (++passes & 0xFFFF) != 0)
            return;
        if (Clock::now() - start < std::chrono::seconds(1))
            return;
        const std::int64_t plotted = params.StepCount - TFractalEngine::WarmUpSteps;
        const int percent = plotted <= 0 ? 0 : static_cast<int>(plotted * 100 / FOptions.Steps);
        if (percent != shownPercent) {
            shownPercent = percent;
            *progress << "\rrendering " << percent << "%" << std::flush;
        }
    });

    params.AbortRequested = BoolFalse;
    params.Tick = 0;
    FEngine.RunFractal(&params);

    result.Seconds = std::chrono::duration<double>(Clock::now() - start).count();
    result.Steps = params.StepCount - TFractalEngine::WarmUpSteps;
    result.Lyapunov = params.Lyapunov;
    if (shownPercent >= 0)
        *progress << (gaveUp ? "\n" : "\rrendering 100%\n") << std::flush;
    FEngine.SetPassHook(nullptr);
    FEngine.SetClock(nullptr);
    if (gaveUp)
        throw std::runtime_error("no coefficient set was accepted after " +
                                 std::to_string(FOptions.MaxFruitlessDraws) + " draws");
    return result;
}

std::string RenderStatsJson(const TRenderResult& result) {
    const double perSecond = result.Seconds > 0.0 ? result.Steps / result.Seconds : 0.0;
    char line[256];
    std::snprintf(line, sizeof line,
                  "{\"steps\":%lld,\"coefficient_sets\":%d,\"lyapunov\":%.6f,\"seconds\":%.3f,"
                  "\"steps_per_second\":%.0f}",
                  static_cast<long long>(result.Steps), result.CoefficientSets, result.Lyapunov,
                  result.Seconds, perSecond);
    return line;
}
