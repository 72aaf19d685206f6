#pragma once

#include "engine/FractalParams.h"
#include "engine/LcgRandom.h"
#include "engine/OrbitRunState.h"
#include "engine/PhiloxStream.h"
#include "engine/Rotation.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <utility>

class TPixelGraphic;
class TSharedHits;

// The map families in the order Transform applies them; also the index of their rotations.
enum class TMapFamily { Latoocarfian01, Latoocarfian02, IFS01, IFS02, AT01, AT02 };

// The fractal engine: the current point, the three hit-count arrays, the rotations, the Lyapunov
// bookkeeping and the random generator. One instance serves one run at a time; a run started
// from inside the pass hook takes the state over (its block becomes the current block) and the
// outer run ends at its next pass, when it finds the current block's AbortRequested set.
class TFractalEngine {
public:
    // The window program's hit arrays: only columns 0..1023 and rows 0..767 are used.
    static constexpr int HitColumns = 1025;
    static constexpr int HitRows = 769;
    static constexpr int MaxImageWidth = 1024;
    static constexpr int MaxImageHeight = 768;
    static constexpr std::int32_t WarmUpSteps = 3999;
    static constexpr std::int32_t FirstPlotStep = 4000;
    // The clock runs from 0 to one less than this, milliseconds since midnight.
    static constexpr std::uint32_t MillisecondsPerDay = 24u * 60u * 60u * 1000u;
    static constexpr std::int32_t HitLimit = 65000;
    // A counter takes no increment once it has reached HitLimit, so with rnd(Intensity) in
    // 0..NarrowIncrementLimit it never passes 65534 and 16 bits hold it exactly.
    static constexpr std::int32_t NarrowIncrementLimit = 535;
    enum class TCounterWidth { Narrow16, Wide32 };
    // The narrowest counters that hold every value a run at this intensity reaches.
    static TCounterWidth CounterWidthFor(double intensity);

    // Called between loop passes; the window program processes its pending messages there.
    // It must not replace itself through SetPassHook while it runs.
    using TPassHook = std::function<void()>;
    // Milliseconds since UTC midnight; read once per coefficient draw to reseed the generator.
    using TClock = std::function<std::uint32_t()>;

    // The hit arrays take pictures of up to maxImageWidth x maxImageHeight; they are allocated
    // here, once (std::bad_alloc when the memory cannot be had). Narrow counters widen by
    // themselves at the first hit whose increment they could not hold.
    explicit TFractalEngine(int maxImageWidth = MaxImageWidth, int maxImageHeight = MaxImageHeight,
                            TCounterWidth counters = TCounterWidth::Narrow16);
    // An engine without hit arrays of its own: it plots into `hits`, which it does not own,
    // under the key of the orbit PlotAs names.
    explicit TFractalEngine(TSharedHits& hits);
    ~TFractalEngine();
    TFractalEngine(const TFractalEngine&) = delete;
    TFractalEngine& operator=(const TFractalEngine&) = delete;

    // The hook runs after every passesPerCall-th pass of a run: a call costs more than a pass.
    void SetPassHook(TPassHook hook, int passesPerCall = 1) {
        FPassHook = std::move(hook);
        FPassesPerHook = passesPerCall > 0 ? passesPerCall : 1;
    }
    // A run also ends, with the current block's AbortRequested set, after the pass that has
    // brought StepCount to `limit` or beyond: exactly there, whatever the hook's interval.
    // The limit counts StepCount64, past StepCount's 32-bit ceiling. NoStepLimit, the default,
    // lifts it.
    static constexpr std::int64_t NoStepLimit = std::numeric_limits<std::int64_t>::max();
    void SetStepLimit(std::int64_t limit) { FStepLimit = limit; }
    void SetClock(TClock clock) { FClock = std::move(clock); }
    // The real time of day, the default clock.
    static std::uint32_t UtcMillisecondsOfDay();
    // The bytes the hit arrays (counters and latest groups) of an engine for pictures up to
    // that size take.
    static std::size_t HitBytes(int maxImageWidth, int maxImageHeight, TCounterWidth counters);
    int MaxWidth() const { return FMaxWidth; }
    int MaxHeight() const { return FMaxHeight; }

    // The generator's state where orbit `orbit` of `orbits` on the set drawn at `drawClock`
    // starts: orbit 0 of 1 where the draw left it, the others on equal, disjoint parts of the
    // generator's cycle.
    static std::uint32_t OrbitStreamStart(std::uint32_t drawClock, int orbit, int orbits);
    // The generator's state. A run that keeps its coefficients (NewCoefficients false) does not
    // reseed it, so setting it first chooses that run's orbit.
    std::uint32_t RandomSeed() const { return FRandom.Seed(); }
    void SetRandomSeed(std::uint32_t seed) { FRandom.Reseed(seed); }
    // From now on the groups are drawn from the Philox stream of that key, at that position,
    // instead of the generator above (which still draws the coefficients): one of the many
    // orbits of a render. Null goes back to the generator above.
    void UseStream(std::unique_ptr<TPhiloxStream> stream) { FStream = std::move(stream); }
    const TPhiloxStream* Stream() const { return FStream.get(); }
    // Several orbits plot one after another into the same counters: a run no longer clears
    // what the runs before it plotted. ClearHits clears the counters and groups, not the image.
    void KeepHitsAcrossRuns(bool keep) { FKeepHits = keep; }
    // A set already judged by its own orbit: the warm-up and the gate no longer test the
    // Lyapunov estimate, only whether the orbit escapes. Another orbit of a borderline set may
    // well estimate it on the wrong side of a limit.
    void JudgeOnlyEscapes(bool only) { FOnlyEscapes = only; }
    void ClearHits();
    // The rotations keep the angle they have at display tick `tick` of a run, as the ticks
    // would turn them, for every run from now on; nullopt lets them turn again.
    void HoldRotationsAtTick(std::optional<std::int64_t> tick) { FHeldTick = tick; }
    // With shared hits: the orbit whose key the hits carry, and whether other threads plot into
    // the same hits meanwhile.
    void PlotAs(int orbit, bool concurrent);
    // StepCount without its 32-bit ceiling.
    std::int64_t StepCount64() const { return FParams->StepCount + FStepsPastCeiling; }
    // The group (0..2) of the latest point plotted on a pixel; NoGroup for a pixel never hit.
    static constexpr int NoGroup = 255;
    int LatestGroup(int column, int row) const {
        const std::uint8_t latest = FLatestGroups[PixelIndex(column, row)] & ~PendingColour;
        return latest == NeverHit ? NoGroup : latest;
    }

    // Runs until the current block's AbortRequested is true at the top of a loop pass. The
    // picture then shows every plotted point.
    void RunFractal(TFractalParams* params);
    // Where the run that has just ended stands, for ContinueFractal; the stream position is
    // that of the stream in use. The phase and the tick counter are the caller's.
    TOrbitRunState SaveRunState() const;
    // Goes on with a run that was stopped where `state` was saved, as if it never had: from
    // inside the pass hook (a pause), or at its step limit (Phase Finished), which a larger
    // limit now lifts. The stream must already stand at the state's position.
    void ContinueFractal(TFractalParams* params, const TOrbitRunState& state);
    // A plotted point only counts its hit and notes its group; its pixel takes its colour here,
    // from the counters, the group and the colour settings now in force. Only the last colour
    // of a pixel survives, so this gives the picture that colouring at every hit gives, as
    // long as it runs before anything reads the picture and before any colour setting changes.
    void ColourPendingPixels();

    // ---- The parts of a run, each acting on the current block --------------------------------
    // Start of a run: the block becomes current, point and angles restart, new coefficients
    // are drawn if the block asks for them, then ResetRun.
    void StartRun(TFractalParams* params);
    // One loop pass (warm-up branch, then plotting branch), without the hook.
    void Pass();
    void DrawCoefficients();
    void ResetRun();
    void ChooseGroup();
    void Transform();
    void WarmUpCheck();
    void LyapunovStep();
    void PlotPoint();
    // The group offset (0, 19 or 39) for a draw r scaled to 60 x r.
    static int GroupOffset(double scaledDraw);

    // ---- State -------------------------------------------------------------------------------
    TFractalParams* Params() const { return FParams; }
    double X() const { return FX; }
    double Y() const { return FY; }
    double Z() const { return FZ; }
    void SetPoint(double x, double y, double z);
    double NextZ() const { return FNextZ; }
    double ShadowX() const { return FShadowX; }
    int GroupBase() const { return FGroupBase; }
    // offset 0, 19 or 39.
    void SetGroupBase(int offset);
    const TRotation& Rotation(TMapFamily family) const {
        return FRotations[static_cast<std::size_t>(family)];
    }
    // Hit counter of group 1..3 at (column, row).
    std::int32_t Hits(int group, int column, int row) const {
        return HitCounters(column, row)[group - 1];
    }
    // The three group counters of (column, row).
    std::array<std::int32_t, 3> HitCounters(int column, int row) const {
        const std::size_t i = HitIndex(column, row);
        if (FNarrowHits)
            return {FNarrowHits[i], FNarrowHits[i + 1], FNarrowHits[i + 2]};
        return {FWideHits[i], FWideHits[i + 1], FWideHits[i + 2]};
    }
    TCounterWidth CounterWidth() const {
        return FNarrowHits ? TCounterWidth::Narrow16 : TCounterWidth::Wide32;
    }

private:
    // The bodies of ChooseGroup, Transform and PlotPoint, which run once or twice per pass:
    // inlined into the pass they cost no call and keep the point in registers.
    [[gnu::always_inline]] inline void InlineChooseGroup();
    [[gnu::always_inline]] inline void InlineTransform();
    [[gnu::always_inline]] inline void InlinePlotPoint();
    std::size_t PixelIndex(int column, int row) const {
        return static_cast<std::size_t>(column) * FHitRows + row;
    }
    std::size_t HitIndex(int column, int row) const { return PixelIndex(column, row) * 3; }
    void ClearTouched();
    void WidenCounters();
    // The loop of a run; untilHook counts the passes to the next hook call.
    void RunPasses(int untilHook, bool countPassFirst);
    void CountPassForHook(int& untilHook);
    void ColourPendingRows(TPixelGraphic* image, const TFractalParams& p, int column, int row0,
                           int row1);
    // The latest group's byte: the group, with PendingColour while its pixel awaits its colour.
    static constexpr std::uint8_t PendingColour = 0x80;
    static constexpr std::uint8_t NeverHit = 3;
    void FillImage(TPixelGraphic& image, int column0, int row0, int column1, int row1, bool white);

    TFractalParams* FParams = nullptr;
    double FX = 0.01, FY = 0.01, FZ = 0.01;
    double FNextZ = 0.0;
    int FGroupBase = 0;
    int FGroup = 0;
    int FMaxWidth;
    int FMaxHeight;
    int FHitRows;
    // The three groups' counters of one pixel lie side by side; one of the two is allocated.
    std::unique_ptr<std::uint16_t[]> FNarrowHits;
    std::unique_ptr<std::int32_t[]> FWideHits;
    std::unique_ptr<std::uint8_t[]> FLatestGroups;
    // Some pixel inside the touched box awaits its colour.
    bool FColoursPending = false;
    std::array<TRotation, 6> FRotations;
    double FShadowX = 0.0, FShadowY = 0.0, FShadowZ = 0.0;
    double FSavedX = 0.0, FSavedY = 0.0, FSavedZ = 0.0;
    double FLogSum = 0.0;
    double FSampleCount = 1.0;
    TLcgRandom FRandom;
    std::unique_ptr<TPhiloxStream> FStream;
    bool FKeepHits = false;
    bool FOnlyEscapes = false;
    // Plotting steps made while StepCount stood at its largest value.
    std::int64_t FStepsPastCeiling = 0;
    TPassHook FPassHook;
    int FPassesPerHook = 1;
    // The passes the last run had left to its next hook call when it ended.
    int FUntilHookAtEnd = 1;
    TSharedHits* FShared = nullptr;
    std::uint32_t FSharedKey = 0;
    bool FSharedConcurrent = false;
    std::int64_t FStepLimit = NoStepLimit;
    std::optional<std::int64_t> FHeldTick;
    void HoldRotations();
    TClock FClock;

    // What ResetRun must clear: the box of pixels plotted since the last clear (empty when
    // min > max), and the image and background that clear left behind.
    int FTouchedColumn0 = MaxImageWidth, FTouchedColumn1 = -1;
    int FTouchedRow0 = MaxImageHeight, FTouchedRow1 = -1;
    struct TClearedImage {
        TPixelGraphic* Image = nullptr;
        int Width = 0;
        int Height = 0;
        int BitCount = 0;
        bool White = false;
        bool operator==(const TClearedImage&) const = default;
    };
    TClearedImage FCleared;
};
