#include "app/render/RenderOptions.h"

#include "engine/FractalEngine.h"
#include "engine/ParameterFile.h"
#include "engine/ParameterSettings.h"
#include "export/FileFormatWriters.h"
#include "export/Png.h"

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

const char* const RenderUsageLine =
    "usage: quarn-render [--size WxH] [--seed N] [--steps N] [--view CX,CY,M] [--maps LIST] "
    "[--rotate LIST] [--variations LIST] [--weight W] [--intensity N] [--rgb R,G,B] [--white] "
    "[--linear] [--tick-every N] [--out FILE] [--colors RES] [--jpeg-quality Q] "
    "[--jpeg-dct int|fast|float] [--jpeg-progressive] [--pnm-binary] "
    "[--tiff-compression none|packbits] [--tiff-byte-order ii|mm] [--tiff-cmyk] "
    "[--tiff-white-is-zero] [--tiff-resolution UNIT:XN/XD,YN/YD] [--no-gamma] [--gamma G] "
    "[--params FILE] [--write-params FILE] [--density D] [--threads N] [--stats] [--quiet] "
    "[--help]";

const char* const RenderHelpText =
    "Renders one fractal picture without windows.\n"
    "  --size WxH         image size, at most 8192x8192 (default 400x300)\n"
    "  --seed N           clock value of the first coefficient draw, 0 to 86399999 milliseconds\n"
    "                     after midnight (default: the time of day); each further draw takes\n"
    "                     the next millisecond, and midnight is followed by 0\n"
    "  --steps N          steps of the plotting phase, 1 to 2147479648, before the run ends\n"
    "                     (default 2000000); the orbit and its shadow may both step at the\n"
    "                     last check, so the count reached can exceed N by one\n"
    "  --density D        plotting steps per pixel instead of --steps: a larger picture keeps\n"
    "                     the look of a smaller one (D x width x height steps)\n"
    "  --threads N        independent orbits on the same coefficient set, one thread each,\n"
    "                     merged at the end; 0 takes every core (default 1)\n"
    "  --params FILE      render the coefficient set, settings, view and size of a parameter\n"
    "                     file (*.quarn.json); the other options change single settings of it.\n"
    "                     The set is kept: if it fails its warm-up, the run ends with exit code 1\n"
    "  --write-params FILE\n"
    "                     write the set the run used to a parameter file\n"
    "  --view CX,CY,M     centre and magnification (default 0,0,0.5)\n"
    "  --maps LIST        lat01,lat02,ifs01,ifs02,at01,at02, at least one (default ifs01)\n"
    "  --rotate LIST      maps whose rotation is on (same names)\n"
    "  --variations LIST  rotational,sinusoidal,spherical,swirl,horseshoe,polar,bent\n"
    "  --weight W         variation weight, 0 to 0.25 (default 0.05)\n"
    "  --intensity N      hit count per plotted point, 0 to 65000 (default 40)\n"
    "  --rgb R,G,B        colour factors, each 0 to 1 (default 0.7,0.8,0.9)\n"
    "  --white            white background, inverted colours\n"
    "  --linear           linear brightness instead of the square root\n"
    "  --tick-every N     loop passes per display tick, at least 1 (default 250000)\n"
    "  --out FILE         save the picture; the extension picks the format: bmp, dib, jpg,\n"
    "                     jpeg, jif, png, pbm, pgm, ppm, tga, tif, tiff\n"
    "  --colors RES       colour resolution to save with: bw, 2, 16gray, 16sys, 16, 256gray,\n"
    "                     256 or true (default: the picture's 16.7 million colours)\n"
    "  --jpeg-quality Q   JPEG quality 0 to 100 (default 80)\n"
    "  --jpeg-dct int|fast|float\n"
    "                     JPEG DCT method (default float)\n"
    "  --jpeg-progressive\n"
    "                     progressive JPEG\n"
    "  --pnm-binary       binary PBM, PGM and PPM instead of ASCII\n"
    "  --tiff-compression none|packbits\n"
    "                     TIFF compression (default none)\n"
    "  --tiff-byte-order ii|mm\n"
    "                     TIFF byte order, little-endian ii (default) or big-endian mm\n"
    "  --tiff-cmyk        true colour TIFF as CMYK instead of RGB\n"
    "  --tiff-white-is-zero\n"
    "                     grey TIFF as WhiteIsZero instead of BlackIsZero\n"
    "  --tiff-resolution UNIT:XN/XD,YN/YD\n"
    "                     TIFF resolution, UNIT none, inch or cm (default inch:300/1,300/1)\n"
    "  --no-gamma         no gamma chunk in PNG files\n"
    "  --gamma G          screen gamma, greater than 0; PNG stores 1/G, which takes G from\n"
    "                     0.00016 to 6451 (default 1.8)\n"
    "  --stats            print one JSON line of run figures\n"
    "  --quiet            no progress line\n"
    "  --help             this text, wherever it stands on the line\n"
    "Everything is checked before the run starts; a bad argument ends the program with exit\n"
    "code 2. A map combination that never settles gives up after 1000000 coefficient sets in\n"
    "a row were rejected: exit code 1, no picture written.\n";

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

// Sets the block's settings that `option` stands for; false when it names none of them.
template <typename TValue>
bool SetParameterSetting(TFractalParams& params, std::string_view option, TValue value) {
    for (const TFactorSetting& setting : FactorSettings)
        if (setting.Option == option) {
            SetFactors(params, option, value());
            return true;
        }
    for (const TFlagSetting& setting : FlagSettings)
        if (setting.Option == option) {
            if (setting.ListName.empty()) {
                params.*setting.Field = setting.OptionValue;
                return true;
            }
            const std::string_view list = value();
            // Without a map the point never moves, and every set would fail its warm-up.
            if (option == "--maps" && list.empty())
                throw ERenderUsage("--maps needs at least one map: " + ListNames(option));
            SetListedFlags(params, option, list);
            return true;
        }
    return false;
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

// Whatever would make the save fail for its name or the PNG gamma, found before the run, which
// may take minutes, rather than after it.
void CheckOutputFile(const TRenderOptions& options) {
    const std::string& name = options.OutFile;
    const std::string subject = "--out " + name;
    const std::string extension = FileNameExtension(name);
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
}

// The file's set, view and size become the defaults that the other options change.
void LoadParameterFile(const std::string& fileName, TRenderOptions& options) {
    TParameterFile file;
    try {
        file = TParameterFile::Load(fileName);
    } catch (const EParameterFile& error) {
        throw ERenderUsage(std::string("--params: ") + error.what());
    }
    options.Params = file.Params;
    options.Width = file.Params.ImageWidth;
    options.Height = file.Params.ImageHeight;
    options.CenterX = file.CenterX;
    options.CenterY = file.CenterY;
    options.Magnification = file.Magnification;
    options.FileClock = file.DrawClock;
    options.KeepCoefficients = true;
}

// The last --params of the line, whatever stands before it.
std::optional<std::string> ParamsFileOf(const std::vector<std::string>& args) {
    std::optional<std::string> fileName;
    for (std::size_t i = 0; i + 1 < args.size(); ++i)
        if (args[i] == "--params")
            fileName = args[++i];
    return fileName;
}

constexpr std::int32_t MaxSteps = std::numeric_limits<std::int32_t>::max() - 3999;

} // namespace

TRenderOptions ParseRenderOptions(const std::vector<std::string>& args) {
    TRenderOptions options;
    TFractalParams& params = options.Params;
    const std::optional<std::string> paramsFile = ParamsFileOf(args);
    if (paramsFile)
        LoadParameterFile(*paramsFile, options);
    bool stepsGiven = false;
    std::optional<double> density;
    std::string densityText;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& option = args[i];
        auto value = [&]() -> std::string_view {
            if (i + 1 >= args.size())
                throw ERenderUsage(option + " needs a value");
            return args[++i];
        };
        if (option == "--size") {
            ParseSize(value(), options);
        } else if (option == "--seed") {
            options.Seed = ParseInRange<std::uint32_t>(
                value(), option, 0, TFractalEngine::MillisecondsPerDay - 1,
                "--seed must be 0 to 86399999, the milliseconds of a day");
        } else if (option == "--steps") {
            // The step counter plots from 4000 on and stops at the largest 32-bit value.
            options.Steps = ParseInRange<std::int32_t>(value(), option, 1, MaxSteps,
                                                       "--steps must be 1 to 2147479648");
            stepsGiven = true;
        } else if (option == "--density") {
            densityText = value();
            density = ParseNumber<double>(densityText, option);
            if (!(*density > 0.0))
                throw OutOfRange("--density " + densityText, "--density must be greater than 0");
        } else if (option == "--threads") {
            options.Threads =
                ParseInRange<int>(value(), option, 0, 256, "--threads must be 0 to 256");
            if (options.Threads == 0)
                options.Threads =
                    static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
        } else if (option == "--params") {
            value(); // loaded before the other options
        } else if (option == "--write-params") {
            options.WriteParamsFile = std::string(value());
            if (options.WriteParamsFile.empty())
                throw ERenderUsage("--write-params needs a file name");
        } else if (option == "--view") {
            const std::string_view text = value();
            const std::vector<double> view = ParseDoubles(text, option, 3);
            if (!(view[2] > 0.0))
                throw OutOfRange(option + " " + std::string(text),
                                 "the magnification must be greater than 0");
            options.CenterX = view[0];
            options.CenterY = view[1];
            options.Magnification = view[2];
        } else if (option == "--tick-every") {
            options.TickEvery = ParseInRange<std::int64_t>(value(), option, 1,
                                                           std::numeric_limits<std::int64_t>::max(),
                                                           "--tick-every must be at least 1");
        } else if (option == "--out") {
            options.OutFile = std::string(value());
            if (options.OutFile.empty())
                throw ERenderUsage("--out needs a file name");
        } else if (option == "--colors") {
            options.Colors = ParseChoice(value(), option, ColorResolutionNames);
        } else if (option == "--jpeg-quality") {
            options.Writer.JPEGWriteQuality = static_cast<std::uint8_t>(
                ParseInRange<int>(value(), option, 0, 100, "--jpeg-quality must be 0 to 100"));
        } else if (option == "--jpeg-dct") {
            options.Writer.JPEGWriteDCTMethod = ParseChoice(value(), option, DCTMethodNames);
        } else if (option == "--jpeg-progressive") {
            options.Writer.JPEGWriteProgressive = true;
        } else if (option == "--pnm-binary") {
            options.Writer.PXMWriteBinary = true;
        } else if (option == "--tiff-compression") {
            options.Writer.TIFFWriteCompression = ParseChoice(value(), option, CompressionNames);
        } else if (option == "--tiff-byte-order") {
            options.Writer.TIFFWriteMotorolaOrder = ParseChoice(value(), option, ByteOrderNames);
        } else if (option == "--tiff-cmyk") {
            options.Writer.TIFFWriteCMYK = true;
        } else if (option == "--tiff-white-is-zero") {
            options.Writer.TIFFWriteWhiteIsZero = true;
        } else if (option == "--tiff-resolution") {
            ParseTiffResolution(value(), options.Writer);
        } else if (option == "--no-gamma") {
            options.Writer.WriteGamma = false;
        } else if (option == "--gamma") {
            const std::string_view text = value();
            const long double gamma =
                ParseNumber<long double>(text, option, "--gamma must be greater than 0");
            if (!(gamma > 0.0L))
                throw OutOfRange(option + " " + std::string(text),
                                 "--gamma must be greater than 0");
            options.ScreenGamma = gamma;
        } else if (option == "--stats") {
            options.Stats = true;
        } else if (option == "--quiet") {
            options.Quiet = true;
        } else if (option == "--help") {
            options.Help = true;
        } else if (!SetParameterSetting(params, option, value)) {
            throw ERenderUsage("unknown argument \"" + option + "\"");
        }
    }
    if (density) {
        if (stepsGiven)
            throw ERenderUsage("--steps and --density both set the number of steps: give one");
        const double steps = std::round(*density * options.Width * options.Height);
        if (steps < 1.0 || steps > MaxSteps)
            throw OutOfRange("--density " + densityText + " at " + std::to_string(options.Width) +
                                 "x" + std::to_string(options.Height),
                             "it must give 1 to 2147479648 steps");
        options.Steps = static_cast<std::int32_t>(steps);
    }
    // Every orbit plots at least one point.
    if (options.Steps < options.Threads)
        throw OutOfRange("--threads " + std::to_string(options.Threads),
                         "each orbit needs at least one step of --steps");
    if (!options.OutFile.empty())
        CheckOutputFile(options);
    if (!options.WriteParamsFile.empty())
        CheckFileToWrite(options.WriteParamsFile, "--write-params " + options.WriteParamsFile);
    CheckDistinctFiles(options, paramsFile);
    return options;
}
