#include "engine/FractalParams.h"

#include <type_traits>

static_assert(std::is_standard_layout_v<TFractalParams>,
              "the parameter block keeps its declared field order");

void TFractalParams::StoreDefaults() {
    const TFractalParams defaults;
    RedFactor = defaults.RedFactor;
    GreenFactor = defaults.GreenFactor;
    BlueFactor = defaults.BlueFactor;
    Intensity = defaults.Intensity;
    VariationWeight = defaults.VariationWeight;
    UseLatoocarfian01 = UseLatoocarfian02 = UseIFS02 = UseAT01 = UseAT02 = BoolFalse;
    UseIFS01 = BoolTrue;
    RotateL01 = RotateL02 = RotateIFS01 = RotateIFS02 = RotateAT01 = RotateAT02 = BoolFalse;
    UseRotational = UseSinusoidal = UseSpherical = UseSwirl = UseHorseshoe = UsePolar = UseBent =
        BoolFalse;
    RotationStep = defaults.RotationStep;
    RotationLimit() = defaults.RotationLimit();
    NewCoefficients = BoolTrue;
    RootFilter = BoolTrue;
    ImageWidth = defaults.ImageWidth;
    ImageHeight = defaults.ImageHeight;
}
