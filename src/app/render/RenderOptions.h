#pragma once

#include "engine/FractalParams.h"
#include "export/ColorResolution.h"
#include "export/WriterOptions.h"

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

// A command line that quarn-render refuses; the text says what is wrong.
class ERenderUsage : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Both made from the one table of the command line's options.
std::string RenderUsageLine();
std::string RenderHelpText();

struct TRenderOptions {
    // Defaults of a new document; the flags below change them.
    TFractalParams Params;
    int Width = 400;
    int Height = 300;
    // The clock value of the first coefficient draw, 0 to 86399999 milliseconds after midnight;
    // without it the real time of day.
    std::optional<std::uint32_t> Seed;
    // Plotting-phase steps before the run ends, of all orbits together.
    std::int32_t Steps = 2000000;
    // Set when the block's coefficients came from a parameter file: the run keeps them, and
    // fails rather than drawing others. The file's clock value, if it has one, picks the orbit.
    bool KeepCoefficients = false;
    std::optional<std::uint32_t> FileClock;
    // The parameter file to write the run's set to; empty for none.
    std::string WriteParamsFile;
    // Independent orbits on the same coefficient set, each on its own thread.
    int Threads = 1;
    double CenterX = 0.0;
    double CenterY = 0.0;
    double Magnification = 0.5;
    std::int64_t TickEvery = 250000;
    std::string OutFile;
    // The colour resolution the picture is converted to before it is saved; none keeps 24 bits.
    std::optional<TPGColorResolution> Colors;
    // The writer options and screen gamma in force while the picture is saved.
    TPGWriterOptions Writer;
    long double ScreenGamma = 1.8L;
    // The run gives up once this many coefficient sets in a row were drawn without a plotted
    // point: some map combinations never settle.
    std::int64_t MaxFruitlessDraws = 1000000;
    bool Stats = false;
    bool Quiet = false;
    bool Help = false;
};

// The arguments after the program name; throws ERenderUsage.
TRenderOptions ParseRenderOptions(const std::vector<std::string>& args);
