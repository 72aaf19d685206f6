#pragma once

#include <cstdint>

class TPixelGraphic;

// A 32-bit Boolean of the parameter block: 0 is false, any other value true; -1 is written.
using TBool32 = std::int32_t;
inline constexpr TBool32 BoolFalse = 0;
inline constexpr TBool32 BoolTrue = -1;

// The engine's parameter block, one per document. The engine reads every setting at the moment
// it uses it, so a handler that runs between two loop passes may change any field and the next
// pass sees the new value. Field order is part of the interface: keep it.
struct TFractalParams {
    double Intensity = 40.0;
    double VariationWeight = 0.05;
    double RedFactor = 0.7;
    double BlueFactor = 0.9;
    double GreenFactor = 0.8;
    TBool32 UseLatoocarfian01 = BoolFalse;
    TBool32 UseLatoocarfian02 = BoolFalse;
    TBool32 UseIFS01 = BoolTrue;
    TBool32 UseIFS02 = BoolFalse;
    TBool32 UseAT01 = BoolFalse;
    TBool32 UseAT02 = BoolFalse;
    TBool32 RotateL01 = BoolFalse;
    TBool32 RotateL02 = BoolFalse;
    TBool32 RotateIFS01 = BoolFalse;
    TBool32 RotateIFS02 = BoolFalse;
    TBool32 RotateAT01 = BoolFalse;
    TBool32 RotateAT02 = BoolFalse;
    TBool32 UseRotational = BoolFalse;
    TBool32 UseSinusoidal = BoolFalse;
    TBool32 UseSpherical = BoolFalse;
    TBool32 UseSwirl = BoolFalse;
    TBool32 UseHorseshoe = BoolFalse;
    TBool32 UsePolar = BoolFalse;
    TBool32 UseBent = BoolFalse;
    TBool32 WhiteBackground = BoolFalse;
    std::int32_t Tick = 0;
    std::int32_t StepCount = 0;
    double Lyapunov = 0.0;
    double RotationStep = 0.1;
    // Element 0 is RotationLimit, elements 1..120 are the coefficients: the maps index this one
    // array, so element 0 is never a coefficient.
    double RotationLimitAndCoef[121] = {2.0};
    TBool32 NewCoefficients = BoolTrue;
    double ViewXMin = 0.0;
    double ViewYMin = 0.0;
    double ViewXMax = 0.0;
    double ViewYMax = 0.0;
    std::int32_t ImageWidth = 400;
    std::int32_t ImageHeight = 300;
    TBool32 AbortRequested = BoolFalse;
    TBool32 RootFilter = BoolTrue;
    TPixelGraphic* Image = nullptr;

    double& RotationLimit() { return RotationLimitAndCoef[0]; }
    double RotationLimit() const { return RotationLimitAndCoef[0]; }
    // Coefficient k, 1..120.
    double& Coef(int k) { return RotationLimitAndCoef[k]; }
    double Coef(int k) const { return RotationLimitAndCoef[k]; }

    // The defaults a new document stores before its first run: colour factors, intensity,
    // variation weight, only IFS 01 enabled, rotation step and limit, new coefficients, root
    // filter and a 400 x 300 image. Coefficients, view, image and progress stay as they are.
    void StoreDefaults();
};
