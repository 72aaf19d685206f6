#include "engine/FractalEngine.h"

#include "engine/EngineMath.h"
#include "engine/HitColor.h"
#include "engine/MapFamilies.h"
#include "engine/SharedHits.h"
#include "engine/Variations.h"
#include "image/PixelGraphic.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <limits>

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#endif

namespace {

constexpr double StartCoordinate = 0.01;
constexpr double EscapeBound = 1000000.0;

bool Escaped(double x, double y, double z) {
    return std::abs(x) + std::abs(y) + std::abs(z) > EscapeBound;
}

// A difference that is not a number counts as equal to 0.
bool ZeroOrNaN(double d) {
    return !(d < 0.0 || d > 0.0);
}

// The group (0, 1, 2) of each rounded draw k = rnd(60 r), 0..60: a table instead of two
// unpredictable branches per step.
constexpr std::array<std::uint8_t, 61> GroupOfDraw = [] {
    std::array<std::uint8_t, 61> groups{};
    for (int k = 0; k <= 60; ++k)
        groups[k] = k <= 18 ? 0 : k <= 38 ? 1 : 2;
    return groups;
}();
constexpr int GroupOffsets[3] = {0, 19, 39};

// Code that ran before the run or inside the pass hook (the toolkit's vector routines among
// them) may leave the upper halves of the AVX registers in use. The engine's SSE arithmetic and
// the library's sine then pay a state-transition penalty on nearly every instruction: sin ran
// eighteen times slower after the toolkit had started. vzeroupper clears that state.
#if defined(__x86_64__) && defined(__GNUC__)
[[gnu::target("avx")]] void ZeroUpperAvxState() {
    _mm256_zeroupper();
}

void ClearUpperVectorState() {
    static const bool hasAvx = __builtin_cpu_supports("avx");
    if (hasAvx)
        ZeroUpperAvxState();
}
#else
void ClearUpperVectorState() {}
#endif

} // namespace

TFractalEngine::TFractalEngine(int maxImageWidth, int maxImageHeight, TCounterWidth counters)
    : FMaxWidth(maxImageWidth), FMaxHeight(maxImageHeight),
      FHitRows(maxImageHeight + 1), FRotations{
                                        TRotation(EnginePi, false),    TRotation(EnginePi, false),
                                        TRotation(EngineTwoPi, false), TRotation(EnginePi, false),
                                        TRotation(EnginePi, true),     TRotation(EnginePi, false)} {
    const std::size_t pixels = static_cast<std::size_t>(maxImageWidth + 1) * FHitRows;
    if (counters == TCounterWidth::Narrow16)
        FNarrowHits = std::make_unique<std::uint16_t[]>(3 * pixels);
    else
        FWideHits = std::make_unique<std::int32_t[]>(3 * pixels);
    FLatestGroups = std::make_unique_for_overwrite<std::uint8_t[]>(pixels);
    std::fill_n(FLatestGroups.get(), pixels, NeverHit);
}

TFractalEngine::TFractalEngine(TSharedHits& hits)
    : FMaxWidth(hits.Width()), FMaxHeight(hits.Height()), FHitRows(hits.Height() + 1),
      FRotations{TRotation(EnginePi, false),    TRotation(EnginePi, false),
                 TRotation(EngineTwoPi, false), TRotation(EnginePi, false),
                 TRotation(EnginePi, true),     TRotation(EnginePi, false)},
      FShared(&hits) {
    FKeepHits = true;
}

TFractalEngine::~TFractalEngine() = default;

void TFractalEngine::PlotAs(int orbit, bool concurrent) {
    FSharedKey = TSharedHits::KeyOf(orbit, 0);
    FSharedConcurrent = concurrent;
}

TFractalEngine::TCounterWidth TFractalEngine::CounterWidthFor(double intensity) {
    const std::int32_t increment = RoundToInt32(intensity);
    return increment >= 0 && increment <= NarrowIncrementLimit ? TCounterWidth::Narrow16
                                                               : TCounterWidth::Wide32;
}

std::size_t TFractalEngine::HitBytes(int maxImageWidth, int maxImageHeight,
                                     TCounterWidth counters) {
    const std::size_t counterBytes =
        counters == TCounterWidth::Narrow16 ? sizeof(std::uint16_t) : sizeof(std::int32_t);
    return (3 * counterBytes + 1) * static_cast<std::size_t>(maxImageWidth + 1) *
           static_cast<std::size_t>(maxImageHeight + 1);
}

void TFractalEngine::WidenCounters() {
    const std::size_t count = std::size_t{3} * static_cast<std::size_t>(FMaxWidth + 1) * FHitRows;
    FWideHits = std::make_unique_for_overwrite<std::int32_t[]>(count);
    std::copy_n(FNarrowHits.get(), count, FWideHits.get());
    FNarrowHits.reset();
}

std::uint32_t TFractalEngine::UtcMillisecondsOfDay() {
    const auto sinceEpoch = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::system_clock::now().time_since_epoch());
    return static_cast<std::uint32_t>(sinceEpoch.count() % MillisecondsPerDay);
}

std::uint32_t TFractalEngine::OrbitStreamStart(std::uint32_t drawClock, int orbit, int orbits) {
    // The draws DrawCoefficients takes from the freshly seeded generator.
    constexpr std::uint64_t DrawsPerCoefficientSet = 120;
    TLcgRandom random(drawClock);
    random.Advance(DrawsPerCoefficientSet);
    random.Advance(static_cast<std::uint64_t>(orbit) * ((std::uint64_t{1} << 32) / orbits));
    return random.Seed();
}

void TFractalEngine::RunFractal(TFractalParams* params) {
    StartRun(params);
    RunPasses(FPassesPerHook, false);
}

void TFractalEngine::ContinueFractal(TFractalParams* params, const TOrbitRunState& state) {
    FParams = params;
    FCleared = TClearedImage{};
    FX = state.X;
    FY = state.Y;
    FZ = state.Z;
    FNextZ = state.NextZ;
    FShadowX = state.ShadowX;
    FShadowY = state.ShadowY;
    FShadowZ = state.ShadowZ;
    FLogSum = state.LogSum;
    FSampleCount = state.SampleCount;
    HoldRotations();
    for (std::size_t i = 0; i < FRotations.size(); ++i)
        FRotations[i].Resume(state.RotationAngles[i], state.RotationTicks[i]);
    params->StepCount = state.StepCount;
    params->Tick = state.Tick;
    params->Lyapunov = state.Lyapunov;
    FStepsPastCeiling = state.StepsPastCeiling;
    // A run that ended at its step limit had not yet counted its last pass towards the hook.
    RunPasses(state.UntilHook, state.Phase == TOrbitRunState::TPhase::Finished);
}

TOrbitRunState TFractalEngine::SaveRunState() const {
    TOrbitRunState state;
    state.X = FX;
    state.Y = FY;
    state.Z = FZ;
    state.NextZ = FNextZ;
    state.ShadowX = FShadowX;
    state.ShadowY = FShadowY;
    state.ShadowZ = FShadowZ;
    state.LogSum = FLogSum;
    state.SampleCount = FSampleCount;
    for (std::size_t i = 0; i < FRotations.size(); ++i) {
        state.RotationAngles[i] = FRotations[i].Angle();
        state.RotationTicks[i] = FRotations[i].LastTick();
    }
    state.StepCount = FParams->StepCount;
    state.Tick = FParams->Tick;
    state.Lyapunov = FParams->Lyapunov;
    state.StepsPastCeiling = FStepsPastCeiling;
    state.StreamPosition = FStream ? FStream->Position() : 0;
    state.UntilHook = FUntilHookAtEnd;
    return state;
}

void TFractalEngine::RunPasses(int untilHook, bool countPassFirst) {
    // FParams, not a block of the caller's: a run started from the hook takes over the current
    // block.
    ClearUpperVectorState();
    if (countPassFirst)
        CountPassForHook(untilHook);
    while (!FParams->AbortRequested) {
        Pass();
        if (FParams->StepCount + FStepsPastCeiling >= FStepLimit) {
            FParams->AbortRequested = BoolTrue;
            break;
        }
        CountPassForHook(untilHook);
    }
    FUntilHookAtEnd = untilHook;
    ColourPendingPixels();
}

void TFractalEngine::CountPassForHook(int& untilHook) {
    if (--untilHook != 0)
        return;
    untilHook = FPassesPerHook;
    if (FPassHook) {
        FPassHook();
        ClearUpperVectorState();
    }
}

void TFractalEngine::StartRun(TFractalParams* params) {
    // A run started from the hook clears what the run it replaces plotted: that picture first
    // takes its colours.
    ColourPendingPixels();
    FParams = params;
    FX = FY = FZ = StartCoordinate;
    HoldRotations();
    for (TRotation& rotation : FRotations)
        rotation.Restart(params->Tick);
    // Something else may have drawn into the image between runs, or a new image may sit at the
    // old one's address: the first clear of a run covers the whole image.
    FCleared = TClearedImage{};
    if (params->NewCoefficients)
        DrawCoefficients();
    ResetRun();
}

void TFractalEngine::HoldRotations() {
    std::optional<double> angle;
    if (FHeldTick)
        angle = TRotation::AngleAtTick(*FHeldTick, FParams->RotationStep, FParams->RotationLimit());
    for (TRotation& rotation : FRotations)
        rotation.Hold(angle);
}

void TFractalEngine::Pass() {
    if (FParams->StepCount < WarmUpSteps) {
        InlineChooseGroup();
        InlineTransform();
        ++FParams->StepCount;
        WarmUpCheck();
        if (FParams->StepCount == 0) {
            DrawCoefficients();
            ResetRun();
        }
    }
    if (FParams->StepCount >= WarmUpSteps) {
        const double lyapunov = FParams->Lyapunov;
        if ((!FOnlyEscapes && (lyapunov < 0.5 || std::isnan(lyapunov) || lyapunov > 5.0)) ||
            Escaped(FX, FY, FZ)) {
            DrawCoefficients();
            ResetRun();
        } else {
            InlineChooseGroup();
            InlineTransform();
            // The counter stops at its largest value: the run stays in the plotting phase.
            if (FParams->StepCount < std::numeric_limits<std::int32_t>::max())
                ++FParams->StepCount;
            else
                ++FStepsPastCeiling;
        }
    }
}

void TFractalEngine::DrawCoefficients() {
    FRandom.Reseed(FClock ? FClock() : UtcMillisecondsOfDay());
    TFractalParams& p = *FParams;
    p.Lyapunov = 1.0;
    p.Tick = 0;
    for (int i = 1; i <= 60; ++i) {
        p.Coef(i) = 2.0 * (FRandom.Next() - 0.5);
        p.Coef(60 + i) = 2.0 * (FRandom.Next() - 0.5);
    }
    p.NewCoefficients = BoolFalse;
}

int TFractalEngine::GroupOffset(double scaledDraw) {
    const std::int32_t k = std::clamp(RoundToInt32(scaledDraw), 0, 60);
    return GroupOffsets[GroupOfDraw[k]];
}

void TFractalEngine::ChooseGroup() {
    InlineChooseGroup();
}

void TFractalEngine::InlineChooseGroup() {
    // The draw lies in [0, 1): k is 0..60.
    const double draw = FStream ? FStream->Next() : FRandom.Next();
    FGroup = GroupOfDraw[RoundInRangeToInt32(60.0 * draw)];
    FGroupBase = GroupOffsets[FGroup];
}

void TFractalEngine::SetGroupBase(int offset) {
    FGroupBase = offset;
    FGroup = offset == 0 ? 0 : offset == 19 ? 1 : 2;
}

void TFractalEngine::SetPoint(double x, double y, double z) {
    FX = x;
    FY = y;
    FZ = z;
}

void TFractalEngine::Transform() {
    InlineTransform();
}

void TFractalEngine::InlineTransform() {
    const TFractalParams& p = *FParams;
    const double* c = p.RotationLimitAndCoef;
    const int b = FGroupBase;
    double x = FX, y = FY, z = FZ;
    auto rotate = [&](TMapFamily family, TBool32 flag) {
        if (flag)
            FRotations[static_cast<std::size_t>(family)].Apply(x, y, p.Tick, p.RotationStep,
                                                               p.RotationLimit());
    };
    if (p.UseLatoocarfian01) {
        ApplyLatoocarfian01(c, b, x, y, z, FNextZ);
        rotate(TMapFamily::Latoocarfian01, p.RotateL01);
    }
    if (p.UseLatoocarfian02) {
        ApplyLatoocarfian02(c, b, x, y, z, FNextZ);
        rotate(TMapFamily::Latoocarfian02, p.RotateL02);
    }
    if (p.UseIFS01) {
        ApplyIFS01(c, b, x, y, z, FNextZ);
        rotate(TMapFamily::IFS01, p.RotateIFS01);
    }
    if (p.UseIFS02) {
        ApplyIFS02(c, b, x, y);
        rotate(TMapFamily::IFS02, p.RotateIFS02);
    }
    if (p.UseAT01) {
        ApplyAT01(c, b, x, y, z);
        rotate(TMapFamily::AT01, p.RotateAT01);
    }
    if (p.UseAT02) {
        ApplyAT02(c, b, x, y, z);
        rotate(TMapFamily::AT02, p.RotateAT02);
    }
    if (p.UseRotational)
        ApplyRotational(x, y);
    if (p.UseSinusoidal)
        ApplySinusoidal(x, y, p.VariationWeight);
    if (p.UseSpherical)
        ApplySpherical(x, y, p.VariationWeight);
    if (p.UseSwirl)
        ApplySwirl(x, y, p.VariationWeight);
    if (p.UseHorseshoe)
        ApplyHorseshoe(x, y, p.VariationWeight);
    if (p.UsePolar)
        ApplyPolar(x, y, p.VariationWeight);
    if (p.UseBent)
        ApplyBent(x, y, p.VariationWeight);
    FX = x;
    FY = y;
    FZ = z;
    InlinePlotPoint();
}

void TFractalEngine::WarmUpCheck() {
    LyapunovStep();
    TFractalParams& p = *FParams;
    const double lyapunov = p.Lyapunov;
    const bool judged = !FOnlyEscapes;
    if (judged && p.StepCount > 10 && (lyapunov > 20.0 || lyapunov < 0.0 || std::isnan(lyapunov)))
        p.StepCount = 0;
    if (judged && p.StepCount >= 2000 && (lyapunov > 5.0 || lyapunov < 0.0 || std::isnan(lyapunov)))
        p.StepCount = 0;
    if (Escaped(FX, FY, FZ))
        p.StepCount = 0;
}

void TFractalEngine::LyapunovStep() {
    if (FParams->StepCount == 0 || FParams->StepCount == 1) {
        FLogSum = 0.0;
        FShadowX = FX + 1e-6;
        FShadowY = FShadowX + 1e-6;
        FShadowZ = FShadowY + 1e-6;
        FSampleCount = 1.0;
    }
    FSavedX = FX;
    FSavedY = FY;
    FSavedZ = FZ;
    FX = FShadowX;
    FY = FShadowY;
    FZ = FShadowZ;
    // The same group as the step just made; PlotPoint runs for the shadow too.
    InlineTransform();
    const double dx = FX - FSavedX;
    const double dy = FY - FSavedY;
    const double dz = FZ - FSavedZ;
    if (ZeroOrNaN(dx) && ZeroOrNaN(dy)) {
        // The point stays where the shadow's transformation left it.
        FParams->Lyapunov = 0.0;
    } else {
        const double d2 = dx * dx + 1e-12 + dy * dy + dz * dz;
        const double s = 1e12 * d2;
        const double f = 1.0 / std::sqrt(s + 1e-12);
        FShadowX = FSavedX + (FX - FSavedX) * f;
        FShadowY = FSavedY + (FY - FSavedY) * f;
        FShadowZ = FSavedZ + (FZ - FSavedZ) * f;
        FX = FSavedX;
        FY = FSavedY;
        FZ = FSavedZ;
        FLogSum = FLogSum + std::log(s);
        FParams->Lyapunov = FLogSum / FSampleCount;
    }
    FSampleCount = FSampleCount + 1.0;
}

void TFractalEngine::PlotPoint() {
    InlinePlotPoint();
}

void TFractalEngine::InlinePlotPoint() {
    TFractalParams& p = *FParams;
    if (p.StepCount < WarmUpSteps)
        return;
    const int width = p.ImageWidth;
    const int height = p.ImageHeight;
    const double pixelX =
        FX > p.ViewXMin ? (FX - p.ViewXMin) / (p.ViewXMax - p.ViewXMin) * width : width;
    const double pixelY =
        FY > p.ViewYMin ? (FY - p.ViewYMin) / (p.ViewYMax - p.ViewYMin) * height : height;
    // A block claiming more than the hit arrays hold is plotted only inside them.
    int column, row;
    if (!RoundToIndex(pixelX, std::min(width, FMaxWidth), column) ||
        !RoundToIndex(pixelY, std::min(height, FMaxHeight), row))
        return;
    if (p.StepCount == WarmUpSteps) {
        ResetRun();
        p.StepCount = FirstPlotStep;
    }

    const std::int32_t increment = RoundToInt32(p.Intensity);
    if (FShared) {
        const std::size_t pixel = FShared->PixelIndex(column, row);
        const std::uint32_t key = FSharedKey | static_cast<std::uint32_t>(FGroup);
        if (FSharedConcurrent)
            FShared->Plot<true>(pixel, FGroup, increment, key);
        else
            FShared->Plot<false>(pixel, FGroup, increment, key);
        return;
    }
    if (FNarrowHits && static_cast<std::uint32_t>(increment) > NarrowIncrementLimit) [[unlikely]]
        WidenCounters();
    const std::size_t pixel = PixelIndex(column, row);
    if (FNarrowHits) {
        std::uint16_t& own = FNarrowHits[pixel * 3 + FGroup];
        if (own < HitLimit)
            own = static_cast<std::uint16_t>(own + increment);
    } else {
        std::int32_t& own = FWideHits[pixel * 3 + FGroup];
        if (own < HitLimit) {
            const std::int64_t sum = std::int64_t{own} + increment;
            own = static_cast<std::int32_t>(
                std::clamp<std::int64_t>(sum, std::numeric_limits<std::int32_t>::min(),
                                         std::numeric_limits<std::int32_t>::max()));
        }
    }
    // Soon every plotted point lies inside the box already: test it, and write only to grow it.
    if (column < FTouchedColumn0 || column > FTouchedColumn1 || row < FTouchedRow0 ||
        row > FTouchedRow1) [[unlikely]] {
        FTouchedColumn0 = std::min(FTouchedColumn0, column);
        FTouchedColumn1 = std::max(FTouchedColumn1, column);
        FTouchedRow0 = std::min(FTouchedRow0, row);
        FTouchedRow1 = std::max(FTouchedRow1, row);
    }
    FLatestGroups[pixel] = static_cast<std::uint8_t>(FGroup) | PendingColour;
    FColoursPending = true;
}

void TFractalEngine::ColourPendingPixels() {
    if (!FColoursPending)
        return;
    FColoursPending = false;
    TPixelGraphic* image = FParams->Image;
    const TFractalParams& p = *FParams;
    // Tiles keep both the column-ordered counters and the row-ordered picture in the cache.
    constexpr int TileColumns = 32;
    constexpr int TileRows = 1024;
    for (int row0 = FTouchedRow0; row0 <= FTouchedRow1; row0 += TileRows) {
        const int row1 = std::min(row0 + TileRows - 1, FTouchedRow1);
        for (int column0 = FTouchedColumn0; column0 <= FTouchedColumn1; column0 += TileColumns) {
            const int column1 = std::min(column0 + TileColumns - 1, FTouchedColumn1);
            for (int column = column0; column <= column1; ++column)
                ColourPendingRows(image, p, column, row0, row1);
        }
    }
}

void TFractalEngine::ColourPendingRows(TPixelGraphic* image, const TFractalParams& p, int column,
                                       int row0, int row1) {
    std::uint8_t* latest = &FLatestGroups[PixelIndex(column, 0)];
    int row = row0;
    // Eight bytes at a time: most of a picture awaits nothing.
    constexpr std::uint64_t PendingBits = 0x8080808080808080u;
    for (; row <= row1; ++row) {
        if ((row & 7) == 0 && row + 7 <= row1) {
            std::uint64_t eight;
            std::memcpy(&eight, latest + row, sizeof eight);
            if ((eight & PendingBits) == 0) {
                row += 7;
                continue;
            }
        }
        std::uint8_t& group = latest[row];
        if (!(group & PendingColour))
            continue;
        group &= static_cast<std::uint8_t>(~PendingColour);
        if (image) {
            const std::array<std::int32_t, 3> hits = HitCounters(column, row);
            image->SetPixel(column, row, HitColor(p, hits.data(), group));
        }
    }
}

void TFractalEngine::ResetRun() {
    TFractalParams& p = *FParams;
    p.StepCount = 0;
    FStepsPastCeiling = 0;
    FX = FY = FZ = StartCoordinate;
    for (TRotation& rotation : FRotations)
        rotation.SyncTick(p.Tick);
    if (!FKeepHits)
        ClearTouched();
}

// Equivalent to zeroing the counters and setting every pixel of the hit arrays' area to the
// background, but touches only what was plotted since the last clear of the same image.
void TFractalEngine::ClearTouched() {
    const bool touched = FTouchedColumn0 <= FTouchedColumn1;
    const bool white = FParams->WhiteBackground != 0;
    if (TPixelGraphic* image = FParams->Image) {
        const TClearedImage now{image, image->Width(), image->Height(), image->BitCountNum(),
                                white};
        if (!(now == FCleared))
            FillImage(*image, 0, 0, FMaxWidth - 1, FMaxHeight - 1, white);
        else if (touched)
            FillImage(*image, FTouchedColumn0, FTouchedRow0, FTouchedColumn1, FTouchedRow1, white);
        FCleared = now;
    } else {
        FCleared = TClearedImage{};
    }
    ClearHits();
}

void TFractalEngine::ClearHits() {
    if (FTouchedColumn0 <= FTouchedColumn1) {
        const std::size_t rowCount = static_cast<std::size_t>(FTouchedRow1 - FTouchedRow0) + 1;
        for (int column = FTouchedColumn0; column <= FTouchedColumn1; ++column) {
            const std::size_t first = HitIndex(column, FTouchedRow0);
            if (FNarrowHits)
                std::fill_n(&FNarrowHits[first], rowCount * 3, 0);
            else
                std::fill_n(&FWideHits[first], rowCount * 3, 0);
            std::fill_n(&FLatestGroups[PixelIndex(column, FTouchedRow0)], rowCount, NeverHit);
        }
    }
    FColoursPending = false;
    FTouchedColumn0 = FMaxWidth;
    FTouchedColumn1 = -1;
    FTouchedRow0 = FMaxHeight;
    FTouchedRow1 = -1;
}

void TFractalEngine::FillImage(TPixelGraphic& image, int column0, int row0, int column1, int row1,
                               bool white) {
    column1 = std::min(column1, image.Width() - 1);
    row1 = std::min(row1, image.Height() - 1);
    if (column0 > column1 || row0 > row1)
        return;
    const std::uint32_t colour = white ? 0xFFFFFFu : 0u;
    // Through SetPixel first: it waits for drawing still pending on the pixel memory.
    image.SetPixel(column0, row0, colour);
    if (image.BitCount() == bc24Bit && !image.GdiPending()) {
        const std::size_t bytes = static_cast<std::size_t>(column1 - column0 + 1) * 3;
        for (int row = row0; row <= row1; ++row)
            std::memset(image.ScanLine(row) + 3 * column0, white ? 0xFF : 0x00, bytes);
        return;
    }
    for (int row = row0; row <= row1; ++row)
        for (int column = column0; column <= column1; ++column)
            image.SetPixel(column, row, colour);
}
