#include "engine/FractalEngine.h"

#include "engine/EngineMath.h"
#include "engine/MapFamilies.h"
#include "engine/Variations.h"
#include "image/PixelGraphic.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <limits>

namespace {

constexpr double StartCoordinate = 0.01;
constexpr double EscapeBound = 1000000.0;
constexpr std::uint32_t MillisecondsPerDay = 24u * 60u * 60u * 1000u;

bool Escaped(double x, double y, double z) {
    return std::abs(x) + std::abs(y) + std::abs(z) > EscapeBound;
}

// A difference that is not a number counts as equal to 0.
bool ZeroOrNaN(double d) {
    return !(d < 0.0 || d > 0.0);
}

} // namespace

TFractalEngine::TFractalEngine()
    : FHits(std::make_unique<std::int32_t[]>(std::size_t{3} * HitColumns * HitRows)),
      FRotations{TRotation(EnginePi, false),    TRotation(EnginePi, false),
                 TRotation(EngineTwoPi, false), TRotation(EnginePi, false),
                 TRotation(EnginePi, true),     TRotation(EnginePi, false)} {}

TFractalEngine::~TFractalEngine() = default;

std::uint32_t TFractalEngine::UtcMillisecondsOfDay() {
    const auto sinceEpoch = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::system_clock::now().time_since_epoch());
    return static_cast<std::uint32_t>(sinceEpoch.count() % MillisecondsPerDay);
}

void TFractalEngine::RunFractal(TFractalParams* params) {
    StartRun(params);
    // FParams, not params: a run started from the hook takes over the current block.
    while (!FParams->AbortRequested) {
        Pass();
        if (FPassHook)
            FPassHook();
    }
}

void TFractalEngine::StartRun(TFractalParams* params) {
    FParams = params;
    FX = FY = FZ = StartCoordinate;
    for (TRotation& rotation : FRotations)
        rotation.Restart(params->Tick);
    // Something else may have drawn into the image between runs, or a new image may sit at the
    // old one's address: the first clear of a run covers the whole image.
    FCleared = TClearedImage{};
    if (params->NewCoefficients)
        DrawCoefficients();
    ResetRun();
}

void TFractalEngine::Pass() {
    if (FParams->StepCount < WarmUpSteps) {
        ChooseGroup();
        Transform();
        ++FParams->StepCount;
        WarmUpCheck();
        if (FParams->StepCount == 0) {
            DrawCoefficients();
            ResetRun();
        }
    }
    if (FParams->StepCount >= WarmUpSteps) {
        const double lyapunov = FParams->Lyapunov;
        if (lyapunov < 0.5 || std::isnan(lyapunov) || lyapunov > 5.0 || Escaped(FX, FY, FZ)) {
            DrawCoefficients();
            ResetRun();
        } else {
            ChooseGroup();
            Transform();
            // The counter stops at its largest value: the run stays in the plotting phase.
            if (FParams->StepCount < std::numeric_limits<std::int32_t>::max())
                ++FParams->StepCount;
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
    const double k = RoundHalfEven(scaledDraw);
    if (k <= 18)
        return 0;
    if (k <= 38)
        return 19;
    return 39;
}

void TFractalEngine::ChooseGroup() {
    SetGroupBase(GroupOffset(60.0 * FRandom.Next()));
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
    const TFractalParams& p = *FParams;
    const double* c = p.RotationLimitAndCoef;
    const int b = FGroupBase;
    double x = FX, y = FY, z = FZ;
    auto rotate = [&](TMapFamily family, TBool32 flag) {
        if (flag)
            FRotations[family].Apply(x, y, p.Tick, p.RotationStep, p.RotationLimit());
    };
    if (p.UseLatoocarfian01) {
        ApplyLatoocarfian01(c, b, x, y, z, FNextZ);
        rotate(mfLatoocarfian01, p.RotateL01);
    }
    if (p.UseLatoocarfian02) {
        ApplyLatoocarfian02(c, b, x, y, z, FNextZ);
        rotate(mfLatoocarfian02, p.RotateL02);
    }
    if (p.UseIFS01) {
        ApplyIFS01(c, b, x, y, z, FNextZ);
        rotate(mfIFS01, p.RotateIFS01);
    }
    if (p.UseIFS02) {
        ApplyIFS02(c, b, x, y);
        rotate(mfIFS02, p.RotateIFS02);
    }
    if (p.UseAT01) {
        ApplyAT01(c, b, x, y, z);
        rotate(mfAT01, p.RotateAT01);
    }
    if (p.UseAT02) {
        ApplyAT02(c, b, x, y, z);
        rotate(mfAT02, p.RotateAT02);
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
    PlotPoint();
}

void TFractalEngine::WarmUpCheck() {
    LyapunovStep();
    TFractalParams& p = *FParams;
    const double lyapunov = p.Lyapunov;
    if (p.StepCount > 10 && (lyapunov > 20.0 || lyapunov < 0.0 || std::isnan(lyapunov)))
        p.StepCount = 0;
    if (p.StepCount >= 2000 && (lyapunov > 5.0 || lyapunov < 0.0 || std::isnan(lyapunov)))
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
    Transform();
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
    if (!RndIndex(pixelX, std::min(width, MaxImageWidth), column) ||
        !RndIndex(pixelY, std::min(height, MaxImageHeight), row))
        return;
    if (p.StepCount == WarmUpSteps) {
        ResetRun();
        p.StepCount = FirstPlotStep;
    }

    std::int32_t* hits = &FHits[HitIndex(column, row)];
    std::int32_t& own = hits[FGroup];
    if (own < HitLimit) {
        const std::int64_t sum = std::int64_t{own} + RndInt32(p.Intensity);
        own = static_cast<std::int32_t>(
            std::clamp<std::int64_t>(sum, std::numeric_limits<std::int32_t>::min(),
                                     std::numeric_limits<std::int32_t>::max()));
    }
    FTouchedColumn0 = std::min(FTouchedColumn0, column);
    FTouchedColumn1 = std::max(FTouchedColumn1, column);
    FTouchedRow0 = std::min(FTouchedRow0, row);
    FTouchedRow1 = std::max(FTouchedRow1, row);

    const double total = static_cast<double>(std::int64_t{hits[0]} + hits[1] + hits[2]);
    const double brightness = p.RootFilter ? std::sqrt(2.5 * total) : 0.1 * total;
    double redFactor = p.RedFactor, greenFactor = p.GreenFactor, blueFactor = p.BlueFactor;
    if (FGroup == 1) {
        redFactor = p.BlueFactor;
        greenFactor = p.RedFactor;
        blueFactor = p.GreenFactor;
    } else if (FGroup == 2) {
        redFactor = p.GreenFactor;
        greenFactor = p.BlueFactor;
        blueFactor = p.RedFactor;
    }
    int red = FoldChannel(RndInt32(brightness * redFactor));
    int green = FoldChannel(RndInt32(brightness * greenFactor));
    int blue = FoldChannel(RndInt32(brightness * blueFactor));
    if (p.WhiteBackground) {
        red = 255 - red;
        green = 255 - green;
        blue = 255 - blue;
    }
    if (p.Image)
        p.Image->SetPixel(column, row,
                          static_cast<std::uint32_t>(red + 256 * green + 65536 * blue));
}

void TFractalEngine::ResetRun() {
    TFractalParams& p = *FParams;
    p.StepCount = 0;
    FX = FY = FZ = StartCoordinate;
    for (TRotation& rotation : FRotations)
        rotation.SyncTick(p.Tick);
    ClearTouched();
}

// Equivalent to zeroing the counters and setting every pixel of the 1024 x 768 area to the
// background, but touches only what was plotted since the last clear of the same image.
void TFractalEngine::ClearTouched() {
    const bool touched = FTouchedColumn0 <= FTouchedColumn1;
    if (touched) {
        const std::size_t rowCount = static_cast<std::size_t>(FTouchedRow1 - FTouchedRow0 + 1);
        for (int column = FTouchedColumn0; column <= FTouchedColumn1; ++column)
            std::fill_n(&FHits[HitIndex(column, FTouchedRow0)], rowCount * 3, 0);
    }
    const bool white = FParams->WhiteBackground != 0;
    if (TPixelGraphic* image = FParams->Image) {
        const TClearedImage now{image, image->Width(), image->Height(), image->BitCountNum(),
                                white};
        if (!(now == FCleared))
            FillImage(*image, 0, 0, MaxImageWidth - 1, MaxImageHeight - 1, white);
        else if (touched)
            FillImage(*image, FTouchedColumn0, FTouchedRow0, FTouchedColumn1, FTouchedRow1, white);
        FCleared = now;
    } else {
        FCleared = TClearedImage{};
    }
    FTouchedColumn0 = MaxImageWidth;
    FTouchedColumn1 = -1;
    FTouchedRow0 = MaxImageHeight;
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
