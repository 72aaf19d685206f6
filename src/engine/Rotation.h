#pragma once

#include "engine/EngineMath.h"

#include <cmath>
#include <cstdint>

// The slowly turning rotation that may follow a map family. Its angle advances by the block's
// RotationStep whenever the block's Tick has changed since the last advance, and restarts at 0
// once it has exceeded the RotationLimit (tested before the advance).
class TRotation {
public:
    // scale turns the angle into radians (pi, or 2 pi for IFS 01); reflect mirrors the result's
    // y, as the AT 01 rotation does.
    TRotation(double scale, bool reflect) : FScale(scale), FReflect(reflect) {}

    // Start of a run: angle 0, ticks counted from tick.
    void Restart(std::int32_t tick) {
        FAngle = 0.0;
        FLastTick = tick;
    }
    // A new coefficient set keeps the angle but must not jump it.
    void SyncTick(std::int32_t tick) { FLastTick = tick; }

    void Apply(double& x, double& y, std::int32_t tick, double step, double limit) {
        if (FAngle > limit)
            FAngle = 0.0;
        if (tick != FLastTick) {
            FAngle = FAngle + step;
            FLastTick = tick;
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
        FAngle = angle;
        FLastTick = lastTick;
    }
    double Angle() const { return FAngle; }
    std::int32_t LastTick() const { return FLastTick; }

private:
    double FScale;
    bool FReflect;
    double FAngle = 0.0;
    std::int32_t FLastTick = 0;
    double FCachedAlpha = 0.0;
    double FSin = 0.0;
    double FCos = 1.0;
};
