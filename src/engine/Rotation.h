#pragma once

#include "engine/EngineMath.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>

// The slowly turning rotation that may follow a map family. Its angle advances by the block's
// RotationStep whenever the block's Tick has changed since the last advance, and restarts at 0
// once it has exceeded the RotationLimit (tested before the advance).
class TRotation {
public:
    // scale turns the angle into radians (pi, or 2 pi for IFS 01); reflect mirrors the result's
    // y, as the AT 01 rotation does.
    TRotation(double scale, bool reflect) : FScale(scale), FReflect(reflect) {}

    // Start of a run: angle 0 (or the held one), ticks counted from tick.
    void Restart(std::int32_t tick) {
        FAngle = FHeld ? FHeldAngle : 0.0;
        FLastTick = tick;
    }
    // From now on the angle stays at `angle` whatever the ticks do, until released with
    // nullopt: one frame of an animation shows the set at one instant of its turning.
    void Hold(std::optional<double> angle) {
        FHeld = angle.has_value();
        FHeldAngle = angle.value_or(0.0);
        if (FHeld)
            FAngle = FHeldAngle;
    }
    // A new coefficient set keeps the angle but must not jump it.
    void SyncTick(std::int32_t tick) { FLastTick = tick; }

    void Apply(double& x, double& y, std::int32_t tick, double step, double limit) {
        if (!FHeld) {
            if (FAngle > limit)
                FAngle = 0.0;
            if (tick != FLastTick) {
                FAngle = FAngle + step;
                FLastTick = tick;
            }
        }
        const double alpha = FScale * FAngle;
        // The angle changes only on display ticks; the trigonometry is reused until then.
        if (!(alpha == FCachedAlpha)) {
            FCachedAlpha = alpha;
            FSin = std::sin(alpha);
            FCos = std::cos(alpha);
        }
        const double nx = FCos * x - FSin * y;
        const double ny = FReflect ? FSin * x - FCos * y : FSin * x + FCos * y;
        x = nx;
        y = ny;
    }

    // Back to where a stopped run left it.
    void Resume(double angle, std::int32_t lastTick) {
        FAngle = FHeld ? FHeldAngle : angle;
        FLastTick = lastTick;
    }
    double Angle() const { return FAngle; }

    // The angle in force during display tick `tick` of a run, reached as Apply reaches it: one
    // step per tick, back to 0 once past the limit (which Apply does before any use, so the
    // angle in force is then 0).
    static double AngleAtTick(std::int64_t tick, double step, double limit) {
        const std::int64_t period = Period(step, limit);
        if (period > 0)
            tick %= period;
        double angle = 0.0;
        for (std::int64_t t = 0; t < tick; ++t) {
            if (angle > limit)
                angle = 0.0;
            angle = angle + step;
        }
        return angle > limit ? 0.0 : angle;
    }
    // The ticks after which the angles come back to 0: the first tick whose angle passes the
    // limit. 0 when they never come back, or only after more ticks than a run counts.
    static constexpr std::int64_t MaxPeriod = std::numeric_limits<std::int32_t>::max();
    static std::int64_t Period(double step, double limit) {
        if (!(step > 0.0) || !std::isfinite(limit) || !(limit / step < MaxPeriod))
            return 0;
        double angle = 0.0;
        std::int64_t ticks = 0;
        while (!(angle > limit)) {
            angle = angle + step;
            ++ticks;
        }
        return ticks;
    }
    std::int32_t LastTick() const { return FLastTick; }

private:
    double FScale;
    bool FReflect;
    double FAngle = 0.0;
    std::int32_t FLastTick = 0;
    bool FHeld = false;
    double FHeldAngle = 0.0;
    double FCachedAlpha = 0.0;
    double FSin = 0.0;
    double FCos = 1.0;
};
