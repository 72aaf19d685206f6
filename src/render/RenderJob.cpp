#include "render/RenderJob.h"

#include "engine/HitColor.h"
#include "engine/ViewFit.h"
#include "render/AttractorFit.h"
#include "render/MemoryHeadroom.h"
#include "render/Supersampling.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <exception>
#include <latch>
#include <limits>
#include <mutex>
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

// Everything the run holds at once: the hit counters and latest groups, of its one orbit or
// shared by its many, and the picture.
std::uint64_t RunBytes(int width, int height, bool shared, double intensity) {
    const TFractalEngine::TCounterWidth counters = TFractalEngine::CounterWidthFor(intensity);
    const std::uint64_t hits = shared ? TSharedHits::Bytes(width, height, counters)
                                      : TFractalEngine::HitBytes(width, height, counters);
    const std::uint64_t picture = static_cast<std::uint64_t>(width * 3 + 3) * height;
    return hits + picture;
}

// A render of many orbits, a saved one, or a share of one: its orbits plot into shared counters.
bool SharesCounters(const TRenderSettings& settings) {
    return settings.OrbitCount() > 1 || settings.SavesState || settings.EndOrbit != 0;
}

std::string Mebibytes(std::uint64_t bytes) {
    return std::to_string((bytes + (1u << 20) - 1) >> 20) + " MiB";
}

} // namespace

TRenderJob::TRenderJob(const TRenderSettings& settings)
    : TRenderJob(settings, std::unique_ptr<TSharedHits>()) {}

TRenderJob::TRenderJob(const TRenderSettings& settings, TRenderState&& state)
    : TRenderJob(settings, std::move(state.Hits)) {
    if (FSettings.Steps < state.Steps)
        throw std::invalid_argument("the state has reached " + std::to_string(state.Steps) +
                                    " steps; a render can only go on to more");
    FOrbitStates = std::move(state.OrbitStates);
    FSetAccepted = true;
    FUsedClock = state.DrawClock;
    FNextSeed = state.NextDrawClock;
    FRejectedSets = state.RejectedSets;
    FCoefficientSets = state.CoefficientSets;
    FSettings.Fit = false;
    for (const TOrbitRunState& orbit : FOrbitStates)
        FPlotted += PlottedSteps(orbit);
}

TRenderJob::TRenderJob(const TRenderSettings& settings, std::unique_ptr<TSharedHits> resumedHits)
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
    FFirstOrbit = FSettings.FirstOrbit;
    FEndOrbit = FSettings.EndOrbit == 0 ? FOrbits : FSettings.EndOrbit;
    if (FFirstOrbit < 0 || FFirstOrbit >= FEndOrbit || FEndOrbit > FOrbits)
        throw std::invalid_argument("the orbits " + std::to_string(FFirstOrbit) + " to " +
                                    std::to_string(FEndOrbit - 1) + " are not among the " +
                                    std::to_string(FOrbits) + " orbits of the render");
    const int width = FSettings.Width, height = FSettings.Height;
    const bool shared = SharesCounters(FSettings);
    if (resumedHits && (resumedHits->Width() != width || resumedHits->Height() != height))
        throw std::invalid_argument("the state's counters are not of the picture's size");
    const int threads = shared ? std::clamp(FSettings.Threads, 1, FEndOrbit - FFirstOrbit) : 1;
    const double intensity = FSettings.Params.Intensity;
    const std::uint64_t needed =
        RunBytes(width, height, shared, intensity) -
        (resumedHits ? TSharedHits::Bytes(width, height, resumedHits->CounterWidth()) : 0);
    std::string what =
        (resumedHits ? std::string("the ") : std::string("the hit counters and a ")) +
        std::to_string(width) + "x" + std::to_string(height) + " picture";
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
        const TFractalEngine::TCounterWidth counters = TFractalEngine::CounterWidthFor(intensity);
        if (shared) {
            FHits = resumedHits ? std::move(resumedHits)
                                : std::make_unique<TSharedHits>(width, height, counters);
            FOrbitStates.resize(static_cast<std::size_t>(FEndOrbit - FFirstOrbit));
        }
        for (int i = 0; i < threads; ++i) {
            FEngines.push_back(shared ? std::make_unique<TFractalEngine>(*FHits)
                                      : std::make_unique<TFractalEngine>(width, height, counters));
            FEngines.back()->HoldRotationsAtTick(FSettings.HeldRotationTick);
        }
    } catch (const std::bad_alloc&) {
        throw std::runtime_error("not enough memory: " + what + " need " + Mebibytes(needed));
    }
}

std::uint64_t TRenderJob::NeededBytes(const TRenderSettings& settings) {
    const int factor = settings.Supersample;
    return RunBytes(settings.Width * factor, settings.Height * factor, SharesCounters(settings),
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
    probe.SavesState = false;
    probe.FirstOrbit = probe.EndOrbit = 0;
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
                                           const TOrbitRun& run, const std::stop_token& stop,
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
        if (run.KeepSet) {
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
    engine.SetStepLimit(TFractalEngine::WarmUpSteps + run.Steps);
    const bool resumed =
        run.State != nullptr && run.State->Phase != TOrbitRunState::TPhase::NotStarted;
    std::int64_t passes = 0;
    std::int64_t untilTick = resumed ? run.State->UntilTick : FSettings.TickEvery;
    std::int64_t plottedSeen = resumed ? PlottedSteps(*run.State) : 0;
    const auto plottedNow = [&] {
        return std::max<std::int64_t>(0, engine.StepCount64() - TFractalEngine::WarmUpSteps);
    };
    engine.SetPassHook(
        [&] {
            untilTick -= passesPerHook;
            if (untilTick == 0) {
                untilTick = FSettings.TickEvery;
                ++params.Tick;
            }
            // Looking at the time and the flags costs more than a pass: only every 65536 passes
            // or so.
            passes += passesPerHook;
            if (passes < 65536)
                return;
            passes = 0;
            if (stop.stop_requested()) {
                end.Cancelled = true;
                params.AbortRequested = BoolTrue;
                return;
            }
            if (run.Plotted) {
                const std::int64_t plotted = plottedNow();
                *run.Plotted += plotted - plottedSeen;
                plottedSeen = plotted;
                if (FPause.load(std::memory_order_relaxed)) {
                    end.Paused = true;
                    params.AbortRequested = BoolTrue;
                }
            }
            if (run.Hook == nullptr || !*run.Hook)
                return;
            (*run.Hook)({static_cast<double>(plottedNow()) / static_cast<double>(run.Steps),
                         std::chrono::duration<double>(TClock::now() - FStart).count()});
        },
        static_cast<int>(passesPerHook));

    params.AbortRequested = BoolFalse;
    if (resumed) {
        engine.ContinueFractal(&params, *run.State);
    } else {
        params.Tick = 0;
        engine.RunFractal(&params);
    }
    if (run.State && !end.Cancelled && !end.SetRejected) {
        *run.State = engine.SaveRunState();
        run.State->Phase =
            end.Paused ? TOrbitRunState::TPhase::Running : TOrbitRunState::TPhase::Finished;
        run.State->UntilTick = untilTick;
    }
    if (run.Plotted)
        *run.Plotted += plottedNow() - plottedSeen;

    engine.SetPassHook(nullptr);
    engine.SetClock(nullptr);
    engine.SetStepLimit(TFractalEngine::NoStepLimit);
    return end;
}

ESetRejected TRenderJob::GiveUp(double lyapunov) const {
    char text[32];
    std::snprintf(text, sizeof text, "%g", lyapunov);
    if (FSettings.KeepCoefficients)
        return ESetRejected(std::string("the parameter file's coefficient set failed its "
                                        "warm-up (the Lyapunov estimate was ") +
                            text + "); no picture was drawn");
    return ESetRejected(
        "no coefficient set was accepted after " + std::to_string(FSettings.MaxFruitlessDraws) +
        " draws (the last Lyapunov estimate was " + text + "; some map combinations never settle)");
}

TRenderResult TRenderJob::Run(const TRenderProgressHook& progress, const std::stop_token& stop,
                              const TCheckpointing& checkpoints) {
    TFractalParams& params = FSettings.Params;
    TRenderResult result;
    result.CoefficientSets = FCoefficientSets;
    FStart = TClock::now();
    if (FSettings.Fit)
        FitToAttractor(stop, result.CoefficientSets);
    if (FSettings.KeepCoefficients && !FSetAccepted) {
        // The orbit starts as it did after the set's draw: the generator where the draw left
        // it, and the estimate the draw set.
        params.NewCoefficients = BoolFalse;
        params.Lyapunov = 1.0;
        if (FSettings.Seed || !FSettings.FileClock)
            FUsedClock = NextDrawClock();
        else
            FUsedClock = FSettings.FileClock;
    }
    if (!Shared()) {
        TFractalEngine& engine = *FEngines.front();
        if (FSettings.KeepCoefficients)
            engine.SetRandomSeed(TFractalEngine::OrbitStreamStart(*FUsedClock, 0, 1));
        engine.JudgeOnlyEscapes(FSettings.JudgedBefore);
        const TOrbitEnd end =
            RunOrbit(engine, params, {FSettings.Steps, FSettings.KeepCoefficients, &progress}, stop,
                     result.CoefficientSets);
        engine.JudgeOnlyEscapes(false);
        if (end.Cancelled)
            throw ERenderCancelled();
        if (end.GaveUp || end.SetRejected)
            throw GiveUp(end.RejectedLyapunov);
        result.Steps = engine.StepCount64() - TFractalEngine::WarmUpSteps;
    } else {
        FRangeSteps = 0.0;
        for (int orbit = FFirstOrbit; orbit < FEndOrbit; ++orbit)
            FRangeSteps += static_cast<double>(StepsOfOrbit(orbit));
        FStartFraction = static_cast<double>(FPlotted.load()) / FRangeSteps;
        result.Steps = RunOrbits(&progress, stop, checkpoints, result.CoefficientSets);
    }
    if (Complete()) {
        if (FSettings.Transparent)
            MakeTransparentPicture();
        else if (FSupersample > 1)
            ReduceByBoxAverage(FImage, FSupersample, FReduced);
    }
    result.Seconds = std::chrono::duration<double>(TClock::now() - FStart).count();
    result.Lyapunov = params.Lyapunov;
    return result;
}

std::int64_t TRenderJob::StepsOfOrbit(int orbit) const {
    return FSettings.Steps / FOrbits + (orbit < FSettings.Steps % FOrbits ? 1 : 0);
}

std::int64_t TRenderJob::PlottedSteps(const TOrbitRunState& state) {
    if (state.Phase == TOrbitRunState::TPhase::NotStarted)
        return 0;
    return std::max<std::int64_t>(0, std::int64_t{state.StepCount} + state.StepsPastCeiling -
                                         TFractalEngine::WarmUpSteps);
}

bool TRenderJob::OrbitComplete(int orbit) const {
    const TOrbitRunState& state = FOrbitStates[static_cast<std::size_t>(orbit - FFirstOrbit)];
    return state.Phase == TOrbitRunState::TPhase::Finished &&
           PlottedSteps(state) >= StepsOfOrbit(orbit);
}

std::int64_t TRenderJob::RunOrbits(const TRenderProgressHook* progress, const std::stop_token& stop,
                                   const TCheckpointing& checkpoints, int& coefficientSets) {
    TFractalParams& params = FSettings.Params;
    const int orbits = FOrbits;
    for (;;) {
        if (!FSetAccepted) {
            if (!FSettings.KeepCoefficients) {
                if (FRejectedSets == MaxSetsRejectedByOrbits)
                    throw std::runtime_error(
                        "no coefficient set kept all " + std::to_string(orbits) +
                        " orbits bounded after " + std::to_string(FRejectedSets) +
                        " sets had passed one orbit's warm-up; try fewer --orbits");
                DrawAcceptedSet(stop, coefficientSets);
            } else {
                JudgeKeptSet(stop);
            }
            // The judgement plotted its first points; the orbits start on clean counters.
            FHits->Clear();
            std::fill(FOrbitStates.begin(), FOrbitStates.end(), TOrbitRunState{});
            FPlotted = 0;
            FSetAccepted = true;
        }
        FCoefficientSets = coefficientSets;
        bool interrupted = false;
        const TOrbitsEnd end = RunOrbitsOnThreads(progress, stop, checkpoints, interrupted);
        if (end == TOrbitsEnd::SetRejected) {
            FSetAccepted = false;
            ++FRejectedSets;
            continue;
        }
        if (!checkpoints.File.empty())
            SaveState(checkpoints.File);
        if (interrupted)
            throw ERenderInterrupted(checkpoints.File);
        if (end == TOrbitsEnd::Complete)
            break;
    }
    // The run's own figures are those of its first orbit, the one a single thread runs first.
    const TOrbitRunState& first = FOrbitStates.front();
    params.Tick = first.Tick;
    params.Lyapunov = first.Lyapunov;
    params.StepCount = first.StepCount;
    if (Complete())
        ColourSharedHits(params);
    std::int64_t steps = 0;
    for (const TOrbitRunState& orbit : FOrbitStates)
        steps += PlottedSteps(orbit);
    return steps;
}

TRenderJob::TOrbitsEnd TRenderJob::RunOrbitsOnThreads(const TRenderProgressHook* progress,
                                                      const std::stop_token& stop,
                                                      const TCheckpointing& checkpoints,
                                                      bool& interrupted) {
    const int threads = static_cast<int>(FEngines.size());
    std::vector<TOrbitEnd> ends(FOrbitStates.size());
    std::vector<std::exception_ptr> errors(threads);
    // The threads take the orbits one after another: the counters do not care which runs which.
    std::atomic<int> nextOrbit{FFirstOrbit};
    std::mutex finishing;
    std::condition_variable finished;
    int running = threads;
    FPause = false;
    {
        // The threads start together once every one runs, or not at all: a thread the system
        // refuses ends the run before any orbit has begun.
        std::latch allStarted(1);
        bool startFailed = false;
        std::vector<std::jthread> started;
        started.reserve(threads);
        const auto work = [&](int t) {
            allStarted.wait();
            if (!startFailed) {
                try {
                    for (int orbit = nextOrbit++; orbit < FEndOrbit && !FPause;
                         orbit = nextOrbit++) {
                        if (OrbitComplete(orbit))
                            continue;
                        TOrbitEnd& end = ends[static_cast<std::size_t>(orbit - FFirstOrbit)];
                        RunOrbitOnThread(*FEngines[t], orbit, stop, end);
                        if (end.Cancelled || end.SetRejected)
                            FPause = true;
                    }
                } catch (...) {
                    errors[t] = std::current_exception();
                    FPause = true;
                }
            }
            const std::lock_guard lock(finishing);
            --running;
            finished.notify_one();
        };
        for (int t = 0; t < threads; ++t) {
            try {
                started.emplace_back(work, t);
            } catch (const std::system_error& error) {
                startFailed = true;
                allStarted.count_down();
                throw std::runtime_error("could not start thread " + std::to_string(t + 1) +
                                         " of " + std::to_string(threads) + " (--threads " +
                                         std::to_string(threads) + "): " + error.code().message());
            }
        }
        allStarted.count_down();
        // This thread reports the progress and calls the pauses for checkpoints.
        TClock::time_point nextCheckpoint =
            TClock::now() + std::chrono::duration_cast<TClock::duration>(
                                std::chrono::duration<double>(checkpoints.EverySeconds));
        std::unique_lock lock(finishing);
        while (!finished.wait_for(lock, std::chrono::milliseconds(100),
                                  [&] { return running == 0; })) {
            // A cancelled render says no more; its threads end at their next look at the token.
            if (progress && *progress && !stop.stop_requested()) {
                // Threads that end meanwhile need the lock; the hook may take its time.
                lock.unlock();
                (*progress)({static_cast<double>(FPlotted.load()) / FRangeSteps,
                             std::chrono::duration<double>(TClock::now() - FStart).count(),
                             FStartFraction});
                lock.lock();
            }
            if (checkpoints.File.empty() || FPause)
                continue;
            if (checkpoints.Interrupt && checkpoints.Interrupt->load()) {
                interrupted = true;
                FPause = true;
            } else if (TClock::now() >= nextCheckpoint) {
                FPause = true;
            }
        }
    }
    for (const std::exception_ptr& error : errors)
        if (error)
            std::rethrow_exception(error);
    if (std::any_of(ends.begin(), ends.end(), [](const TOrbitEnd& end) { return end.Cancelled; }))
        throw ERenderCancelled();
    if (const auto rejected = std::find_if(ends.begin(), ends.end(),
                                           [](const TOrbitEnd& end) { return end.SetRejected; });
        rejected != ends.end()) {
        if (FSettings.KeepCoefficients)
            throw GiveUp(rejected->RejectedLyapunov);
        return TOrbitsEnd::SetRejected;
    }
    if (checkpoints.Interrupt && checkpoints.Interrupt->load())
        interrupted = true;
    for (int orbit = FFirstOrbit; orbit < FEndOrbit; ++orbit)
        if (!OrbitComplete(orbit))
            return TOrbitsEnd::Paused;
    return TOrbitsEnd::Complete;
}

void TRenderJob::RunOrbitOnThread(TFractalEngine& engine, int orbit, const std::stop_token& stop,
                                  TOrbitEnd& end) {
    TOrbitRunState& state = FOrbitStates[static_cast<std::size_t>(orbit - FFirstOrbit)];
    TFractalParams block = FSettings.Params;
    block.NewCoefficients = BoolFalse;
    block.StepCount = 0;
    block.Image = nullptr;
    engine.PlotAs(orbit, FEngines.size() > 1);
    engine.JudgeOnlyEscapes(true);
    engine.UseStream(std::make_unique<TPhiloxStream>(*FUsedClock, static_cast<std::uint32_t>(orbit),
                                                     state.StreamPosition));
    int unusedSets = 0;
    end = RunOrbit(engine, block, {StepsOfOrbit(orbit), true, nullptr, &state, &FPlotted}, stop,
                   unusedSets);
    engine.JudgeOnlyEscapes(false);
    engine.UseStream(nullptr);
}

void TRenderJob::ColourSharedHits(const TFractalParams& p) {
    const std::uint32_t background = p.WhiteBackground ? 0xFFFFFFu : 0u;
    for (int row = 0; row < FSettings.Height; ++row)
        for (int column = 0; column < FSettings.Width; ++column) {
            const std::size_t pixel = FHits->PixelIndex(column, row);
            const int group = FHits->LatestGroup(pixel);
            if (group == TFractalEngine::NoGroup) {
                FImage.SetPixel(column, row, background);
                continue;
            }
            const std::array<std::int32_t, 3> hits = FHits->HitCounters(pixel);
            FImage.SetPixel(column, row, HitColor(p, hits.data(), group));
        }
}

double TRenderJob::ReachedShare() const {
    std::int64_t reached = 0;
    for (int row = 0; row < FSettings.Height; ++row)
        for (int column = 0; column < FSettings.Width; ++column)
            reached += Reached(column, row) ? 1 : 0;
    return static_cast<double>(reached) / (static_cast<double>(FSettings.Width) * FSettings.Height);
}

bool TRenderJob::Reached(int column, int row) const {
    if (Shared())
        return FHits->Key(FHits->PixelIndex(column, row)) != 0;
    return FEngines.front()->LatestGroup(column, row) != TFractalEngine::NoGroup;
}

TRenderState TRenderJob::TakeState() {
    TRenderState state;
    // The tick a run ends on differs among shares of a render; every orbit starts at tick 0.
    TParameterFile parameters = UsedParameters();
    parameters.Params.Tick = 0;
    state.Parameters = parameters.ToJson();
    state.Width = FSettings.Width;
    state.Height = FSettings.Height;
    state.Supersample = FSupersample;
    state.Transparent = FSettings.Transparent;
    state.Steps = FSettings.Steps;
    state.Orbits = FOrbits;
    state.FirstOrbit = FFirstOrbit;
    state.EndOrbit = FEndOrbit;
    state.DrawClock = FUsedClock.value_or(0);
    state.KeepCoefficients = FSettings.KeepCoefficients;
    state.NextDrawClock = FNextSeed;
    state.RejectedSets = FRejectedSets;
    state.CoefficientSets = FCoefficientSets;
    state.OrbitStates = FOrbitStates;
    state.Hits = std::move(FHits);
    return state;
}

void TRenderJob::SaveState(const std::string& fileName) {
    // The counters are lent to the state for the save, not copied: they may take gigabytes.
    TRenderState state = TakeState();
    struct TGiveBack {
        std::unique_ptr<TSharedHits>& Owner;
        TRenderState& State;
        ~TGiveBack() { Owner = std::move(State.Hits); }
    } giveBack{FHits, state};
    SaveRenderState(state, fileName);
}

void TRenderJob::DrawAcceptedSet(const std::stop_token& stop, int& coefficientSets) {
    // The first orbit's engine draws until a set passes its warm-up and plots a point.
    FSettings.Params.NewCoefficients = BoolTrue;
    const TOrbitEnd end =
        RunOrbit(*FEngines.front(), FSettings.Params, {1, false}, stop, coefficientSets);
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
    FEngines.front()->JudgeOnlyEscapes(FSettings.JudgedBefore);
    const TOrbitEnd end = RunOrbit(*FEngines.front(), block, {1, true}, stop, unusedSets);
    FEngines.front()->JudgeOnlyEscapes(false);
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
                    if (!Reached(column, row))
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

TRenderSettings ResumedRenderSettings(const TRenderState& state) {
    TParameterFile parameters;
    try {
        parameters = TParameterFile::FromJson(state.Parameters);
    } catch (const EParameterFile& error) {
        throw ERenderState(std::string("its parameters: ") + error.what());
    }
    TRenderSettings settings = RenderSettingsOf(parameters);
    const int factor = state.Supersample;
    if (state.Width % factor != 0 || state.Height % factor != 0 ||
        state.Width / factor != settings.Width || state.Height / factor != settings.Height ||
        state.Steps % (std::int64_t{factor} * factor) != 0)
        throw ERenderState("its counters do not fit its parameters' picture size and "
                           "supersampling");
    settings.Supersample = factor;
    settings.Steps = state.Steps / (std::int64_t{factor} * factor);
    settings.Transparent = state.Transparent;
    settings.Orbits = state.Orbits;
    const bool allOrbits = state.FirstOrbit == 0 && state.EndOrbit == state.Orbits;
    settings.FirstOrbit = allOrbits ? 0 : state.FirstOrbit;
    settings.EndOrbit = allOrbits ? 0 : state.EndOrbit;
    settings.SavesState = true;
    settings.KeepCoefficients = state.KeepCoefficients;
    settings.FileClock = state.DrawClock;
    if (!state.KeepCoefficients)
        settings.Seed = state.NextDrawClock;
    return settings;
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
