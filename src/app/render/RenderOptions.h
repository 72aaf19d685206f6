#pragma once

#include "export/ColorResolution.h"
#include "export/WriterOptions.h"
#include "render/RenderSettings.h"

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

// A command line of quarn-render: the render, and what is done with its picture.
struct TRenderOptions : TRenderSettings {
    // The parameter file to write the run's set to; empty for none.
    std::string WriteParamsFile;
    std::string OutFile;
    // The colour resolution the picture is converted to before it is saved; none keeps 24 bits.
    std::optional<TPGColorResolution> Colors;
    // The writer options of the save.
    TPGWriterOptions Writer;
    bool Stats = false;
    bool Quiet = false;
    bool Help = false;
};

// The arguments after the program name; throws ERenderUsage.
TRenderOptions ParseRenderOptions(const std::vector<std::string>& args);
