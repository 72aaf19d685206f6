#pragma once

#include "engine/FractalEngine.h"
#include "engine/ParameterFile.h"
#include "image/PixelGraphic.h"
#include "render/RenderSettings.h"

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

// How far a render has come: called now and then from the thread of its first orbit.
struct TRenderProgress {
    double Fraction = 0.0; // of the requested steps plotted
    double Seconds = 0.0;  // since the run started
};
using TRenderProgressHook = std::function<void(const TRenderProgress&)>;

// A render stopped through its stop token; it leaves no picture to save.
class ERenderCancelled : public std::runtime_error {
public:
    ERenderCancelled() : std::runtime_error("the render was cancelled") {}
};

// One render without windows: the settings' block on a fresh image, the view fitted to it,
// ended once the requested number of points has been plotted. With more than one orbit, the
// orbits run on one coefficient set, each drawing its groups from a Philox stream of its own,
// and are merged as if they had run one after another in the order of their numbers: a pixel
// takes the summed counters and the group of its latest hit in the highest-numbered orbit that
// hit it. The threads only share out the orbits, so the picture never depends on them.
class TRenderJob {
public:
    // Allocates everything the run needs; throws std::runtime_error when the memory cannot be
    // had, before anything is computed.
    explicit TRenderJob(const TRenderSettings& settings);

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
    TRenderResult Run(const TRenderProgressHook& progress = {}, const std::stop_token& stop = {});
    // The finished picture, at the settings' size also when supersampled; with a transparent
    // background, the colour of the reached (sub-)pixels, black where none was.
    const TPixelGraphic& Image() const { return Reduced() ? FReduced : FImage; }
    TPixelGraphic& Image() { return Reduced() ? FReduced : FImage; }
    // With a transparent background, the picture's opacity: the share of each pixel's
    // sub-pixels that an orbit reached, 0 to 255, rows from the top. Empty otherwise.
    const std::vector<std::uint8_t>& Alpha() const { return FAlpha; }
    const TFractalParams& Params() const { return FSettings.Params; }
    // The set the run used, with its view and the clock value its orbit started from.
    TParameterFile UsedParameters() const;

private:
    using TClock = std::chrono::steady_clock;
    // How one engine's run ended.
    struct TOrbitEnd {
        bool GaveUp = false;
        bool Cancelled = false;
        // A kept set was rejected; the engine had begun to draw another.
        bool SetRejected = false;
        double RejectedLyapunov = 0.0;
    };

    // Where an orbit's steps stand in the work its progress hook reports on.
    struct TProgressShare {
        const TRenderProgressHook* Hook = nullptr;
        std::int64_t Done = 0;  // steps of that work done before the orbit
        std::int64_t Total = 0; // steps of that work; 0 for the orbit's own
    };
    TOrbitEnd RunOrbit(TFractalEngine& engine, TFractalParams& params, std::int64_t steps,
                       bool keepSet, const TProgressShare& share, const std::stop_token& stop,
                       int& coefficientSets);
    // With more than one orbit: finds a set all orbits accept, runs them and merges them.
    // Returns the plotted steps of all orbits.
    std::int64_t RunOrbits(const TRenderProgressHook* progress, std::stop_token stop,
                           int& coefficientSets);
    // Adds the threads' counters into the picture, coloured with the settings of `p`.
    void MergeOrbits(const TFractalParams& p);
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
    static constexpr int FitSamplePoints = 100000;
    std::runtime_error GiveUp(double lyapunov) const;

    // The settings of the picture rendered: supersampled, larger and with more steps.
    TRenderSettings FSettings;
    int FSupersample = 1;
    int FWidth = 0;
    int FHeight = 0;
    std::int64_t FRequestedSteps = 0;
    int FOrbits = 1;
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

// The figures of a run as one JSON line (without the line end).
std::string RenderStatsJson(const TRenderResult& result);
// A time estimate as people read it: "40 s", "12 min 5 s", "3 h 20 min".
std::string DurationText(double seconds);
