#pragma once

#include "engine/EngineMath.h"

#include <cmath>

// The seven non-linear variations. Each bends (x, y) in place, computing every term from the
// values before the call; none touches z. w is the block's VariationWeight.

// Radius squared, kept away from zero so that Spherical never divides by it.
inline double VariationRadius2(double x, double y) {
    return x * x + 1e-12 + y * y;
}

// The plain arctangent of x / y; 0 at and near the origin, and when neither coordinate is a
// number.
inline double VariationTheta(double x, double y) {
    if (x < -1e-10 || x > 1e-10 || y < -1e-10 || y > 1e-10)
        return std::atan(x / y);
    return 0.0;
}

// Replaces the point and ignores w: a position-dependent rotation.
inline void ApplyRotational(double& x, double& y) {
    const double u = x * std::cos(EngineTwoPi * y) - y * std::sin(EngineTwoPi * x);
    const double v = x * std::sin(EngineTwoPi * y) + y * std::cos(EngineTwoPi * x);
    x = u;
    y = v;
}

inline void ApplySinusoidal(double& x, double& y, double w) {
    const double u = std::sin(EngineTwoPi * x);
    const double v = std::sin(EngineTwoPi * y);
    x = x + w * u;
    y = y + w * v;
}

inline void ApplySpherical(double& x, double& y, double w) {
    const double r2 = VariationRadius2(x, y);
    const double u = x / r2;
    const double v = y / r2;
    x = x + w * u;
    y = y + w * v;
}

// Swirl and Horseshoe share this turn and differ only in its angle.
inline void ApplyTurn(double& x, double& y, double w, double angle) {
    const double s = std::sin(angle);
    const double c = std::cos(angle);
    const double u = s * x - c * y;
    const double v = c * x + s * y;
    x = x + w * u;
    y = y + w * v;
}

inline void ApplySwirl(double& x, double& y, double w) {
    ApplyTurn(x, y, w, EngineTwoPi * VariationRadius2(x, y));
}

inline void ApplyHorseshoe(double& x, double& y, double w) {
    ApplyTurn(x, y, w, EngineTwoPi * VariationTheta(x, y));
}

inline void ApplyPolar(double& x, double& y, double w) {
    const double u = VariationTheta(x, y) / EnginePi;
    const double v = std::sqrt(VariationRadius2(x, y)) - 1.0;
    x = x + w * u;
    y = y + w * v;
}

inline void ApplyBent(double& x, double& y, double w) {
    const double u = x < 0 ? 2.0 * x : x;
    const double v = y < 0 ? y / 2.0 : y;
    x = x + w * u;
    y = y + w * v;
}
