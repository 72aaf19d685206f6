#include "app/render/RenderOptions.h"

#include "engine/FractalEngine.h"
#include "engine/ParameterFile.h"
#include "engine/ParameterSettings.h"
#include "export/AlphaPicture.h"
#include "export/FileFormatWriters.h"
#include "export/Png.h"
#include "export/VideoEncoder.h"
#include "render/AnimationPlan.h"
#include "render/FrameNames.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <string_view>
#include <thread>
#include <tuple>
#include <type_traits>
#include <utility>

namespace {

template <typename T> using TNamedValue = std::pair<std::string_view, T>;

constexpr TNamedValue<TPGColorResolution> ColorResolutionNames[] = {
    {"bw", crBlackWhite}, {"2", cr2Colors},        {"16gray", cr16Grays}, {"16sys", cr16SysColors},
    {"16", cr16Colors},   {"256gray", cr256Grays}, {"256", cr256Colors},  {"true", crTrueColor}};

constexpr TNamedValue<std::uint8_t> DCTMethodNames[] = {
    {"int", JpegDctIntegerPrecise}, {"fast", JpegDctIntegerFast}, {"float", JpegDctFloat}};

constexpr TNamedValue<std::int32_t> CompressionNames[] = {{"none", TiffNoCompression},
                                                          {"packbits", TiffPackBitsCompression}};

constexpr TNamedValue<bool> ByteOrderNames[] = {{"ii", false}, {"mm", true}};

constexpr TNamedValue<std::uint8_t> ResolutionUnitNames[] = {{"none", 0}, {"inch", 1}, {"cm", 2}};

std::vector<std::string_view> SplitList(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    if (text.empty())
        return parts;
    for (;;) {
        const std::size_t end = text.find(separator);
        parts.push_back(text.substr(0, end));
        if (end == std::string_view::npos)
            return parts;
        text.remove_prefix(end + 1);
    }
}

// A value outside what its option allows: `subject` names it ("--steps 0", "--size 2000x100"),
// `range` says what is allowed ("--steps must be 1 to 2147479648").
ERenderUsage OutOfRange(std::string_view subject, std::string_view range) {
    std::string text = std::string(subject) + " is out of range";
    if (!range.empty())
        text += ": " + std::string(range);
    return ERenderUsage(text);
}

// `option` names the value in messages; a subject left empty is the option and the text.
template <typename T>
T ParseNumber(std::string_view text, std::string_view option, std::string_view range = {},
              std::string_view subject = {}) {
    T value{};
    const char* last = text.data() + text.size();
    const auto [end, error] = std::from_chars(text.data(), last, value);
    if (!text.empty() && error == std::errc::result_out_of_range && end == last)
        throw OutOfRange(subject.empty() ? std::string(option) + " " + std::string(text)
                                         : std::string(subject),
                         range);
    if (text.empty() || error != std::errc() || end != last)
        throw ERenderUsage(std::string(option) + ": \"" + std::string(text) +
                           "\" is not a valid number");
    if constexpr (std::is_floating_point_v<T>) {
        if (!std::isfinite(value))
            throw ERenderUsage(std::string(option) + ": \"" + std::string(text) +
                               "\" is not a finite number");
    }
    return value;
}

template <typename T>
T ParseInRange(std::string_view text, std::string_view option, T low, T high,
               std::string_view range, std::string_view subject = {}) {
    const T value = ParseNumber<T>(text, option, range, subject);
    if (value < low || value > high)
        throw OutOfRange(subject.empty() ? std::string(option) + " " + std::string(text)
                                         : std::string(subject),
                         range);
    return value;
}

std::vector<double> ParseDoubles(std::string_view text, std::string_view option,
                                 std::size_t count) {
    const std::vector<std::string_view> parts = SplitList(text, ',');
    if (parts.size() != count)
        throw ERenderUsage(std::string(option) + " needs " + std::to_string(count) +
                           " comma-separated numbers");
    std::vector<double> values;
    values.reserve(parts.size());
    for (std::string_view part : parts)
        values.push_back(ParseNumber<double>(part, option));
    return values;
}

// Sets exactly the flags of the list option that the list names, clearing its others.
void SetListedFlags(TFractalParams& params, std::string_view option, std::string_view list) {
    for (const TFlagSetting& setting : FlagSettings)
        if (setting.Option == option)
            params.*setting.Field = BoolFalse;
    for (std::string_view name : SplitList(list, ',')) {
        bool known = false;
        for (const TFlagSetting& setting : FlagSettings)
            if (setting.Option == option && setting.ListName == name) {
                params.*setting.Field = BoolTrue;
                known = true;
            }
        if (!known)
            throw ERenderUsage(std::string(option) + ": unknown name \"" + std::string(name) +
                               "\"");
    }
}

// "lat01, lat02 or ifs01": the names a list option takes.
std::string ListNames(std::string_view option) {
    std::vector<std::string_view> names;
    for (const TFlagSetting& setting : FlagSettings)
        if (setting.Option == option)
            names.push_back(setting.ListName);
    std::string text;
    for (std::size_t i = 0; i < names.size(); ++i)
        text += std::string(i == 0                  ? ""
                            : i + 1 == names.size() ? " or "
                                                    : ", ") +
                std::string(names[i]);
    return text;
}

std::string RangeText(const TFactorSetting& setting) {
    char range[64];
    std::snprintf(range, sizeof range, "%g to %g", setting.Low, setting.High);
    return range;
}

// The factor settings that take their values from `option`, one value each.
void SetFactors(TFractalParams& params, std::string_view option, std::string_view text) {
    std::vector<const TFactorSetting*> settings;
    for (const TFactorSetting& setting : FactorSettings)
        if (setting.Option == option)
            settings.push_back(&setting);
    if (settings.size() == 1) {
        const TFactorSetting& setting = *settings.front();
        params.*setting.Field =
            ParseInRange<double>(text, option, setting.Low, setting.High,
                                 std::string(option) + " must be " + RangeText(setting));
        return;
    }
    const std::vector<double> values = ParseDoubles(text, option, settings.size());
    for (std::size_t i = 0; i < settings.size(); ++i)
        if (values[i] < settings[i]->Low || values[i] > settings[i]->High)
            throw OutOfRange(std::string(option) + " " + std::string(text),
                             "each factor must be " + RangeText(*settings[i]));
    for (std::size_t i = 0; i < settings.size(); ++i)
        params.*settings[i]->Field = values[i];
}

// Sets the block's settings that `option` stands for: factors from its numbers, the flags of a
// list from its names, a flag of its own to the flag's value.
void SetParameterSetting(TFractalParams& params, std::string_view option, std::string_view value) {
    for (const TFactorSetting& setting : FactorSettings)
        if (setting.Option == option) {
            SetFactors(params, option, value);
            return;
        }
    for (const TFlagSetting& setting : FlagSettings)
        if (setting.Option == option) {
            if (setting.ListName.empty()) {
                params.*setting.Field = setting.OptionValue;
                return;
            }
            // Without a map the point never moves, and every set would fail its warm-up.
            if (option == "--maps" && value.empty())
                throw ERenderUsage("--maps needs at least one map: " + ListNames(option));
            SetListedFlags(params, option, value);
            return;
        }
}

template <typename T, std::size_t N>
T ParseChoice(std::string_view text, std::string_view option, const TNamedValue<T> (&table)[N]) {
    std::string names;
    for (const TNamedValue<T>& entry : table) {
        if (entry.first == text)
            return entry.second;
        names += (names.empty() ? "" : ", ") + std::string(entry.first);
    }
    throw ERenderUsage(std::string(option) + ": unknown name \"" + std::string(text) +
                       "\" (one of " + names + ")");
}

// One "N/D" pair of a resolution; TIFF stores both as unsigned rationals.
std::pair<std::int32_t, std::int32_t> ParseRational(std::string_view text,
                                                    const std::string& context) {
    const std::size_t slash = text.find('/');
    if (slash == std::string_view::npos)
        throw ERenderUsage(context + ": each resolution needs N/D, for example 300/1");
    const std::int32_t largest = std::numeric_limits<std::int32_t>::max();
    const auto numerator = ParseInRange<std::int32_t>(
        text.substr(0, slash), context, 0, largest, "a numerator must be 0 to 2147483647", context);
    const auto denominator =
        ParseInRange<std::int32_t>(text.substr(slash + 1), context, 1, largest,
                                   "a denominator must be 1 to 2147483647", context);
    return {numerator, denominator};
}

void ParseTiffResolution(std::string_view text, TPGWriterOptions& writer) {
    const std::string context = "--tiff-resolution " + std::string(text);
    const std::size_t colon = text.find(':');
    const std::vector<std::string_view> parts = colon == std::string_view::npos
                                                    ? std::vector<std::string_view>{}
                                                    : SplitList(text.substr(colon + 1), ',');
    if (parts.size() != 2)
        throw ERenderUsage(context + ": needs UNIT:XN/XD,YN/YD, for example inch:300/1,300/1");
    writer.TIFFWriteResUnit = ParseChoice(text.substr(0, colon), context, ResolutionUnitNames);
    std::tie(writer.TIFFWriteXResNumerator, writer.TIFFWriteXResDenominator) =
        ParseRational(parts[0], context);
    std::tie(writer.TIFFWriteYResNumerator, writer.TIFFWriteYResDenominator) =
        ParseRational(parts[1], context);
}

void ParseSize(std::string_view text, TRenderOptions& options) {
    const std::size_t x = text.find('x');
    if (x == std::string_view::npos)
        throw ERenderUsage("--size needs WxH, for example 400x300");
    const std::string context = "--size " + std::string(text);
    constexpr int side = TParameterFile::MaxImageSide;
    const int width = ParseInRange<int>(text.substr(0, x), context, 1, side,
                                        "the width must be 1 to " + std::to_string(side), context);
    const int height =
        ParseInRange<int>(text.substr(x + 1), context, 1, side,
                          "the height must be 1 to " + std::to_string(side), context);
    options.Width = width;
    options.Height = height;
}

// The extensions the writers take, for the messages about output names.
std::string KnownExtensions() {
    TFileFormatWriters& writers = FileFormatWriters();
    writers.EnsureOrder();
    std::string names;
    for (int i = 0; i < writers.Count(); ++i)
        names += (i == 0 ? "" : ", ") + writers.Writer(i).Extension;
    return names;
}

// A file the run will write must have a folder to go in, and must not be one.
void CheckFileToWrite(const std::string& name, const std::string& subject) {
    namespace fs = std::filesystem;
    const fs::path path(name);
    const fs::path folder = path.has_parent_path() ? path.parent_path() : fs::path(".");
    std::error_code ec;
    const fs::file_status folderStatus = fs::status(folder, ec);
    if (!fs::exists(folderStatus))
        throw ERenderUsage(subject + ": the folder \"" + folder.string() + "\" does not exist");
    if (!fs::is_directory(folderStatus))
        throw ERenderUsage(subject + ": \"" + folder.string() + "\" is not a folder");
    if (fs::is_directory(fs::status(path, ec)))
        throw ERenderUsage(subject + ": that is a folder");
}

// A folder the run will write into: it may be made, in a folder that exists.
void CheckFolderToWrite(const std::string& name, const std::string& subject) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::file_status status = fs::status(name, ec);
    if (fs::exists(status)) {
        if (!fs::is_directory(status))
            throw ERenderUsage(subject + ": that is not a folder");
        return;
    }
    const fs::path parent = fs::path(name).has_parent_path() ? fs::path(name).parent_path() : ".";
    if (!fs::is_directory(fs::status(parent, ec)))
        throw ERenderUsage(subject + ": the folder \"" + parent.string() + "\" does not exist");
}

// Whatever would make the save fail for its name or the PNG gamma, found before the run, which
// may take minutes, rather than after it.
void CheckOutputFile(const TRenderOptions& options) {
    const std::string& name = options.OutFile;
    const std::string subject = "--out " + name;
    const std::string extension = FileNameExtension(name);
    if (options.Animation() && TVideoEncoder::Handles(extension)) {
        CheckFileToWrite(name, subject);
        return;
    }
    if (extension.empty())
        throw ERenderUsage(subject + ": the name has no extension; the known extensions are " +
                           KnownExtensions());
    const TFileFormatWriter* writer = FileFormatWriters().Find(extension);
    if (!writer)
        throw ERenderUsage(subject + ": unknown extension \"" + extension +
                           "\"; the known extensions are " + KnownExtensions());
    CheckFileToWrite(name, subject);
    if (writer == FileFormatWriters().Find("png") && options.Writer.WriteGamma &&
        !PngCanStoreScreenGamma(options.ScreenGamma)) {
        char gamma[64];
        std::snprintf(gamma, sizeof gamma, "%Lg", options.ScreenGamma);
        throw OutOfRange(std::string("--gamma ") + gamma,
                         "a PNG file takes a screen gamma of 0.00016 to 6451 (or --no-gamma)");
    }
}

// Where a name leads once every link on its way is followed, also a link to a file that does
// not exist yet: the save writes through such a link.
std::filesystem::path Resolved(const std::string& name) {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::path path = fs::absolute(name, ec);
    // As many links in a row as the system follows before it gives up.
    for (int links = 0; links < 40 && fs::is_symlink(fs::symlink_status(path, ec)); ++links) {
        const fs::path target = fs::read_symlink(path, ec);
        if (ec)
            break;
        path = target.is_absolute() ? target : path.parent_path() / target;
    }
    return fs::weakly_canonical(path, ec).lexically_normal();
}

bool SameFile(const std::string& a, const std::string& b) {
    std::error_code ec;
    // Device and inode where both exist, which also finds hard links.
    if (std::filesystem::equivalent(a, b, ec))
        return true;
    return Resolved(a) == Resolved(b);
}

// Two outputs of one run that name the same file would leave only the one written last; the
// picture written over the parameter file read would lose the set.
void CheckDistinctFiles(const TRenderOptions& options, const std::optional<std::string>& input) {
    const std::pair<std::string, std::string> files[] = {
        {"--out", options.OutFile},
        {"--write-params", options.WriteParamsFile},
        {"--checkpoint", options.CheckpointFile},
        {"--state-out", options.StateOutFile},
    };
    for (std::size_t i = 0; i < std::size(files); ++i)
        for (std::size_t j = i + 1; j < std::size(files); ++j)
            if (!files[i].second.empty() && !files[j].second.empty() &&
                SameFile(files[i].second, files[j].second))
                throw ERenderUsage(files[j].first + " " + files[j].second +
                                   ": names the same file as " + files[i].first + " " +
                                   files[i].second);
    if (input && !options.OutFile.empty() && SameFile(options.OutFile, *input))
        throw ERenderUsage("--out " + options.OutFile +
                           ": names the parameter file that --params reads");
    // A checkpoint may replace the state it goes on from; nothing else may.
    std::vector<std::string> states = options.MergeFiles;
    if (!options.ResumeFile.empty())
        states.push_back(options.ResumeFile);
    for (const std::string& state : states)
        for (std::size_t i = 0; i < std::size(files); ++i)
            if (!files[i].second.empty() && files[i].first != "--checkpoint" &&
                SameFile(files[i].second, state))
                throw ERenderUsage(files[i].first + " " + files[i].second +
                                   ": names a state file the render takes up");
}

// Only some formats hold an opacity, and only with all the picture's colours.
void CheckTransparentOutput(const TRenderOptions& options) {
    const std::string extension = FileNameExtension(options.OutFile);
    if (!options.OutFile.empty() && !TAlphaPicture::CanSave(extension))
        throw ERenderUsage("--transparent: a file of the extension \"" + extension +
                           "\" holds no transparency; save as png, tif or tiff");
    if (options.Colors)
        throw ERenderUsage("--transparent keeps every colour: leave out --colors");
}

// The file's set, view, size and tick spacing become the defaults that the other options
// change; its density, the steps of its picture size, is returned for the steps' default.
std::optional<double> LoadParameterFile(const std::string& fileName, TRenderOptions& options) {
    TParameterFile file;
    try {
        file = TParameterFile::Load(fileName);
    } catch (const EParameterFile& error) {
        throw ERenderUsage(std::string("--params: ") + error.what());
    }
    static_cast<TRenderSettings&>(options) = RenderSettingsOf(file);
    if (!file.PlottedSteps || *file.PlottedSteps == 0)
        return std::nullopt;
    return static_cast<double>(*file.PlottedSteps) /
           (static_cast<double>(options.Width) * options.Height);
}

// The last --params of the line, whatever stands before it.
std::optional<std::string> ParamsFileOf(const std::vector<std::string>& args) {
    std::optional<std::string> fileName;
    for (std::size_t i = 0; i + 1 < args.size(); ++i)
        if (args[i] == "--params")
            fileName = args[++i];
    return fileName;
}

constexpr std::int64_t MaxSteps = TRenderSettings::MaxSteps;

// What the options of one line have said so far, beyond the options themselves.
struct TParseState {
    TRenderOptions& Options;
    bool StepsGiven = false;
    std::optional<double> Density;
    std::string DensityText;
};

// One option of the command line: its name, the syntax of its value (empty for a flag), what
// its value must be (in messages: "NAME must be RANGE"), its help and what it sets.
struct TOptionRow {
    std::string_view Name;
    std::string_view Value;
    std::string_view Range;
    // Lines after the first are indented under it in the help.
    std::string_view Help;
    void (*Apply)(TParseState& state, const TOptionRow& row, std::string_view value);

    std::string MustBe() const { return std::string(Name) + " must be " + std::string(Range); }
};

template <typename T> T ParsePositive(std::string_view value, const TOptionRow& row) {
    const T number = ParseNumber<T>(value, row.Name, row.MustBe());
    if (!(number > T{0}))
        throw OutOfRange(std::string(row.Name) + " " + std::string(value), row.MustBe());
    return number;
}

std::string NonEmptyName(const TOptionRow& row, std::string_view value) {
    if (value.empty())
        throw ERenderUsage(std::string(row.Name) + " needs a file name");
    return std::string(value);
}

void ParseOrbitRange(std::string_view text, const TOptionRow& row, TRenderOptions& options) {
    const std::size_t colon = text.find(':');
    const std::string subject = std::string(row.Name) + " " + std::string(text);
    if (colon == std::string_view::npos)
        throw ERenderUsage(subject + ": needs A:B, the orbits A to B-1, for example 0:8");
    const std::string range = "A:B must give the orbits A to B-1 with 0 <= A < B <= 65536";
    const int first = ParseInRange<int>(text.substr(0, colon), subject, 0,
                                        TRenderSettings::MaxOrbits - 1, range, subject);
    const int end = ParseInRange<int>(text.substr(colon + 1), subject, first + 1,
                                      TRenderSettings::MaxOrbits, range, subject);
    options.FirstOrbit = first;
    options.EndOrbit = end;
}

// "AxB" with both numbers in low..high.
std::pair<int, int> ParseGrid(std::string_view text, std::string_view option, int low, int high) {
    const std::size_t x = text.find('x');
    const std::string subject = std::string(option) + " " + std::string(text);
    if (x == std::string_view::npos)
        throw ERenderUsage(subject + ": needs two numbers joined by x, for example 4x3");
    const std::string range =
        "each number must be " + std::to_string(low) + " to " + std::to_string(high);
    return {ParseInRange<int>(text.substr(0, x), subject, low, high, range, subject),
            ParseInRange<int>(text.substr(x + 1), subject, low, high, range, subject)};
}

void ParseDimensionRange(std::string_view text, const TOptionRow& row, TRenderOptions& options) {
    const std::size_t colon = text.find(':');
    const std::string subject = std::string(row.Name) + " " + std::string(text);
    if (colon == std::string_view::npos)
        throw ERenderUsage(subject + ": needs A:B, for example 1.2:1.8");
    const std::string range = "A:B must have 0 <= A <= B <= 2";
    const double low =
        ParseInRange<double>(text.substr(0, colon), subject, 0.0, 2.0, range, subject);
    const double high =
        ParseInRange<double>(text.substr(colon + 1), subject, low, 2.0, range, subject);
    options.DimensionRange = std::pair{low, high};
}

void SetSetting(TParseState& state, const TOptionRow& row, std::string_view value) {
    SetParameterSetting(state.Options.Params, row.Name, value);
}

// The options in the order usage and help list them.
const TOptionRow OptionRows[] = {
    {"--size", "WxH", "", "image size, at most 8192x8192 (default 400x300)",
     [](TParseState& state, const TOptionRow&, std::string_view value) {
         ParseSize(value, state.Options);
     }},
    {"--seed", "N", "0 to 86399999, the milliseconds of a day",
     "clock value of the first coefficient draw, 0 to 86399999 milliseconds\n"
     "after midnight (default: the time of day); each further draw takes\n"
     "the next millisecond, and midnight is followed by 0",
     [](TParseState& state, const TOptionRow& row, std::string_view value) {
         state.Options.Seed = ParseInRange<std::uint32_t>(
             value, row.Name, 0, TFractalEngine::MillisecondsPerDay - 1, row.MustBe());
     }},
    {"--steps", "N", "1 to 4611686018427387904",
     "steps of the plotting phase, all orbits together, 1 to 2^62, before\n"
     "the run ends (default 2000000); an orbit and its shadow may both step\n"
     "at the last check, so an orbit's count can exceed its share by one",
     [](TParseState& state, const TOptionRow& row, std::string_view value) {
         state.Options.Steps =
             ParseInRange<std::int64_t>(value, row.Name, 1, MaxSteps, row.MustBe());
         state.StepsGiven = true;
     }},
    {"--density", "D", "greater than 0 and at most 100000",
     "plotting steps per pixel instead of --steps: a larger picture keeps\n"
     "the look of a smaller one (D x width x height steps)",
     [](TParseState& state, const TOptionRow& row, std::string_view value) {
         state.DensityText = value;
         state.Density = ParseNumber<double>(value, row.Name);
         if (!(*state.Density > 0.0 && *state.Density <= TRenderSettings::MaxDensity))
             throw OutOfRange(std::string(row.Name) + " " + std::string(value), row.MustBe());
     }},
    {"--supersample", "N", "1 to 4",
     "render N x N sub-pixels with N x N times the steps for each pixel\n"
     "and average them: smoother edges, the same look (default 1)",
     [](TParseState& state, const TOptionRow& row, std::string_view value) {
         state.Options.Supersample =
             ParseInRange<int>(value, row.Name, 1, TRenderSettings::MaxSupersample, row.MustBe());
     }},
    {"--threads", "N", "0 to 256",
     "threads that run the orbits; 0 takes every core (default 1). The\n"
     "picture does not depend on it: it depends on the orbits",
     [](TParseState& state, const TOptionRow& row, std::string_view value) {
         int& threads = state.Options.Threads;
         threads = ParseInRange<int>(value, row.Name, 0, 256, row.MustBe());
         if (threads == 0)
             threads = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
     }},
    {"--orbits", "K", "1 to 65536",
     "independent orbits on the same coefficient set, each with a random\n"
     "stream of its own, sharing the steps and merged at the end (default:\n"
     "1 with one thread, the window's orbit; 16 with more)",
     [](TParseState& state, const TOptionRow& row, std::string_view value) {
         state.Options.Orbits =
             ParseInRange<int>(value, row.Name, 1, TRenderSettings::MaxOrbits, row.MustBe());
     }},
    {"--params", "FILE", "",
     "render the coefficient set, settings, view and size of a parameter\n"
     "file (*.quarn.json); the other options change single settings of it.\n"
     "The set is kept: if it fails its warm-up, the run ends with exit code 1",
     // Loaded before the other options, wherever it stands.
     [](TParseState&, const TOptionRow&, std::string_view) {}},
    {"--write-params", "FILE", "", "write the set the run used to a parameter file",
     [](TParseState& state, const TOptionRow&, std::string_view value) {
         state.Options.WriteParamsFile = std::string(value);
         if (value.empty())
             throw ERenderUsage("--write-params needs a file name");
     }},
    {"--view", "CX,CY,M", "", "centre and magnification (default 0,0,0.5)",
     [](TParseState& state, const TOptionRow& row, std::string_view value) {
         const std::vector<double> view = ParseDoubles(value, row.Name, 3);
         if (!(view[2] > 0.0))
             throw OutOfRange(std::string(row.Name) + " " + std::string(value),
                              "the magnification must be greater than 0");
         state.Options.CenterX = view[0];
         state.Options.CenterY = view[1];
         state.Options.Magnification = view[2];
     }},
    {"--fit", "", "",
     "choose centre and magnification so that the set's attractor fills\n"
     "the picture with a 5% margin (replaces --view)",
     [](TParseState& state, const TOptionRow&, std::string_view) { state.Options.Fit = true; }},
    {"--maps", "LIST", "", "lat01,lat02,ifs01,ifs02,at01,at02, at least one (default ifs01)",
     SetSetting},
    {"--rotate", "LIST", "", "maps whose rotation is on (same names)", SetSetting},
    {"--variations", "LIST", "", "rotational,sinusoidal,spherical,swirl,horseshoe,polar,bent",
     SetSetting},
    {"--weight", "W", "", "variation weight, 0 to 0.25 (default 0.05)", SetSetting},
    {"--intensity", "N", "", "hit count per plotted point, 0 to 65000 (default 40)", SetSetting},
    {"--rgb", "R,G,B", "", "colour factors, each 0 to 1 (default 0.7,0.8,0.9)", SetSetting},
    {"--white", "", "", "white background, inverted colours", SetSetting},
    {"--linear", "", "", "linear brightness instead of the square root", SetSetting},
    {"--transparent", "", "",
     "pixels no orbit reached are transparent (PNG and TIFF only); with\n"
     "--supersample, the share of sub-pixels reached is the opacity",
     [](TParseState& state, const TOptionRow&, std::string_view) {
         state.Options.Transparent = true;
     }},
    {"--tick-every", "N", "at least 1", "loop passes per display tick, at least 1 (default 250000)",
     [](TParseState& state, const TOptionRow& row, std::string_view value) {
         state.Options.TickEvery = ParseInRange<std::int64_t>(
             value, row.Name, 1, std::numeric_limits<std::int64_t>::max(), row.MustBe());
     }},
    {"--out", "FILE", "",
     "save the picture; the extension picks the format: bmp, dib, jpg,\n"
     "jpeg, jif, png, pbm, pgm, ppm, tga, tif, tiff",
     [](TParseState& state, const TOptionRow&, std::string_view value) {
         state.Options.OutFile = std::string(value);
         if (value.empty())
             throw ERenderUsage("--out needs a file name");
     }},
    {"--colors", "RES", "",
     "colour resolution to save with: bw, 2, 16gray, 16sys, 16, 256gray,\n"
     "256 or true (default: the picture's 16.7 million colours)",
     [](TParseState& state, const TOptionRow& row, std::string_view value) {
         state.Options.Colors = ParseChoice(value, row.Name, ColorResolutionNames);
     }},
    {"--jpeg-quality", "Q", "0 to 100", "JPEG quality 0 to 100 (default 80)",
     [](TParseState& state, const TOptionRow& row, std::string_view value) {
         state.Options.Writer.JPEGWriteQuality =
             static_cast<std::uint8_t>(ParseInRange<int>(value, row.Name, 0, 100, row.MustBe()));
     }},
    {"--jpeg-dct", "int|fast|float", "", "JPEG DCT method (default float)",
     [](TParseState& state, const TOptionRow& row, std::string_view value) {
         state.Options.Writer.JPEGWriteDCTMethod = ParseChoice(value, row.Name, DCTMethodNames);
     }},
    {"--jpeg-progressive", "", "", "progressive JPEG",
     [](TParseState& state, const TOptionRow&, std::string_view) {
         state.Options.Writer.JPEGWriteProgressive = true;
     }},
    {"--pnm-binary", "", "", "binary PBM, PGM and PPM instead of ASCII",
     [](TParseState& state, const TOptionRow&, std::string_view) {
         state.Options.Writer.PXMWriteBinary = true;
     }},
    {"--tiff-compression", "none|packbits", "", "TIFF compression (default none)",
     [](TParseState& state, const TOptionRow& row, std::string_view value) {
         state.Options.Writer.TIFFWriteCompression = ParseChoice(value, row.Name, CompressionNames);
     }},
    {"--tiff-byte-order", "ii|mm", "",
     "TIFF byte order, little-endian ii (default) or big-endian mm",
     [](TParseState& state, const TOptionRow& row, std::string_view value) {
         state.Options.Writer.TIFFWriteMotorolaOrder = ParseChoice(value, row.Name, ByteOrderNames);
     }},
    {"--tiff-cmyk", "", "", "true colour TIFF as CMYK instead of RGB",
     [](TParseState& state, const TOptionRow&, std::string_view) {
         state.Options.Writer.TIFFWriteCMYK = true;
     }},
    {"--tiff-white-is-zero", "", "", "grey TIFF as WhiteIsZero instead of BlackIsZero",
     [](TParseState& state, const TOptionRow&, std::string_view) {
         state.Options.Writer.TIFFWriteWhiteIsZero = true;
     }},
    {"--tiff-resolution", "UNIT:XN/XD,YN/YD", "",
     "TIFF resolution, UNIT none, inch or cm (default inch:300/1,300/1)",
     [](TParseState& state, const TOptionRow&, std::string_view value) {
         ParseTiffResolution(value, state.Options.Writer);
     }},
    {"--no-gamma", "", "", "no gamma chunk in PNG files",
     [](TParseState& state, const TOptionRow&, std::string_view) {
         state.Options.Writer.WriteGamma = false;
     }},
    {"--gamma", "G", "greater than 0",
     "screen gamma, greater than 0; PNG stores 1/G, which takes G from\n"
     "0.00016 to 6451 (default 1.8)",
     [](TParseState& state, const TOptionRow& row, std::string_view value) {
         state.Options.ScreenGamma = ParsePositive<long double>(value, row);
     }},
    {"--checkpoint", "FILE", "",
     "save the render's whole state to FILE every --checkpoint-every\n"
     "seconds, on SIGINT, SIGTERM and SIGHUP (then exit), and once done;\n"
     "--resume goes on from it. A render saved has 16 orbits by default",
     [](TParseState& state, const TOptionRow& row, std::string_view value) {
         state.Options.CheckpointFile = NonEmptyName(row, value);
     }},
    {"--checkpoint-every", "SECONDS", "greater than 0", "seconds between checkpoints (default 300)",
     [](TParseState& state, const TOptionRow& row, std::string_view value) {
         state.Options.CheckpointEvery = ParsePositive<double>(value, row);
     }},
    {"--resume", "FILE", "",
     "go on with the render a --checkpoint or --state-out FILE holds, to\n"
     "its own steps or to more given by --steps or --density; its set,\n"
     "view, size and orbits cannot be changed",
     [](TParseState& state, const TOptionRow& row, std::string_view value) {
         state.Options.ResumeFile = NonEmptyName(row, value);
     }},
    {"--orbit-range", "A:B", "",
     "render only the orbits A to B-1 of the --orbits K, for --merge later;\n"
     "needs --state-out, gives no picture",
     [](TParseState& state, const TOptionRow& row, std::string_view value) {
         ParseOrbitRange(value, row, state.Options);
     }},
    {"--state-out", "FILE", "", "write the render's state once its orbits are done",
     [](TParseState& state, const TOptionRow& row, std::string_view value) {
         state.Options.StateOutFile = NonEmptyName(row, value);
     }},
    {"--merge", "FILE...", "",
     "add up the states of a render's shares (--orbit-range) and finish\n"
     "it: every orbit must be there once, all of the same render",
     [](TParseState& state, const TOptionRow& row, std::string_view value) {
         state.Options.MergeFiles.push_back(NonEmptyName(row, value));
     }},
    {"--gallery", "COLSxROWS", "",
     "a contact sheet of COLS x ROWS fresh sets (from --seed or the clock,\n"
     "with the usual settings) into --out, each cell's numbers under it:\n"
     "Lyapunov estimate, correlation dimension, coverage in the default\n"
     "view and fitted (default density 30)",
     [](TParseState& state, const TOptionRow& row, std::string_view value) {
         const auto [columns, rows] = ParseGrid(value, row.Name, 1, 64);
         state.Options.GalleryColumns = columns;
         state.Options.GalleryRows = rows;
     }},
    {"--cell", "WxH", "", "the size of each cell's picture (default 160x120)",
     [](TParseState& state, const TOptionRow& row, std::string_view value) {
         const auto [width, height] = ParseGrid(value, row.Name, 16, 1024);
         state.Options.CellWidth = width;
         state.Options.CellHeight = height;
     }},
    {"--min-coverage", "F", "0 to 1",
     "a sheet's sets must reach at least this share of their frame",
     [](TParseState& state, const TOptionRow& row, std::string_view value) {
         state.Options.MinCoverage = ParseInRange<double>(value, row.Name, 0.0, 1.0, row.MustBe());
     }},
    {"--dimension", "A:B", "", "a sheet's sets must have a correlation dimension of A to B",
     [](TParseState& state, const TOptionRow& row, std::string_view value) {
         ParseDimensionRange(value, row, state.Options);
     }},
    {"--write-params-dir", "DIR", "",
     "write each cell's parameter file and an index (index.json) of the\n"
     "cells, their clocks and numbers into DIR",
     [](TParseState& state, const TOptionRow& row, std::string_view value) {
         state.Options.ParamsDir = NonEmptyName(row, value);
     }},
    {"--frames", "N", "1 to 100000",
     "render an animation of N frames into --out: a picture each, numbered\n"
     "by a %05d in the name (frame%05d.png), or a video (mp4, webm, gif).\n"
     "Needs --seed or --params; frames already done are kept",
     [](TParseState& state, const TOptionRow& row, std::string_view value) {
         state.Options.Frames = ParseInRange<int>(value, row.Name, 1, 100000, row.MustBe());
     }},
    {"--fps", "F", "1 to 240", "frames per second of a video (default 24)",
     [](TParseState& state, const TOptionRow& row, std::string_view value) {
         state.Options.FramesPerSecond = ParseInRange<int>(value, row.Name, 1, 240, row.MustBe());
     }},
    {"--tick-step", "K", "1 to 2147483647",
     "frame t holds the rotations at the angles of display tick t x K",
     [](TParseState& state, const TOptionRow& row, std::string_view value) {
         state.Options.TickStep = ParseInRange<std::int64_t>(
             value, row.Name, 1, std::numeric_limits<std::int32_t>::max(), row.MustBe());
     }},
    {"--loop", "", "",
     "the last frame leads back into the first: the rotations turn through\n"
     "one period over the frames, and --to goes there and back",
     [](TParseState& state, const TOptionRow&, std::string_view) { state.Options.Loop = true; }},
    {"--to", "FILE", "",
     "the frames go over from the run's set to a parameter file's set:\n"
     "coefficients and settings eased in and out, the view's centre\n"
     "linearly and its magnification geometrically",
     [](TParseState& state, const TOptionRow& row, std::string_view value) {
         state.Options.MorphToFile = NonEmptyName(row, value);
         try {
             state.Options.MorphTo = TParameterFile::Load(state.Options.MorphToFile);
         } catch (const EParameterFile& error) {
             throw ERenderUsage(std::string("--to: ") + error.what());
         }
     }},
    {"--crf", "Q", "0 to 63",
     "constant quality of an mp4 or webm video, 0 best (default 18 for\n"
     "mp4, 24 for webm)",
     [](TParseState& state, const TOptionRow& row, std::string_view value) {
         state.Options.Crf = ParseInRange<int>(value, row.Name, 0, 63, row.MustBe());
     }},
    {"--bitrate", "BITS", "1000 to 1000000000",
     "bit rate of an mp4 or webm video in bits per second, instead of --crf",
     [](TParseState& state, const TOptionRow& row, std::string_view value) {
         state.Options.BitRate =
             ParseInRange<std::int64_t>(value, row.Name, 1000, 1000000000, row.MustBe());
     }},
    {"--stats", "", "", "print one JSON line of run figures",
     [](TParseState& state, const TOptionRow&, std::string_view) { state.Options.Stats = true; }},
    {"--quiet", "", "", "no progress line",
     [](TParseState& state, const TOptionRow&, std::string_view) { state.Options.Quiet = true; }},
    {"--help", "", "", "this text, wherever it stands on the line",
     [](TParseState& state, const TOptionRow&, std::string_view) { state.Options.Help = true; }},
};

const TOptionRow* FindOption(std::string_view name) {
    for (const TOptionRow& row : OptionRows)
        if (row.Name == name)
            return &row;
    return nullptr;
}

// The options' names and values as the user writes them: "--size WxH".
std::string Spelling(const TOptionRow& row) {
    return std::string(row.Name) + (row.Value.empty() ? "" : " " + std::string(row.Value));
}

} // namespace

std::string RenderUsageLine() {
    std::string line = "usage: quarn-render";
    for (const TOptionRow& row : OptionRows)
        line += " [" + Spelling(row) + "]";
    return line;
}

std::string RenderHelpText() {
    // Help lines start in this column; a longer spelling has its help on the next line.
    constexpr std::size_t HelpColumn = 21;
    std::string text = "Renders one fractal picture without windows.\n";
    for (const TOptionRow& row : OptionRows) {
        std::string spelling = "  " + Spelling(row);
        if (spelling.size() + 2 > HelpColumn)
            spelling += "\n" + std::string(HelpColumn, ' ');
        else
            spelling.resize(HelpColumn, ' ');
        text += spelling;
        for (const std::string_view line : SplitList(row.Help, '\n'))
            text += (line.data() == row.Help.data() ? "" : std::string(HelpColumn, ' ')) +
                    std::string(line) + "\n";
    }
    return text + "Everything is checked before the run starts; a bad argument ends the program "
                  "with exit\ncode 2. A map combination that never settles gives up after "
                  "1000000 coefficient sets in\na row were rejected: exit code 1, no picture "
                  "written.\n";
}

// The steps the density, the parameter file or --steps give, checked against the orbits.
void ResolveSteps(TParseState& state, std::optional<double> fileDensity) {
    TRenderOptions& options = state.Options;
    // A parameter file's own density, when neither --steps nor --density say otherwise.
    if (fileDensity && !state.StepsGiven && !state.Density) {
        state.Density = fileDensity;
        state.DensityText = "of the parameter file";
    }
    if (state.Density) {
        if (state.StepsGiven)
            throw ERenderUsage("--steps and --density both set the number of steps: give one");
        const double steps = std::round(*state.Density * options.Width * options.Height);
        if (steps < 1.0 || steps > static_cast<double>(MaxSteps))
            throw OutOfRange("--density " + state.DensityText + " at " +
                                 std::to_string(options.Width) + "x" +
                                 std::to_string(options.Height),
                             "it must give 1 to 2^62 steps");
        options.Steps = static_cast<std::int64_t>(steps);
    }
    const std::int64_t subPixels = std::int64_t{options.Supersample} * options.Supersample;
    if (options.Steps > MaxSteps / subPixels)
        throw OutOfRange("--supersample " + std::to_string(options.Supersample) + " with " +
                             std::to_string(options.Steps) + " steps",
                         "it must give at most 2^62 steps");
    // Every orbit plots at least one point.
    if (options.Steps < options.OrbitCount())
        throw OutOfRange("--orbits " + std::to_string(options.OrbitCount()),
                         "each orbit needs at least one step of --steps");
}

// A sheet draws fresh sets at its cells' size; with density 30 unless told otherwise.
void CheckGalleryOptions(const std::vector<std::string>& args, TParseState& state) {
    TRenderOptions& options = state.Options;
    constexpr std::string_view NotWithGallery[] = {
        "--size",       "--params",    "--resume",       "--merge",      "--orbit-range",
        "--checkpoint", "--state-out", "--write-params", "--transparent"};
    for (const std::string& arg : args)
        if (std::find(std::begin(NotWithGallery), std::end(NotWithGallery), arg) !=
            std::end(NotWithGallery))
            throw ERenderUsage(arg + " does not go with --gallery, which draws fresh sets at the "
                                     "size --cell gives");
    if (options.OutFile.empty())
        throw ERenderUsage("--gallery needs --out FILE for the sheet");
    options.Width = options.CellWidth;
    options.Height = options.CellHeight;
    if (!state.StepsGiven && !state.Density) {
        state.Density = 30.0;
        state.DensityText = "30 of the sheet's cells";
    }
}

// Options that decide what is rendered: a render taken up from a state has them from there.
constexpr std::string_view OptionsOfTheRender[] = {
    "--size", "--seed",  "--supersample", "--orbits",      "--params",     "--view",
    "--fit",  "--maps",  "--rotate",      "--variations",  "--weight",     "--intensity",
    "--rgb",  "--white", "--linear",      "--transparent", "--tick-every", "--orbit-range"};

void CheckRenderFromState(const std::vector<std::string>& args, TParseState& state) {
    TRenderOptions& options = state.Options;
    if (!options.ResumeFile.empty() && !options.MergeFiles.empty())
        throw ERenderUsage("--resume and --merge both take up saved states: give one");
    for (const std::string& arg : args)
        if (std::find(std::begin(OptionsOfTheRender), std::end(OptionsOfTheRender), arg) !=
            std::end(OptionsOfTheRender))
            throw ERenderUsage(arg + " cannot change a render taken up from a state: its set, " +
                               "view, size and orbits are the state's");
    if (state.StepsGiven && state.Density)
        throw ERenderUsage("--steps and --density both set the number of steps: give one");
    options.StepsGiven = state.StepsGiven;
    options.Density = state.Density;
}

void CheckStateOptions(const TRenderOptions& options) {
    if (options.SavesState && options.Orbits == 1)
        throw ERenderUsage("--orbits 1 is the window's single orbit, whose state cannot be "
                           "saved: give --orbits 2 or more");
    if (options.EndOrbit == 0)
        return;
    if (options.StateOutFile.empty() && options.CheckpointFile.empty())
        throw ERenderUsage("--orbit-range renders only some of the orbits: give --state-out "
                           "FILE to keep them for --merge");
    if (!options.OutFile.empty())
        throw ERenderUsage("--orbit-range gives no picture: leave out --out and --merge the "
                           "states of all the orbits");
    if (options.EndOrbit > options.OrbitCount())
        throw OutOfRange("--orbit-range " + std::to_string(options.FirstOrbit) + ":" +
                             std::to_string(options.EndOrbit),
                         "the render has " + std::to_string(options.OrbitCount()) +
                             " orbits (--orbits)");
}

// An animation renders a set that stays the same from frame to frame, with a fixed number of
// orbits so that no frame depends on the threads, into numbered pictures or a video.
void CheckAnimationOptions(const std::vector<std::string>& args, TRenderOptions& options) {
    constexpr std::string_view NotWithFrames[] = {
        "--gallery",     "--resume", "--merge",       "--checkpoint",  "--state-out",
        "--orbit-range", "--fit",    "--transparent", "--write-params"};
    for (const std::string& arg : args)
        if (std::find(std::begin(NotWithFrames), std::end(NotWithFrames), arg) !=
            std::end(NotWithFrames))
            throw ERenderUsage(arg + " does not go with --frames");
    if (!options.Seed && !options.KeepCoefficients)
        throw ERenderUsage("--frames needs a set that stays from frame to frame: give --seed or "
                           "--params");
    if (options.OutFile.empty())
        throw ERenderUsage("--frames needs --out for the frames or the video");
    const std::string extension = FileNameExtension(options.OutFile);
    const bool video = TVideoEncoder::Handles(extension);
    if (!video && !TFrameNames::Parse(options.OutFile))
        throw ERenderUsage("--out " + options.OutFile +
                           ": the frames' names need one frame number, %d or %05d (frame%05d.png), "
                           "or a video (" +
                           TVideoEncoder::Extensions() + ")");
    if ((options.Crf || options.BitRate) && (!video || extension == "gif"))
        throw ERenderUsage("--crf and --bitrate set the quality of an mp4 or webm video");
    if (options.Crf && options.BitRate)
        throw ERenderUsage("--crf and --bitrate both set the quality: give one");
    if (video && options.Colors)
        throw ERenderUsage("--colors does not go with a video; a gif has 256 colours anyway");
    if (options.Loop && options.TickStep)
        throw ERenderUsage("--loop chooses the tick step itself: leave out --tick-step");
    const bool turns = TAnimationPlan::Turns(options.Params);
    if ((options.TickStep || options.Loop) && !turns && !options.MorphTo)
        throw ERenderUsage(std::string(options.Loop ? "--loop" : "--tick-step") +
                           ": no rotation turns (--rotate names a map of --maps) and there is "
                           "no --to set");
    if (!options.TickStep && !options.Loop && !options.MorphTo)
        throw ERenderUsage("--frames: every frame would be the same; give --tick-step, --loop "
                           "or --to");
    if (options.TickStep &&
        *options.TickStep > std::numeric_limits<std::int32_t>::max() / options.Frames)
        throw OutOfRange("--tick-step " + std::to_string(*options.TickStep) + " with --frames " +
                             std::to_string(options.Frames),
                         "the last frame's tick must be at most 2147483647");
    if (options.Loop && turns && TAnimationPlan::RotationPeriod(options.Params) == 0)
        throw ERenderUsage("--loop: the rotations never come back to their start");
    if (!options.MorphToFile.empty() && options.MorphToFile == options.OutFile)
        throw ERenderUsage("--out names the file --to reads");
}

TRenderOptions ParseRenderOptions(const std::vector<std::string>& args) {
    TRenderOptions options;
    TParseState state{options, false, std::nullopt, {}};
    const std::optional<std::string> paramsFile = ParamsFileOf(args);
    std::optional<double> fileDensity;
    if (paramsFile)
        fileDensity = LoadParameterFile(*paramsFile, options);
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& option = args[i];
        const TOptionRow* row = FindOption(option);
        if (!row)
            throw ERenderUsage("unknown argument \"" + option + "\"");
        std::string_view value;
        if (!row->Value.empty()) {
            if (i + 1 >= args.size())
                throw ERenderUsage(option + " needs a value");
            value = args[++i];
        }
        row->Apply(state, *row, value);
        // "FILE...": every argument up to the next option.
        if (row->Value.ends_with("..."))
            for (; i + 1 < args.size() && !args[i + 1].starts_with("--"); ++i)
                row->Apply(state, *row, args[i + 1]);
    }
    if (options.Gallery())
        CheckGalleryOptions(args, state);
    else
        for (const std::string_view sheetOnly :
             {"--cell", "--min-coverage", "--dimension", "--write-params-dir"})
            if (std::find(args.begin(), args.end(), sheetOnly) != args.end())
                throw ERenderUsage(std::string(sheetOnly) + " goes with --gallery");
    options.SavesState = !options.CheckpointFile.empty() || !options.StateOutFile.empty() ||
                         options.EndOrbit != 0 || options.TakesState();
    // A frame's picture must not depend on the threads: never the one-thread window orbit.
    if (options.Animation() && options.Orbits == 0)
        options.Orbits = TRenderSettings::DefaultOrbits;
    if (options.TakesState())
        CheckRenderFromState(args, state);
    else
        ResolveSteps(state, fileDensity);
    CheckStateOptions(options);
    if (options.Animation())
        CheckAnimationOptions(args, options);
    else
        for (const std::string_view animationOnly :
             {"--fps", "--tick-step", "--loop", "--to", "--crf", "--bitrate"})
            if (std::find(args.begin(), args.end(), animationOnly) != args.end())
                throw ERenderUsage(std::string(animationOnly) + " goes with --frames");
    if (!options.OutFile.empty())
        CheckOutputFile(options);
    if (options.Transparent)
        CheckTransparentOutput(options);
    if (!options.WriteParamsFile.empty())
        CheckFileToWrite(options.WriteParamsFile, "--write-params " + options.WriteParamsFile);
    if (!options.CheckpointFile.empty())
        CheckFileToWrite(options.CheckpointFile, "--checkpoint " + options.CheckpointFile);
    if (!options.ParamsDir.empty())
        CheckFolderToWrite(options.ParamsDir, "--write-params-dir " + options.ParamsDir);
    if (!options.StateOutFile.empty())
        CheckFileToWrite(options.StateOutFile, "--state-out " + options.StateOutFile);
    CheckDistinctFiles(options, paramsFile);
    return options;
}

void CheckOutputOfState(const TRenderOptions& options, const TRenderSettings& state) {
    if (state.Transparent)
        CheckTransparentOutput(options);
    if (!options.OutFile.empty() && state.EndOrbit != 0)
        throw ERenderUsage("--out " + options.OutFile + ": the state holds only the " + "orbits " +
                           std::to_string(state.FirstOrbit) + " to " +
                           std::to_string(state.EndOrbit - 1) + ", which give no picture; " +
                           "--merge it with the others");
}
