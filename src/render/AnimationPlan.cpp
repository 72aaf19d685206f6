#include "render/AnimationPlan.h"

#include "engine/ParameterSettings.h"
#include "engine/Rotation.h"
#include "render/RenderJob.h"

#include <cmath>
#include <iterator>
#include <stdexcept>
#include <string>

namespace {

// Both ends exact: a frame at weight 0 or 1 is the set itself, bit for bit.
double Linear(double from, double to, double weight) {
    if (weight <= 0.0)
        return from;
    if (weight >= 1.0)
        return to;
    return from + (to - from) * weight;
}

// A zoom looks even when the magnification changes by the same factor from frame to frame.
double Geometric(double from, double to, double weight) {
    if (weight <= 0.0)
        return from;
    if (weight >= 1.0)
        return to;
    return from * std::pow(to / from, weight);
}

// Starts and ends at rest, so that a loop there and back has no jolt at its turns.
double EaseInOut(double phase) {
    return phase * phase * (3.0 - 2.0 * phase);
}

} // namespace

TAnimationPlan::TAnimationPlan(const TRenderSettings& start, int frames,
                               const std::optional<TRenderSettings>& end,
                               std::optional<std::int64_t> tickStep, bool loop)
    : FStart(start), FEnd(end), FFrames(frames), FTickStep(tickStep), FLoop(loop) {
    if (frames < 1)
        throw std::invalid_argument("an animation needs at least one frame");
    if (loop && Turns(start.Params)) {
        FPeriod = RotationPeriod(start.Params);
        if (FPeriod == 0)
            throw std::invalid_argument(
                "the rotations never come back to their start (rotation step " +
                std::to_string(start.Params.RotationStep) + ", limit " +
                std::to_string(start.Params.RotationLimit()) + "), so no loop closes");
    }
}

bool TAnimationPlan::Turns(const TFractalParams& p) {
    return (p.UseLatoocarfian01 && p.RotateL01) || (p.UseLatoocarfian02 && p.RotateL02) ||
           (p.UseIFS01 && p.RotateIFS01) || (p.UseIFS02 && p.RotateIFS02) ||
           (p.UseAT01 && p.RotateAT01) || (p.UseAT02 && p.RotateAT02);
}

std::int64_t TAnimationPlan::RotationPeriod(const TFractalParams& params) {
    return TRotation::Period(params.RotationStep, params.RotationLimit());
}

std::optional<std::int64_t> TAnimationPlan::TickOfFrame(int frame) const {
    if (FPeriod > 0)
        // One period over the frames: frame t at t x period / frames, to the nearest tick.
        return (2 * std::int64_t{frame} * FPeriod + FFrames) / (2 * std::int64_t{FFrames});
    if (FTickStep)
        return std::int64_t{frame} * *FTickStep;
    return std::nullopt;
}

double TAnimationPlan::MorphWeight(int frame) const {
    if (!FEnd)
        return 0.0;
    double phase = 0.0;
    if (FLoop) {
        // There in the first half, back in the second; frame N would be frame 0 again.
        const int doubled = 2 * frame <= FFrames ? 2 * frame : 2 * (FFrames - frame);
        phase = static_cast<double>(doubled) / FFrames;
    } else if (FFrames > 1) {
        phase = static_cast<double>(frame) / (FFrames - 1);
    }
    return EaseInOut(phase);
}

TRenderSettings TAnimationPlan::FrameSettings(int frame) const {
    const double weight = MorphWeight(frame);
    // What cannot be blended (the maps, rotations and variations chosen, the clock the orbits
    // start from) changes over halfway.
    TRenderSettings settings = FEnd && weight >= 0.5 ? *FEnd : FStart;
    if (FEnd) {
        const TFractalParams& from = FStart.Params;
        const TFractalParams& to = FEnd->Params;
        TFractalParams& p = settings.Params;
        for (std::size_t i = 0; i < std::size(p.RotationLimitAndCoef); ++i)
            p.RotationLimitAndCoef[i] =
                Linear(from.RotationLimitAndCoef[i], to.RotationLimitAndCoef[i], weight);
        p.RotationStep = Linear(from.RotationStep, to.RotationStep, weight);
        for (const TFactorSetting& factor : FactorSettings)
            p.*factor.Field = Linear(from.*factor.Field, to.*factor.Field, weight);
        settings.CenterX = Linear(FStart.CenterX, FEnd->CenterX, weight);
        settings.CenterY = Linear(FStart.CenterY, FEnd->CenterY, weight);
        settings.Magnification = Geometric(FStart.Magnification, FEnd->Magnification, weight);
    }
    settings.HeldRotationTick = TickOfFrame(frame);
    // A set between two others was never judged; the start set turning was, at its start.
    settings.JudgedBefore = settings.HeldRotationTick && weight == 0.0;
    return settings;
}

TRenderSettings SetInLayoutOf(const TParameterFile& file, const TRenderSettings& run) {
    TRenderSettings settings = RenderSettingsOf(file);
    settings.Width = run.Width;
    settings.Height = run.Height;
    settings.Steps = run.Steps;
    settings.Supersample = run.Supersample;
    settings.Orbits = run.Orbits;
    settings.Threads = run.Threads;
    settings.ScreenGamma = run.ScreenGamma;
    return settings;
}

TRenderSettings KeptSetOf(const TRenderSettings& run) {
    if (run.KeepCoefficients)
        return run;
    TRenderJob drawn(run);
    drawn.Run();
    TRenderSettings settings = SetInLayoutOf(drawn.UsedParameters(), run);
    settings.TickEvery = run.TickEvery;
    return settings;
}
