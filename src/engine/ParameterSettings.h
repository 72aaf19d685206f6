#pragma once

#include "engine/FractalParams.h"

#include <string_view>

// The settings of the parameter block that the user chooses, each listed once: what the
// Parameters window shows, the renderer's options set and a stored set of parameters holds.
// Name is the block field's name.

// A real-valued setting, accepted from Low to High.
struct TFactorSetting {
    std::string_view Name;
    double TFractalParams::*Field;
    // Settings that share an option take its comma-separated values in the table's order.
    std::string_view Option;
    double Low;
    double High;
};

inline constexpr TFactorSetting FactorSettings[] = {
    {"RedFactor", &TFractalParams::RedFactor, "--rgb", 0.0, 1.0},
    {"GreenFactor", &TFractalParams::GreenFactor, "--rgb", 0.0, 1.0},
    {"BlueFactor", &TFractalParams::BlueFactor, "--rgb", 0.0, 1.0},
    {"Intensity", &TFractalParams::Intensity, "--intensity", 0.0, 65000.0},
    // As far as the Parameters window goes: beyond it the variations run away.
    {"VariationWeight", &TFractalParams::VariationWeight, "--weight", 0.0, 0.25},
};

// A Boolean setting. Settings with a ListName are chosen by a list option ("--maps ifs01,at02"),
// which sets the named ones and clears the others; one without is set to OptionValue by an
// option of its own.
struct TFlagSetting {
    std::string_view Name;
    TBool32 TFractalParams::*Field;
    std::string_view Option;
    std::string_view ListName;
    TBool32 OptionValue = BoolTrue;
};

// The 19 enable flags in block order, then the two brightness settings.
inline constexpr TFlagSetting FlagSettings[] = {
    {"UseLatoocarfian01", &TFractalParams::UseLatoocarfian01, "--maps", "lat01"},
    {"UseLatoocarfian02", &TFractalParams::UseLatoocarfian02, "--maps", "lat02"},
    {"UseIFS01", &TFractalParams::UseIFS01, "--maps", "ifs01"},
    {"UseIFS02", &TFractalParams::UseIFS02, "--maps", "ifs02"},
    {"UseAT01", &TFractalParams::UseAT01, "--maps", "at01"},
    {"UseAT02", &TFractalParams::UseAT02, "--maps", "at02"},
    {"RotateL01", &TFractalParams::RotateL01, "--rotate", "lat01"},
    {"RotateL02", &TFractalParams::RotateL02, "--rotate", "lat02"},
    {"RotateIFS01", &TFractalParams::RotateIFS01, "--rotate", "ifs01"},
    {"RotateIFS02", &TFractalParams::RotateIFS02, "--rotate", "ifs02"},
    {"RotateAT01", &TFractalParams::RotateAT01, "--rotate", "at01"},
    {"RotateAT02", &TFractalParams::RotateAT02, "--rotate", "at02"},
    {"UseRotational", &TFractalParams::UseRotational, "--variations", "rotational"},
    {"UseSinusoidal", &TFractalParams::UseSinusoidal, "--variations", "sinusoidal"},
    {"UseSpherical", &TFractalParams::UseSpherical, "--variations", "spherical"},
    {"UseSwirl", &TFractalParams::UseSwirl, "--variations", "swirl"},
    {"UseHorseshoe", &TFractalParams::UseHorseshoe, "--variations", "horseshoe"},
    {"UsePolar", &TFractalParams::UsePolar, "--variations", "polar"},
    {"UseBent", &TFractalParams::UseBent, "--variations", "bent"},
    {"WhiteBackground", &TFractalParams::WhiteBackground, "--white", {}},
    {"RootFilter", &TFractalParams::RootFilter, "--linear", {}, BoolFalse},
};
