#include "app/render/Renderer.h"

#include "engine/ViewFit.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <limits>
#include <ostream>
#include <stdexcept>
#include <string>

namespace {

// The largest divisor of tickEvery up to 1024.
std::int64_t PassesPerHook(std::int64_t tickEvery) {
    for (std::int64_t n = std::min<std::int64_t>(tickEvery, 1024); n > 1; --n)
        if (tickEvery % n == 0)
            return n;
    return 1;
}

} // namespace

TRenderer::TRenderer(const TRenderOptions& options) : FOptions(options) {
    TViewFit view;
    view.ResetCoordinates();
    view.XCenter = FOptions.CenterX;
    view.YCenter = FOptions.CenterY;
    view.Magnification = FOptions.Magnification;
    view.PrepareRun(FOptions.Params, FImage, FOptions.Width, FOptions.Height);
}

TRenderResult TRenderer::Run(std::ostream* progress) {
    using Clock = std::chrono::steady_clock;
    TFractalParams& params = FOptions.Params;
    TRenderResult result;

    std::uint32_t nextSeed = FOptions.Seed.value_or(0);
    const bool seeded = FOptions.Seed.has_value();
    // Draws since a point was last plotted; the engine itself never gives up on a map choice. A
    // set that reached the plotting phase is being replaced when the clock is read with
    // StepCount at 4000 or more.
    std::int64_t fruitlessDraws = 0;
    bool gaveUp = false;
    // The estimate that got the previous set rejected, read before the draw resets it.
    double rejectedLyapunov = params.Lyapunov;
    FEngine.SetClock([&] {
        ++result.CoefficientSets;
        if (params.StepCount >= TFractalEngine::FirstPlotStep)
            fruitlessDraws = 0;
        rejectedLyapunov = params.Lyapunov;
        if (++fruitlessDraws > FOptions.MaxFruitlessDraws) {
            gaveUp = true;
            params.AbortRequested = BoolTrue;
        }
        if (!seeded)
            return TFractalEngine::UtcMillisecondsOfDay();
        // A seeded run's clock moves on one millisecond per draw, through midnight as the
        // real clock does.
        const std::uint32_t seed = nextSeed;
        nextSeed = (nextSeed + 1) % TFractalEngine::MillisecondsPerDay;
        return seed;
    });

    // The hook runs every passesPerHook passes, which divides TickEvery, so that the ticks fall
    // on the same passes as with a call after every pass.
    const std::int64_t passesPerHook = PassesPerHook(FOptions.TickEvery);
    FEngine.SetStepLimit(TFractalEngine::WarmUpSteps + FOptions.Steps);
    const Clock::time_point start = Clock::now();
    std::int64_t passes = 0;
    std::int64_t untilTick = FOptions.TickEvery;
    int shownPercent = -1;
    FEngine.SetPassHook(
        [&] {
            untilTick -= passesPerHook;
            if (untilTick == 0) {
                untilTick = FOptions.TickEvery;
                ++params.Tick;
            }
            // Looking at the time costs more than a pass: only every 65536 passes or so.
            passes += passesPerHook;
            if (progress == nullptr || passes < 65536)
                return;
            passes = 0;
            if (Clock::now() - start < std::chrono::seconds(1))
                return;
            const std::int64_t plotted = params.StepCount - TFractalEngine::WarmUpSteps;
            const int percent = plotted <= 0 ? 0 : static_cast<int>(plotted * 100 / FOptions.Steps);
            if (percent != shownPercent) {
                shownPercent = percent;
                *progress << "\rrendering " << percent << "%" << std::flush;
            }
        },
        static_cast<int>(passesPerHook));

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
    FEngine.SetStepLimit(std::numeric_limits<std::int32_t>::max());
    if (gaveUp) {
        char lyapunov[32];
        std::snprintf(lyapunov, sizeof lyapunov, "%g", rejectedLyapunov);
        throw std::runtime_error("no coefficient set was accepted after " +
                                 std::to_string(FOptions.MaxFruitlessDraws) +
                                 " draws (the last Lyapunov estimate was " + lyapunov +
                                 "; some map combinations never settle)");
    }
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
