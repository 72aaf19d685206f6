#pragma once

#include "export/ColorResolution.h"
#include "export/WriterOptions.h"
#include "render/RenderSettings.h"

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
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
    // The render's state: saved as it goes, taken up again, written once the run's orbits are
    // done, or added up from the states of a render's shares.
    std::string CheckpointFile;
    double CheckpointEvery = 300.0;
    std::string ResumeFile;
    std::string StateOutFile;
    std::vector<std::string> MergeFiles;
    bool TakesState() const { return !ResumeFile.empty() || !MergeFiles.empty(); }
    // With a state taken up: the new total that --steps or --density gave, which only the
    // state's picture size resolves.
    bool StepsGiven = false;
    std::optional<double> Density;
    // A contact sheet of Columns x Rows fresh sets instead of one picture: each cell's size,
    // the screen its sets must pass, and the folder for their parameter files and index.
    int GalleryColumns = 0;
    int GalleryRows = 0;
    bool Gallery() const { return GalleryColumns > 0; }
    int CellWidth = 160;
    int CellHeight = 120;
    double MinCoverage = 0.0;
    std::optional<std::pair<double, double>> DimensionRange;
    std::string ParamsDir;
    // An animation of Frames pictures instead of one: a numbered picture each, or a video,
    // by --out's name. The rotations hold the angles of tick frame x TickStep; a loop turns
    // them through one period over the frames; MorphTo is the set the frames go over to.
    int Frames = 0;
    bool Animation() const { return Frames > 0; }
    int FramesPerSecond = 24;
    std::optional<std::int64_t> TickStep;
    bool Loop = false;
    std::string MorphToFile;
    std::optional<TParameterFile> MorphTo;
    std::optional<int> Crf;
    std::optional<std::int64_t> BitRate;
    bool Stats = false;
    bool Quiet = false;
    bool Help = false;
};

// The arguments after the program name; throws ERenderUsage.
TRenderOptions ParseRenderOptions(const std::vector<std::string>& args);
// The output of a render taken up from a state, whose transparency only the state knows;
// throws ERenderUsage.
void CheckOutputOfState(const TRenderOptions& options, const TRenderSettings& state);
