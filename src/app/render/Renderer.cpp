#include "app/render/Renderer.h"

#include "app/render/MemoryHeadroom.h"
#include "engine/HitColor.h"
#include "engine/ViewFit.h"

#include <algorithm>
#include <cstdio>
#include <exception>
#include <latch>
#include <limits>
#include <new>
#include <ostream>
#include <stdexcept>
#include <string>
#include <system_error>
#include <thread>

namespace {

// The largest divisor of tickEvery up to 1024.
std::int64_t PassesPerHook(std::int64_t tickEvery) {
    for (std::int64_t n = std::min<std::int64_t>(tickEvery, 1024); n > 1; --n)
        if (tickEvery % n == 0)
            return n;
    return 1;
}

// Sets that passed their own warm-up but were rejected by another orbit's, before giving up.
constexpr int MaxSetsRejectedByOrbits = 1000;

// Everything the run holds at once: the hit counters of every orbit (and, with more than one,
// the groups of their latest hits) and the picture.
std::uint64_t RunBytes(int width, int height, int orbits) {
    const std::uint64_t pixels = static_cast<std::uint64_t>(width + 1) * (height + 1);
    const std::uint64_t perOrbit =
        TFractalEngine::HitBytes(width, height) + (orbits > 1 ? pixels : 0);
    const std::uint64_t picture = static_cast<std::uint64_t>(width * 3 + 3) * height;
    return perOrbit * orbits + picture;
}

std::string Mebibytes(std::uint64_t bytes) {
    return std::to_string((bytes + (1u << 20) - 1) >> 20) + " MiB";
}

} // namespace

TRenderer::TRenderer(const TRenderOptions& options)
    : FOptions(options), FNextSeed(options.Seed.value_or(0)) {
    const int width = FOptions.Width, height = FOptions.Height, orbits = FOptions.Threads;
    const std::uint64_t needed = RunBytes(width, height, orbits);
    const std::string what = "the hit counters of " + std::to_string(orbits) +
                             (orbits == 1 ? " orbit" : " orbits") + " and a " +
                             std::to_string(width) + "x" + std::to_string(height) + " picture";
    if (const std::optional<TMemoryHeadroom> headroom = MemoryHeadroom();
        headroom && needed > headroom->Bytes)
        throw std::runtime_error("not enough memory: " + what + " need " + Mebibytes(needed) +
                                 ", and " + headroom->Limit + " leaves " +
                                 Mebibytes(headroom->Bytes));
    TViewFit view;
    view.ResetCoordinates();
    view.XCenter = FOptions.CenterX;
    view.YCenter = FOptions.CenterY;
    view.Magnification = FOptions.Magnification;
    try {
        view.PrepareRun(FOptions.Params, FImage, width, height);
        for (int i = 0; i < orbits; ++i) {
            FEngines.push_back(std::make_unique<TFractalEngine>(width, height));
            if (orbits > 1)
                FEngines.back()->RecordLatestGroups();
        }
    } catch (const std::bad_alloc&) {
        throw std::runtime_error("not enough memory: " + what + " need " + Mebibytes(needed));
    }
}

std::uint32_t TRenderer::NextDrawClock() {
    if (!FOptions.Seed)
        return TFractalEngine::UtcMillisecondsOfDay();
    // A seeded run's clock moves on one millisecond per draw, through midnight as the real
    // clock does.
    const std::uint32_t seed = FNextSeed;
    FNextSeed = (FNextSeed + 1) % TFractalEngine::MillisecondsPerDay;
    return seed;
}

TRenderer::TOrbitEnd TRenderer::RunOrbit(TFractalEngine& engine, TFractalParams& params,
                                         std::int64_t steps, bool keepSet, std::ostream* progress,
                                         int& coefficientSets) {
    TOrbitEnd end;
    // Draws since a point was last plotted; the engine itself never gives up on a map choice. A
    // set that reached the plotting phase is being replaced when the clock is read with
    // StepCount at 4000 or more.
    std::int64_t fruitlessDraws = 0;
    // The estimate that got the previous set rejected, read before the draw resets it.
    end.RejectedLyapunov = params.Lyapunov;
    engine.SetClock([&]() -> std::uint32_t {
        end.RejectedLyapunov = params.Lyapunov;
        if (keepSet) {
            end.SetRejected = true;
            params.AbortRequested = BoolTrue;
            return 0;
        }
        ++coefficientSets;
        if (params.StepCount >= TFractalEngine::FirstPlotStep)
            fruitlessDraws = 0;
        if (++fruitlessDraws > FOptions.MaxFruitlessDraws) {
            end.GaveUp = true;
            params.AbortRequested = BoolTrue;
        }
        const std::uint32_t clock = NextDrawClock();
        FUsedClock = clock;
        return clock;
    });

    // The hook runs every passesPerHook passes, which divides TickEvery, so that the ticks fall
    // on the same passes as with a call after every pass.
    const std::int64_t passesPerHook = PassesPerHook(FOptions.TickEvery);
    engine.SetStepLimit(TFractalEngine::WarmUpSteps + steps);
    std::int64_t passes = 0;
    std::int64_t untilTick = FOptions.TickEvery;
    int shownPercent = -1;
    engine.SetPassHook(
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
            if (TClock::now() - FStart < std::chrono::seconds(1))
                return;
            const std::int64_t plotted = params.StepCount - TFractalEngine::WarmUpSteps;
            const int percent = plotted <= 0 ? 0 : static_cast<int>(plotted * 100 / steps);
            if (percent != shownPercent) {
                shownPercent = percent;
                *progress << "\rrendering " << percent << "%" << std::flush;
            }
        },
        static_cast<int>(passesPerHook));

    params.AbortRequested = BoolFalse;
    params.Tick = 0;
    engine.RunFractal(&params);

    if (shownPercent >= 0)
        *progress << (end.GaveUp || end.SetRejected ? "\n" : "\rrendering 100%\n") << std::flush;
    engine.SetPassHook(nullptr);
    engine.SetClock(nullptr);
    engine.SetStepLimit(TFractalEngine::NoStepLimit);
    return end;
}

std::runtime_error TRenderer::GiveUp(double lyapunov) const {
    char text[32];
    std::snprintf(text, sizeof text, "%g", lyapunov);
    if (FOptions.KeepCoefficients)
        return std::runtime_error(std::string("the parameter file's coefficient set failed its "
                                              "warm-up (the Lyapunov estimate was ") +
                                  text + "); no picture was drawn");
    return std::runtime_error(
        "no coefficient set was accepted after " + std::to_string(FOptions.MaxFruitlessDraws) +
        " draws (the last Lyapunov estimate was " + text + "; some map combinations never settle)");
}

TRenderResult TRenderer::Run(std::ostream* progress) {
    TFractalParams& params = FOptions.Params;
    TRenderResult result;
    FStart = TClock::now();
    if (FOptions.KeepCoefficients) {
        // The orbit starts as it did after the set's draw: the generator where the draw left
        // it, and the estimate the draw set.
        params.NewCoefficients = BoolFalse;
        params.Lyapunov = 1.0;
        if (FOptions.Seed || !FOptions.FileClock)
            FUsedClock = NextDrawClock();
        else
            FUsedClock = FOptions.FileClock;
    }
    if (FOptions.Threads == 1) {
        TFractalEngine& engine = *FEngines.front();
        if (FOptions.KeepCoefficients)
            engine.SetRandomSeed(TFractalEngine::OrbitStreamStart(*FUsedClock, 0, 1));
        const TOrbitEnd end = RunOrbit(engine, params, FOptions.Steps, FOptions.KeepCoefficients,
                                       progress, result.CoefficientSets);
        if (end.GaveUp || end.SetRejected)
            throw GiveUp(end.RejectedLyapunov);
        result.Steps = params.StepCount - TFractalEngine::WarmUpSteps;
    } else {
        result.Steps = RunOrbits(progress, result.CoefficientSets);
    }
    result.Seconds = std::chrono::duration<double>(TClock::now() - FStart).count();
    result.Lyapunov = params.Lyapunov;
    return result;
}

std::int64_t TRenderer::RunOrbits(std::ostream* progress, int& coefficientSets) {
    TFractalParams& params = FOptions.Params;
    const int orbits = FOptions.Threads;
    for (int rejectedSets = 0;; ++rejectedSets) {
        if (!FOptions.KeepCoefficients) {
            if (rejectedSets == MaxSetsRejectedByOrbits)
                throw std::runtime_error(
                    "no coefficient set kept all " + std::to_string(orbits) +
                    " orbits bounded after " + std::to_string(rejectedSets) +
                    " sets had passed one orbit's warm-up; try fewer --threads");
            // The first orbit's engine draws until a set passes its warm-up and plots a point.
            params.NewCoefficients = BoolTrue;
            const TOrbitEnd end =
                RunOrbit(*FEngines.front(), params, 1, false, nullptr, coefficientSets);
            if (end.GaveUp)
                throw GiveUp(end.RejectedLyapunov);
        }
        std::vector<TFractalParams> blocks(orbits, params);
        std::vector<TOrbitEnd> ends(orbits);
        std::vector<std::exception_ptr> errors(orbits);
        {
            // The orbits start together once every thread runs, or not at all: a thread the
            // system refuses ends the run before any orbit has begun.
            std::latch allStarted(1);
            bool startFailed = false;
            std::vector<std::jthread> threads;
            threads.reserve(orbits);
            const auto startThread = [&](int i, auto orbit) {
                try {
                    threads.emplace_back(orbit);
                } catch (const std::system_error& error) {
                    startFailed = true;
                    allStarted.count_down();
                    throw std::runtime_error(
                        "could not start a thread for orbit " + std::to_string(i + 1) + " of " +
                        std::to_string(orbits) + " (--threads " + std::to_string(orbits) +
                        "): " + error.code().message());
                }
            };
            for (int i = 0; i < orbits; ++i)
                startThread(i, [&, i] {
                    allStarted.wait();
                    if (startFailed)
                        return;
                    TFractalParams& block = blocks[i];
                    block.NewCoefficients = BoolFalse;
                    block.StepCount = 0;
                    block.Image = nullptr;
                    const std::int64_t steps =
                        FOptions.Steps / orbits + (i < FOptions.Steps % orbits ? 1 : 0);
                    int unusedSets = 0;
                    try {
                        FEngines[i]->SetRandomSeed(
                            TFractalEngine::OrbitStreamStart(*FUsedClock, i, orbits));
                        ends[i] = RunOrbit(*FEngines[i], block, steps, true,
                                           i == 0 ? progress : nullptr, unusedSets);
                    } catch (...) {
                        errors[i] = std::current_exception();
                    }
                });
            allStarted.count_down();
        }
        for (const std::exception_ptr& error : errors)
            if (error)
                std::rethrow_exception(error);
        const auto rejected = std::find_if(ends.begin(), ends.end(),
                                           [](const TOrbitEnd& end) { return end.SetRejected; });
        if (rejected == ends.end()) {
            MergeOrbits(blocks);
            std::int64_t steps = 0;
            for (const TFractalParams& block : blocks)
                steps += block.StepCount - TFractalEngine::WarmUpSteps;
            params.Tick = blocks.front().Tick;
            params.Lyapunov = blocks.front().Lyapunov;
            params.StepCount = blocks.front().StepCount;
            return steps;
        }
        if (FOptions.KeepCoefficients)
            throw GiveUp(rejected->RejectedLyapunov);
    }
}

void TRenderer::MergeOrbits(const std::vector<TFractalParams>& blocks) {
    const TFractalParams& p = blocks.front();
    // Every increment is the same rounded intensity, and a counter takes none once it has
    // reached the limit: one orbit after another would have stopped at the first multiple of the
    // increment at or beyond the limit.
    const std::int64_t increment = RoundToInt32(p.Intensity);
    const std::int64_t limit = TFractalEngine::HitLimit;
    const std::int64_t saturated =
        increment > 0 ? (limit + increment - 1) / increment * increment : 0;
    const std::uint32_t background = p.WhiteBackground ? 0xFFFFFFu : 0u;
    // Column by column, the order in which the engines keep their counters.
    for (int column = 0; column < FOptions.Width; ++column)
        for (int row = 0; row < FOptions.Height; ++row) {
            std::int64_t sums[3] = {0, 0, 0};
            int group = TFractalEngine::NoGroup;
            for (const std::unique_ptr<TFractalEngine>& engine : FEngines) {
                const std::int32_t* hits = engine->HitCounters(column, row);
                for (int g = 0; g < 3; ++g)
                    sums[g] += hits[g];
                if (const int latest = engine->LatestGroup(column, row);
                    latest != TFractalEngine::NoGroup)
                    group = latest;
            }
            if (group == TFractalEngine::NoGroup) {
                FImage.SetPixel(column, row, background);
                continue;
            }
            std::int32_t merged[3];
            for (int g = 0; g < 3; ++g) {
                std::int64_t sum = sums[g];
                if (increment > 0 && sum >= limit)
                    sum = std::min(sum, saturated);
                merged[g] = static_cast<std::int32_t>(
                    std::clamp<std::int64_t>(sum, std::numeric_limits<std::int32_t>::min(),
                                             std::numeric_limits<std::int32_t>::max()));
            }
            FImage.SetPixel(column, row, HitColor(p, merged, group));
        }
}

TParameterFile TRenderer::UsedParameters() const {
    TParameterFile file;
    file.Params = FOptions.Params;
    file.Params.Image = nullptr;
    file.CenterX = FOptions.CenterX;
    file.CenterY = FOptions.CenterY;
    file.Magnification = FOptions.Magnification;
    file.DrawClock = FUsedClock;
    return file;
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
