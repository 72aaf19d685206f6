#include "render/RenderJob.h"

#include "engine/HitColor.h"
#include "engine/ViewFit.h"
#include "render/AttractorFit.h"
#include "render/MemoryHeadroom.h"
#include "render/Supersampling.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <exception>
#include <latch>
#include <limits>
#include <new>
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

// Everything the run holds at once: the hit counters and latest groups of every orbit and the
// picture.
std::uint64_t RunBytes(int width, int height, int orbits, double intensity) {
    const std::uint64_t perOrbit =
        TFractalEngine::HitBytes(width, height, TFractalEngine::CounterWidthFor(intensity));
    const std::uint64_t picture = static_cast<std::uint64_t>(width * 3 + 3) * height;
    return perOrbit * orbits + picture;
}

std::string Mebibytes(std::uint64_t bytes) {
    return std::to_string((bytes + (1u << 20) - 1) >> 20) + " MiB";
}

} // namespace

TRenderJob::TRenderJob(const TRenderSettings& settings)
    : FSettings(settings), FSupersample(settings.Supersample), FWidth(settings.Width),
      FHeight(settings.Height), FRequestedSteps(settings.Steps),
      FNextSeed(settings.Seed.value_or(0)) {
    if (FSupersample < 1 || FSupersample > TRenderSettings::MaxSupersample)
        throw std::invalid_argument("supersampling must be 1 to " +
                                    std::to_string(TRenderSettings::MaxSupersample));
    // Each sub-pixel gets the steps of a plain pixel, so the picture keeps its look.
    const std::int64_t subPixels = std::int64_t{FSupersample} * FSupersample;
    if (FSettings.Steps > TRenderSettings::MaxSteps / subPixels)
        throw std::invalid_argument("supersampling " + std::to_string(FSupersample) + " times " +
                                    std::to_string(FSettings.Steps) + " steps gives more than " +
                                    std::to_string(TRenderSettings::MaxSteps) + " steps");
    FSettings.Steps *= subPixels;
    FSettings.Width *= FSupersample;
    FSettings.Height *= FSupersample;
    FOrbits = FSettings.OrbitCount();
    if (FSettings.Steps < FOrbits)
        throw std::invalid_argument(std::to_string(FOrbits) +
                                    " orbits need at least as many steps");
    // Each thread plots its share of the orbits into counters of its own.
    const int width = FSettings.Width, height = FSettings.Height;
    const int threads = std::clamp(FSettings.Threads, 1, FOrbits);
    const double intensity = FSettings.Params.Intensity;
    const std::uint64_t needed = RunBytes(width, height, threads, intensity);
    std::string what = "the hit counters of " + std::to_string(threads) +
                       (threads == 1 ? " thread" : " threads") + " and a " + std::to_string(width) +
                       "x" + std::to_string(height) + " picture";
    if (FSupersample > 1)
        what += " (" + std::to_string(FWidth) + "x" + std::to_string(FHeight) + " supersampled " +
                std::to_string(FSupersample) + " times)";
    if (const std::optional<TMemoryHeadroom> headroom = MemoryHeadroom();
        headroom && needed > headroom->Bytes)
        throw std::runtime_error("not enough memory: " + what + " need " + Mebibytes(needed) +
                                 ", and " + headroom->Limit + " leaves " +
                                 Mebibytes(headroom->Bytes));
    TViewFit view;
    view.ResetCoordinates();
    view.XCenter = FSettings.CenterX;
    view.YCenter = FSettings.CenterY;
    view.Magnification = FSettings.Magnification;
    FImage.Gamma = FSettings.ScreenGamma;
    FReduced.Gamma = FSettings.ScreenGamma;
    try {
        view.PrepareRun(FSettings.Params, FImage, width, height);
        for (int i = 0; i < threads; ++i)
            FEngines.push_back(std::make_unique<TFractalEngine>(
                width, height, TFractalEngine::CounterWidthFor(intensity)));
    } catch (const std::bad_alloc&) {
        throw std::runtime_error("not enough memory: " + what + " need " + Mebibytes(needed));
    }
}

std::uint64_t TRenderJob::NeededBytes(const TRenderSettings& settings) {
    const int factor = settings.Supersample;
    return RunBytes(settings.Width * factor, settings.Height * factor,
                    std::clamp(settings.Threads, 1, settings.OrbitCount()),
                    settings.Params.Intensity);
}

double TRenderJob::MeasuredRate(const TRenderSettings& settings) {
    // The picture's own size up to about nine million pixels: counters larger than the caches
    // plot at a fraction of the speed of small ones.
    constexpr double MaxProbePixels = 9e6;
    TRenderSettings probe = settings;
    const double pixels = static_cast<double>(settings.Width) * settings.Height *
                          settings.Supersample * settings.Supersample;
    const double scale = std::min(1.0, std::sqrt(MaxProbePixels / pixels)) * settings.Supersample;
    probe.Width = std::max(1, static_cast<int>(settings.Width * scale));
    probe.Height = std::max(1, static_cast<int>(settings.Height * scale));
    probe.Steps = 300000;
    probe.Threads = 1;
    probe.Orbits = 0;
    probe.Supersample = 1;
    probe.Transparent = false;
    try {
        TRenderJob job(probe);
        const TRenderResult result = job.Run();
        return result.Seconds > 0.0 ? static_cast<double>(result.Steps) / result.Seconds : 0.0;
    } catch (const std::exception&) {
        return 0.0;
    }
}

int TRenderJob::RunningThreads(const TRenderSettings& settings) {
    const int cores = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    return std::min({settings.Threads, settings.OrbitCount(), cores});
}

std::uint32_t TRenderJob::NextDrawClock() {
    if (!FSettings.Seed)
        return TFractalEngine::UtcMillisecondsOfDay();
    // A seeded run's clock moves on one millisecond per draw, through midnight as the real
    // clock does.
    const std::uint32_t seed = FNextSeed;
    FNextSeed = (FNextSeed + 1) % TFractalEngine::MillisecondsPerDay;
    return seed;
}

TRenderJob::TOrbitEnd TRenderJob::RunOrbit(TFractalEngine& engine, TFractalParams& params,
                                           std::int64_t steps, bool keepSet,
                                           const TProgressShare& share, const std::stop_token& stop,
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
        if (++fruitlessDraws > FSettings.MaxFruitlessDraws) {
            end.GaveUp = true;
            params.AbortRequested = BoolTrue;
        }
        const std::uint32_t clock = NextDrawClock();
        FUsedClock = clock;
        return clock;
    });

    // The hook runs every passesPerHook passes, which divides TickEvery, so that the ticks fall
    // on the same passes as with a call after every pass.
    const std::int64_t passesPerHook = PassesPerHook(FSettings.TickEvery);
    engine.SetStepLimit(TFractalEngine::WarmUpSteps + steps);
    std::int64_t passes = 0;
    std::int64_t untilTick = FSettings.TickEvery;
    engine.SetPassHook(
        [&] {
            untilTick -= passesPerHook;
            if (untilTick == 0) {
                untilTick = FSettings.TickEvery;
                ++params.Tick;
            }
            // Looking at the time and the stop token costs more than a pass: only every 65536
            // passes or so.
            passes += passesPerHook;
            if (passes < 65536)
                return;
            passes = 0;
            if (stop.stop_requested()) {
                end.Cancelled = true;
                params.AbortRequested = BoolTrue;
                return;
            }
            if (share.Hook == nullptr || !*share.Hook)
                return;
            const std::int64_t plotted =
                std::max<std::int64_t>(0, engine.StepCount64() - TFractalEngine::WarmUpSteps);
            (*share.Hook)({static_cast<double>(share.Done + plotted) /
                               static_cast<double>(share.Total > 0 ? share.Total : steps),
                           std::chrono::duration<double>(TClock::now() - FStart).count()});
        },
        static_cast<int>(passesPerHook));

    params.AbortRequested = BoolFalse;
    params.Tick = 0;
    engine.RunFractal(&params);

    engine.SetPassHook(nullptr);
    engine.SetClock(nullptr);
    engine.SetStepLimit(TFractalEngine::NoStepLimit);
    return end;
}

std::runtime_error TRenderJob::GiveUp(double lyapunov) const {
    char text[32];
    std::snprintf(text, sizeof text, "%g", lyapunov);
    if (FSettings.KeepCoefficients)
        return std::runtime_error(std::string("the parameter file's coefficient set failed its "
                                              "warm-up (the Lyapunov estimate was ") +
                                  text + "); no picture was drawn");
    return std::runtime_error(
        "no coefficient set was accepted after " + std::to_string(FSettings.MaxFruitlessDraws) +
        " draws (the last Lyapunov estimate was " + text + "; some map combinations never settle)");
}

TRenderResult TRenderJob::Run(const TRenderProgressHook& progress, const std::stop_token& stop) {
    TFractalParams& params = FSettings.Params;
    TRenderResult result;
    FStart = TClock::now();
    if (FSettings.Fit)
        FitToAttractor(stop, result.CoefficientSets);
    if (FSettings.KeepCoefficients) {
        // The orbit starts as it did after the set's draw: the generator where the draw left
        // it, and the estimate the draw set.
        params.NewCoefficients = BoolFalse;
        params.Lyapunov = 1.0;
        if (FSettings.Seed || !FSettings.FileClock)
            FUsedClock = NextDrawClock();
        else
            FUsedClock = FSettings.FileClock;
    }
    if (FOrbits == 1) {
        TFractalEngine& engine = *FEngines.front();
        if (FSettings.KeepCoefficients)
            engine.SetRandomSeed(TFractalEngine::OrbitStreamStart(*FUsedClock, 0, 1));
        const TOrbitEnd end = RunOrbit(engine, params, FSettings.Steps, FSettings.KeepCoefficients,
                                       {&progress}, stop, result.CoefficientSets);
        if (end.Cancelled)
            throw ERenderCancelled();
        if (end.GaveUp || end.SetRejected)
            throw GiveUp(end.RejectedLyapunov);
        result.Steps = engine.StepCount64() - TFractalEngine::WarmUpSteps;
    } else {
        result.Steps = RunOrbits(&progress, stop, result.CoefficientSets);
    }
    if (FSettings.Transparent)
        MakeTransparentPicture();
    else if (FSupersample > 1)
        ReduceByBoxAverage(FImage, FSupersample, FReduced);
    result.Seconds = std::chrono::duration<double>(TClock::now() - FStart).count();
    result.Lyapunov = params.Lyapunov;
    return result;
}

std::int64_t TRenderJob::RunOrbits(const TRenderProgressHook* progress, std::stop_token stop,
                                   int& coefficientSets) {
    TFractalParams& params = FSettings.Params;
    const int orbits = FOrbits;
    const int threads = static_cast<int>(FEngines.size());
    // Thread t runs the orbits FirstOrbit(t) to FirstOrbit(t + 1) - 1, one after another, into
    // its counters. Each thread's orbits follow those of the thread before, so the merge finds
    // the latest hit of a pixel in the last thread that has one, whatever the thread count.
    const auto firstOrbit = [&](int thread) {
        return static_cast<int>(std::int64_t{thread} * orbits / threads);
    };
    const auto stepsOf = [&](int orbit) {
        return FSettings.Steps / orbits + (orbit < FSettings.Steps % orbits ? 1 : 0);
    };
    for (int rejectedSets = 0;; ++rejectedSets) {
        if (!FSettings.KeepCoefficients) {
            if (rejectedSets == MaxSetsRejectedByOrbits)
                throw std::runtime_error("no coefficient set kept all " + std::to_string(orbits) +
                                         " orbits bounded after " + std::to_string(rejectedSets) +
                                         " sets had passed one orbit's warm-up; try fewer "
                                         "--orbits");
            DrawAcceptedSet(stop, coefficientSets);
        } else {
            JudgeKeptSet(stop);
        }
        std::vector<TOrbitEnd> ends(orbits);
        std::vector<std::int64_t> plotted(orbits, 0);
        TFractalParams orbit0 = params;
        std::vector<std::exception_ptr> errors(threads);
        {
            // The threads start together once every one runs, or not at all: a thread the
            // system refuses ends the run before any orbit has begun.
            std::latch allStarted(1);
            bool startFailed = false;
            std::vector<std::jthread> running;
            running.reserve(threads);
            const auto startThread = [&](int t, auto work) {
                try {
                    running.emplace_back(work);
                } catch (const std::system_error& error) {
                    startFailed = true;
                    allStarted.count_down();
                    throw std::runtime_error("could not start thread " + std::to_string(t + 1) +
                                             " of " + std::to_string(threads) + " (--threads " +
                                             std::to_string(threads) +
                                             "): " + error.code().message());
                }
            };
            for (int t = 0; t < threads; ++t)
                startThread(t, [&, t] {
                    allStarted.wait();
                    if (startFailed)
                        return;
                    TFractalEngine& engine = *FEngines[t];
                    const int first = firstOrbit(t), last = firstOrbit(t + 1);
                    TProgressShare share{t == 0 ? progress : nullptr, 0, 0};
                    for (int i = first; i < last; ++i)
                        share.Total += stepsOf(i);
                    try {
                        engine.ClearHits();
                        engine.KeepHitsAcrossRuns(true);
                        engine.JudgeOnlyEscapes(true);
                        for (int i = first; i < last; ++i) {
                            TFractalParams block = params;
                            block.NewCoefficients = BoolFalse;
                            block.StepCount = 0;
                            block.Image = nullptr;
                            engine.UseStream(std::make_unique<TPhiloxStream>(
                                *FUsedClock, static_cast<std::uint32_t>(i)));
                            int unusedSets = 0;
                            ends[i] =
                                RunOrbit(engine, block, stepsOf(i), true, share, stop, unusedSets);
                            plotted[i] = engine.StepCount64() - TFractalEngine::WarmUpSteps;
                            share.Done += stepsOf(i);
                            if (i == 0)
                                orbit0 = block;
                            if (ends[i].Cancelled || ends[i].SetRejected)
                                break;
                        }
                    } catch (...) {
                        errors[t] = std::current_exception();
                    }
                    engine.KeepHitsAcrossRuns(false);
                    engine.JudgeOnlyEscapes(false);
                    engine.UseStream(nullptr);
                });
            allStarted.count_down();
        }
        for (const std::exception_ptr& error : errors)
            if (error)
                std::rethrow_exception(error);
        if (std::any_of(ends.begin(), ends.end(),
                        [](const TOrbitEnd& end) { return end.Cancelled; }))
            throw ERenderCancelled();
        const auto rejected = std::find_if(ends.begin(), ends.end(),
                                           [](const TOrbitEnd& end) { return end.SetRejected; });
        if (rejected == ends.end()) {
            MergeOrbits(params);
            params.Tick = orbit0.Tick;
            params.Lyapunov = orbit0.Lyapunov;
            params.StepCount = orbit0.StepCount;
            std::int64_t steps = 0;
            for (const std::int64_t orbitSteps : plotted)
                steps += orbitSteps;
            return steps;
        }
        if (FSettings.KeepCoefficients)
            throw GiveUp(rejected->RejectedLyapunov);
    }
}

void TRenderJob::MergeOrbits(const TFractalParams& p) {
    // Every increment is the same rounded intensity, and a counter takes none once it has
    // reached the limit: one orbit after another would have stopped at the first multiple of the
    // increment at or beyond the limit.
    const std::int64_t increment = RoundToInt32(p.Intensity);
    const std::int64_t limit = TFractalEngine::HitLimit;
    const std::int64_t saturated =
        increment > 0 ? (limit + increment - 1) / increment * increment : 0;
    const std::uint32_t background = p.WhiteBackground ? 0xFFFFFFu : 0u;
    // Column by column, the order in which the engines keep their counters.
    for (int column = 0; column < FSettings.Width; ++column)
        for (int row = 0; row < FSettings.Height; ++row) {
            std::int64_t sums[3] = {0, 0, 0};
            int group = TFractalEngine::NoGroup;
            for (const std::unique_ptr<TFractalEngine>& engine : FEngines) {
                const std::array<std::int32_t, 3> hits = engine->HitCounters(column, row);
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

void TRenderJob::DrawAcceptedSet(const std::stop_token& stop, int& coefficientSets) {
    // The first orbit's engine draws until a set passes its warm-up and plots a point.
    FSettings.Params.NewCoefficients = BoolTrue;
    const TOrbitEnd end =
        RunOrbit(*FEngines.front(), FSettings.Params, 1, false, {}, stop, coefficientSets);
    if (end.Cancelled)
        throw ERenderCancelled();
    if (end.GaveUp)
        throw GiveUp(end.RejectedLyapunov);
}

void TRenderJob::JudgeKeptSet(const std::stop_token& stop) {
    // The set is judged once, by the orbit one thread would run: the one the window ran.
    TFractalParams block = FSettings.Params;
    block.Image = nullptr;
    FEngines.front()->SetRandomSeed(TFractalEngine::OrbitStreamStart(*FUsedClock, 0, 1));
    int unusedSets = 0;
    const TOrbitEnd end = RunOrbit(*FEngines.front(), block, 1, true, {}, stop, unusedSets);
    if (end.Cancelled)
        throw ERenderCancelled();
    if (end.SetRejected)
        throw GiveUp(end.RejectedLyapunov);
}

void TRenderJob::FitToAttractor(const std::stop_token& stop, int& coefficientSets) {
    TFractalParams& params = FSettings.Params;
    if (!FSettings.KeepCoefficients) {
        // From now on the set is kept, its orbit starting from its draw as a parameter file's
        // does.
        DrawAcceptedSet(stop, coefficientSets);
        FSettings.KeepCoefficients = true;
        FSettings.FileClock = FUsedClock;
        FSettings.Seed.reset();
    }
    const std::uint32_t clock = FSettings.FileClock.value_or(FNextSeed);
    const std::optional<TAttractorBox> box =
        TAttractorBox::Of(SampleOrbit(params, clock, FitSamplePoints));
    const std::optional<TPlaneView> view =
        box ? FitView(*box, FSettings.Width, FSettings.Height) : std::nullopt;
    if (!view)
        return;
    FSettings.CenterX = view->CenterX;
    FSettings.CenterY = view->CenterY;
    FSettings.Magnification = view->Magnification;
    TViewFit fitted;
    fitted.XCenter = view->CenterX;
    fitted.YCenter = view->CenterY;
    fitted.Magnification = view->Magnification;
    fitted.AdjustCoords(FSettings.Width, FSettings.Height);
    fitted.CopyToParams(params);
}

void TRenderJob::MakeTransparentPicture() {
    const int factor = FSupersample;
    const std::uint32_t count = static_cast<std::uint32_t>(factor) * factor;
    FReduced.SetSize(FWidth, FHeight, bc24Bit);
    std::vector<std::uint8_t> alpha(static_cast<std::size_t>(FWidth) * FHeight);
    for (int y = 0; y < FHeight; ++y) {
        std::uint8_t* out = FReduced.ScanLine(y);
        for (int x = 0; x < FWidth; ++x) {
            std::uint32_t reached = 0;
            std::uint32_t sums[3] = {0, 0, 0};
            for (int dy = 0; dy < factor; ++dy)
                for (int dx = 0; dx < factor; ++dx) {
                    const int column = x * factor + dx, row = y * factor + dy;
                    const bool hit =
                        std::any_of(FEngines.begin(), FEngines.end(), [&](const auto& engine) {
                            return engine->LatestGroup(column, row) != TFractalEngine::NoGroup;
                        });
                    if (!hit)
                        continue;
                    ++reached;
                    const std::uint8_t* pixel = FImage.ScanLine(row) + column * 3;
                    for (int channel = 0; channel < 3; ++channel)
                        sums[channel] += pixel[channel];
                }
            // The colour of the reached sub-pixels alone; halves round up, as in the average.
            for (int channel = 0; channel < 3; ++channel)
                out[x * 3 + channel] = static_cast<std::uint8_t>(
                    reached == 0 ? 0 : (sums[channel] + reached / 2) / reached);
            alpha[static_cast<std::size_t>(y) * FWidth + x] =
                static_cast<std::uint8_t>((255 * reached + count / 2) / count);
        }
    }
    FAlpha = std::move(alpha);
}

TParameterFile TRenderJob::UsedParameters() const {
    TParameterFile file;
    file.Params = FSettings.Params;
    file.Params.Image = nullptr;
    file.Params.ImageWidth = FWidth;
    file.Params.ImageHeight = FHeight;
    file.CenterX = FSettings.CenterX;
    file.CenterY = FSettings.CenterY;
    file.Magnification = FSettings.Magnification;
    file.DrawClock = FUsedClock;
    file.PlottedSteps = FRequestedSteps;
    file.TickEvery = FSettings.TickEvery;
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

std::string DurationText(double seconds) {
    const auto whole = static_cast<long long>(std::llround(seconds));
    if (whole < 60)
        return std::to_string(whole) + " s";
    if (whole < 3600)
        return std::to_string(whole / 60) + " min " + std::to_string(whole % 60) + " s";
    return std::to_string(whole / 3600) + " h " + std::to_string(whole % 3600 / 60) + " min";
}
