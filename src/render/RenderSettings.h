#pragma once

#include "engine/FractalEngine.h"
#include "engine/FractalParams.h"
#include "engine/ParameterFile.h"

#include <cstdint>
#include <optional>

// What decides a rendered picture: the set and its settings, the view, the size, the steps and
// the orbits that share them.
struct TRenderSettings {
    // Defaults of a new document.
    TFractalParams Params;
    int Width = 400;
    int Height = 300;
    // The clock value of the first coefficient draw, 0 to 86399999 milliseconds after midnight;
    // without it the real time of day.
    std::optional<std::uint32_t> Seed;
    // Plotting-phase steps before the run ends, of all orbits together: 1 to MaxSteps.
    std::int64_t Steps = 2000000;
    static constexpr std::int64_t MaxSteps = std::int64_t{1} << 62;
    static constexpr double MaxDensity = 100000.0;
    // Set when the block's coefficients came from a parameter file: the run keeps them, and
    // fails rather than drawing others. The file's clock value, if it has one, picks the orbit.
    bool KeepCoefficients = false;
    std::optional<std::uint32_t> FileClock;
    // Rendered at Supersample times the width and height with its square times the steps, and
    // reduced by averaging: 1 to MaxSupersample.
    int Supersample = 1;
    static constexpr int MaxSupersample = 4;
    // The view is chosen to show the set's attractor whole (the centre and magnification
    // above are replaced), from a sample of its orbit.
    bool Fit = false;
    // Pixels no orbit reached are transparent; with supersampling, a pixel's opacity is the
    // share of its sub-pixels reached and its colour theirs.
    bool Transparent = false;
    // The orbits the steps are shared among, 0 when not given: a run with one thread then has
    // the one orbit the window has; a run with more has DefaultOrbits, whatever the machine.
    // The picture depends on the orbits, never on the threads that run them.
    int Orbits = 0;
    static constexpr int DefaultOrbits = 16;
    static constexpr int MaxOrbits = 65536;
    int OrbitCount() const {
        return Orbits > 0 ? Orbits : Threads == 1 && !SavesState ? 1 : DefaultOrbits;
    }
    // The run's state is saved, which the window's single orbit cannot be: without Orbits it
    // has DefaultOrbits also on one thread.
    bool SavesState = false;
    // The orbits this run renders, FirstOrbit to EndOrbit - 1, EndOrbit 0 for all of them: a
    // share of a render whose other orbits other runs render. Such a run leaves only a state.
    int FirstOrbit = 0;
    int EndOrbit = 0;
    // Threads that run the orbits, each a share of them one after another.
    int Threads = 1;
    double CenterX = 0.0;
    double CenterY = 0.0;
    double Magnification = 0.5;
    std::int64_t TickEvery = 250000;
    // The rotations keep, for the whole render, the angles they have at this display tick
    // instead of turning with the ticks: one frame of an animation.
    std::optional<std::int64_t> HeldRotationTick;
    // The kept set was judged before, at its start, as the window judges a set once while its
    // rotations go on turning: the orbits need only stay bounded.
    bool JudgedBefore = false;
    // The screen gamma the picture takes (PNG stores it).
    long double ScreenGamma = 1.8L;
    // The run gives up once this many coefficient sets in a row were drawn without a plotted
    // point: some map combinations never settle.
    std::int64_t MaxFruitlessDraws = 1000000;
};

// A render of a parameter file's set, kept and started from its clock, with its settings, view,
// size and tick spacing, and its steps where the file has them (at least one).
TRenderSettings RenderSettingsOf(const TParameterFile& file);
