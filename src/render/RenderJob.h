#pragma once

#include "engine/FractalEngine.h"
#include "engine/ParameterFile.h"
#include "image/PixelGraphic.h"
#include "render/RenderSettings.h"
#include "render/RenderState.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <stop_token>
#include <string>
#include <vector>

struct TRenderResult {
    std::int64_t Steps = 0;  // plotted steps of the final coefficient set, all orbits together
    int CoefficientSets = 0; // coefficient sets drawn
    double Lyapunov = 0.0;
    double Seconds = 0.0;
};

// How far a render has come: called now and then from the thread that runs it.
struct TRenderProgress {
    double Fraction = 0.0;      // of the requested steps plotted
    double Seconds = 0.0;       // since the run started
    double StartFraction = 0.0; // plotted before it started: a resumed render's earlier work
    // The time left at the speed of this run so far; negative while it cannot be told.
    double SecondsLeft() const {
        const double done = Fraction - StartFraction;
        return done >= 0.01 ? Seconds * (1.0 - Fraction) / done : -1.0;
    }
};
using TRenderProgressHook = std::function<void(const TRenderProgress&)>;

// A render stopped through its stop token; it leaves no picture to save.
class ERenderCancelled : public std::runtime_error {
public:
    ERenderCancelled() : std::runtime_error("the render was cancelled") {}
};

// A coefficient set that failed its warm-up, or no set accepted at all: nothing was plotted.
class ESetRejected : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A render stopped by its interruption flag after it had saved its state; it leaves no picture.
class ERenderInterrupted : public std::runtime_error {
public:
    explicit ERenderInterrupted(const std::string& stateFile)
        : std::runtime_error("the render was interrupted; its state is saved in \"" + stateFile +
                             "\"") {}
};

// How a render of several orbits saves its state as it goes: every EverySeconds, when
// Interrupt is set (it then ends with ERenderInterrupted), and once it is complete.
struct TCheckpointing {
    std::string File;
    double EverySeconds = 300.0;
    // Set from a signal handler.
    const std::atomic<bool>* Interrupt = nullptr;
};

// One render without windows: the settings' block on a fresh image, the view fitted to it,
// ended once the requested number of points has been plotted. With more than one orbit, the
// orbits run on one coefficient set, each drawing its groups from a Philox stream of its own,
// and are merged as if they had run one after another in the order of their numbers: a pixel
// takes the summed counters and the group of its latest hit in the highest-numbered orbit that
// hit it. The orbits of one process plot into one set of counters whose result does not depend
// on the order of their hits, so the threads, which only take the orbits one after another, never
// change the picture; nor do pauses to save the state, or the processes the orbits are shared by.
class TRenderJob {
public:
    // Allocates everything the run needs; throws std::runtime_error when the memory cannot be
    // had, before anything is computed.
    explicit TRenderJob(const TRenderSettings& settings);
    // Goes on with a saved render: its set, view, size, orbits and what they plotted come from
    // `state`; the steps, which may be more than the state's, the threads and the output from
    // `settings`. Throws std::invalid_argument when the steps are fewer than the state's.
    TRenderJob(const TRenderSettings& settings, TRenderState&& state);

    // The memory a render of `settings` takes: counters, picture and sub-pixels.
    static std::uint64_t NeededBytes(const TRenderSettings& settings);
    // Plotting steps per second one thread makes on the settings' set, from a short render of
    // it; 0 when that render fails.
    static double MeasuredRate(const TRenderSettings& settings);
    // The threads that run a render of `settings` at once.
    static int RunningThreads(const TRenderSettings& settings);

    // Throws std::runtime_error when MaxFruitlessDraws coefficient sets in a row were drawn
    // without a plotted point, when a kept set fails its warm-up or a thread cannot be started,
    // and ERenderCancelled once `stop` is requested.
    TRenderResult Run(const TRenderProgressHook& progress = {}, const std::stop_token& stop = {},
                      const TCheckpointing& checkpoints = {});
    // False for a run of only some of a render's orbits: it has no picture, only a state.
    bool Complete() const { return FFirstOrbit == 0 && FEndOrbit == FOrbits; }
    // Writes the state of the orbits run so far (ERenderState when it cannot).
    void SaveState(const std::string& fileName);
    // The same state, its counters taken out of the job, which is of no further use.
    TRenderState TakeState();
    // The finished picture, at the settings' size also when supersampled; with a transparent
    // background, the colour of the reached (sub-)pixels, black where none was.
    const TPixelGraphic& Image() const { return Reduced() ? FReduced : FImage; }
    TPixelGraphic& Image() { return Reduced() ? FReduced : FImage; }
    // With a transparent background, the picture's opacity: the share of each pixel's
    // sub-pixels that an orbit reached, 0 to 255, rows from the top. Empty otherwise.
    const std::vector<std::uint8_t>& Alpha() const { return FAlpha; }
    const TFractalParams& Params() const { return FSettings.Params; }
    // The share of the picture's (sub-)pixels that some orbit reached, once the run is done.
    double ReachedShare() const;
    // The set the run used, with its view and the clock value its orbit started from.
    TParameterFile UsedParameters() const;
    // The orbit points a fitted view is found from.
    static constexpr int FitSamplePoints = 100000;

private:
    using TClock = std::chrono::steady_clock;
    // How one engine's run ended.
    struct TOrbitEnd {
        bool GaveUp = false;
        bool Cancelled = false;
        // A kept set was rejected; the engine had begun to draw another.
        bool SetRejected = false;
        double RejectedLyapunov = 0.0;
        // Stopped for a pause; its state is saved.
        bool Paused = false;
    };
    TRenderJob(const TRenderSettings& settings, std::unique_ptr<TSharedHits> resumedHits);

    // One run of an engine: its plotting steps, whether it keeps the set, and either the
    // progress hook it calls itself (a single orbit) or, for one of many orbits, the state it
    // goes on from and leaves, and the count of plotted steps it adds to.
    struct TOrbitRun {
        std::int64_t Steps = 0;
        bool KeepSet = false;
        const TRenderProgressHook* Hook = nullptr;
        TOrbitRunState* State = nullptr;
        std::atomic<std::int64_t>* Plotted = nullptr;
    };
    TOrbitEnd RunOrbit(TFractalEngine& engine, TFractalParams& params, const TOrbitRun& run,
                       const std::stop_token& stop, int& coefficientSets);
    // The render of many orbits: finds a set all orbits accept, runs them, with pauses to save
    // the state, and colours the picture. Returns the plotted steps of all orbits.
    std::int64_t RunOrbits(const TRenderProgressHook* progress, const std::stop_token& stop,
                           const TCheckpointing& checkpoints, int& coefficientSets);
    enum class TOrbitsEnd { Complete, Paused, SetRejected };
    // Runs the orbits not yet complete on the threads until they are, or until a pause.
    TOrbitsEnd RunOrbitsOnThreads(const TRenderProgressHook* progress, const std::stop_token& stop,
                                  const TCheckpointing& checkpoints, bool& interrupted);
    void RunOrbitOnThread(TFractalEngine& engine, int orbit, const std::stop_token& stop,
                          TOrbitEnd& end);
    std::int64_t StepsOfOrbit(int orbit) const;
    static std::int64_t PlottedSteps(const TOrbitRunState& state);
    bool OrbitComplete(int orbit) const;
    // The picture coloured from the shared counters with the settings of `p`.
    void ColourSharedHits(const TFractalParams& p);
    bool Reached(int column, int row) const;
    std::uint32_t NextDrawClock();
    bool Reduced() const { return FSupersample > 1 || FSettings.Transparent; }
    void MakeTransparentPicture();
    // Draws sets on the first orbit's engine until one is accepted; throws when none is.
    void DrawAcceptedSet(const std::stop_token& stop, int& coefficientSets);
    // Runs the warm-up of a kept set with the single orbit; throws when it fails.
    void JudgeKeptSet(const std::stop_token& stop);
    // Finds the set (when it is not kept already) and replaces the view by the one that shows
    // its attractor whole.
    void FitToAttractor(const std::stop_token& stop, int& coefficientSets);
    ESetRejected GiveUp(double lyapunov) const;

    // The settings of the picture rendered: supersampled, larger and with more steps.
    TRenderSettings FSettings;
    int FSupersample = 1;
    int FWidth = 0;
    int FHeight = 0;
    std::int64_t FRequestedSteps = 0;
    int FOrbits = 1;
    // The orbits this run renders: FFirstOrbit to FEndOrbit - 1.
    int FFirstOrbit = 0;
    int FEndOrbit = 1;
    bool Shared() const { return FHits != nullptr; }
    // With many orbits: the counters they plot into, where each stands, whether they have
    // accepted the set, and the sets other orbits rejected so far.
    std::unique_ptr<TSharedHits> FHits;
    std::vector<TOrbitRunState> FOrbitStates;
    bool FSetAccepted = false;
    int FRejectedSets = 0;
    int FCoefficientSets = 0;
    // Orbits stop at their next look at it, for a checkpoint or because one rejected the set.
    std::atomic<bool> FPause{false};
    std::atomic<std::int64_t> FPlotted{0};
    // The steps of the orbits this run renders, and the share of them done before it started.
    double FRangeSteps = 1.0;
    double FStartFraction = 0.0;
    TPixelGraphic FImage;
    TPixelGraphic FReduced;
    std::vector<std::uint8_t> FAlpha;
    std::vector<std::unique_ptr<TFractalEngine>> FEngines;
    TClock::time_point FStart;
    // The seeded clock's next value.
    std::uint32_t FNextSeed = 0;
    // The clock value the used set's orbits start from: its draw, or the file's.
    std::optional<std::uint32_t> FUsedClock;
};

// The settings a saved render goes on with: its set, view, size, supersampling, steps and
// orbits. Throws ERenderState when its parameters cannot be read or do not fit its counters.
TRenderSettings ResumedRenderSettings(const TRenderState& state);

// The figures of a run as one JSON line (without the line end).
std::string RenderStatsJson(const TRenderResult& result);
// A time estimate as people read it: "40 s", "12 min 5 s", "3 h 20 min".
std::string DurationText(double seconds);
