#include "engine/ParameterFile.h"

#include "engine/BoundedJson.h"
#include "engine/FractalEngine.h"
#include "engine/ParameterSettings.h"
#include "export/FileDescriptor.h"
#include "export/FileKind.h"
#include "export/ReplacingFile.h"

#include <nlohmann/json.hpp>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <limits>
#include <sstream>
#include <utility>

namespace {

using nlohmann::json;
// Written in the order a reader of the file expects: what it is first, then the settings.
using TOrderedJson = nlohmann::ordered_json;
constexpr double Unlimited = std::numeric_limits<double>::max();

constexpr int CoefficientCount = 120;

// Reads the fields of one object, naming each by its path in the messages.
class TFieldReader {
public:
    TFieldReader(const json& object, std::string path) : FObject(object), FPath(std::move(path)) {}

    const json& Field(std::string_view name) const {
        const auto found = FObject.find(name);
        if (found == FObject.end())
            throw EParameterFile("the field \"" + Name(name) + "\" is missing");
        return *found;
    }
    bool Has(std::string_view name) const { return FObject.contains(name); }

    TFieldReader Object(std::string_view name) const {
        const json& value = Field(name);
        if (!value.is_object())
            throw WrongType(name, "an object");
        return TFieldReader(value, Name(name));
    }
    bool Bool(std::string_view name) const {
        const json& value = Field(name);
        if (!value.is_boolean())
            throw WrongType(name, "true or false");
        return value.get<bool>();
    }
    double Number(std::string_view name, double low = -Unlimited, double high = Unlimited) const {
        return CheckedNumber(Field(name), Name(name), low, high);
    }
    std::int64_t Integer(std::string_view name, std::int64_t low, std::int64_t high) const {
        const json& value = Field(name);
        if (!value.is_number_integer())
            throw WrongType(name, "a whole number");
        // Integers beyond 64 bits arrive as doubles and fail above; unsigned ones beyond the
        // signed range would wrap in get<std::int64_t>.
        if (value.is_number_unsigned() &&
            value.get<std::uint64_t>() > static_cast<std::uint64_t>(high))
            throw OutOfRange(Name(name), low, high);
        const std::int64_t number = value.get<std::int64_t>();
        if (number < low || number > high)
            throw OutOfRange(Name(name), low, high);
        return number;
    }
    std::string Name(std::string_view name) const {
        return FPath.empty() ? std::string(name) : FPath + "." + std::string(name);
    }

    static double CheckedNumber(const json& value, const std::string& name, double low,
                                double high) {
        if (!value.is_number())
            throw EParameterFile("the field \"" + name + "\" must be a number");
        const double number = value.get<double>();
        if (!std::isfinite(number) || number < low || number > high) {
            std::ostringstream range;
            range << "the field \"" << name << "\" is out of range";
            if (low != -Unlimited || high != Unlimited)
                range << ": it must be " << low << " to " << high;
            throw EParameterFile(range.str());
        }
        return number;
    }

private:
    EParameterFile WrongType(std::string_view name, const char* what) const {
        return EParameterFile("the field \"" + Name(name) + "\" must be " + what);
    }
    static EParameterFile OutOfRange(const std::string& name, std::int64_t low, std::int64_t high) {
        return EParameterFile("the field \"" + name + "\" is out of range: it must be " +
                              std::to_string(low) + " to " + std::to_string(high));
    }

    const json& FObject;
    std::string FPath;
};

json Parse(std::string_view text) {
    try {
        return ParseBoundedJson(text, {});
    } catch (const EBoundedJson& error) {
        throw EParameterFile(std::string("not a parameter file: ") + error.what());
    }
}

// The whole file through one descriptor: only a regular file within the size limit, so that a
// folder, a pipe that never ends or a device that never runs dry is refused at once.
std::string ReadParameterText(const std::string& fileName) {
    const auto failure = [&](const std::string& what) {
        return EParameterFile("the parameter file \"" + fileName + "\" " + what);
    };
    // Without O_NONBLOCK the open of a pipe waits for a writer.
    const TFileDescriptor file(
        ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (!file.IsOpen())
        throw EParameterFile("cannot open the parameter file \"" + fileName +
                             "\": " + std::strerror(errno));
    struct stat status {};
    if (::fstat(file.Get(), &status) != 0)
        throw failure(std::string("cannot be examined: ") + std::strerror(errno));
    if (!S_ISREG(status.st_mode))
        throw failure("is " + FileKind(status.st_mode) + ", not a parameter file");
    const std::string tooLarge = "is larger than the " +
                                 std::to_string(TParameterFile::MaxFileBytes >> 20) +
                                 " MiB a parameter file may have";
    if (static_cast<std::uint64_t>(status.st_size) > TParameterFile::MaxFileBytes)
        throw failure(tooLarge);
    // One byte more than the limit tells a file that grew since fstat.
    std::string text(static_cast<std::size_t>(status.st_size) + 1, '\0');
    std::size_t length = 0;
    for (;;) {
        if (length == text.size()) {
            if (length > TParameterFile::MaxFileBytes)
                throw failure(tooLarge);
            text.resize(std::min(length * 2 + 1, TParameterFile::MaxFileBytes + 1));
        }
        const ssize_t got = ::read(file.Get(), text.data() + length, text.size() - length);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            throw EParameterFile("cannot read the parameter file \"" + fileName +
                                 "\": " + std::strerror(errno));
        if (got == 0)
            break;
        length += static_cast<std::size_t>(got);
    }
    text.resize(length);
    return text;
}

} // namespace

std::string TParameterFile::ToJson() const {
    const TFractalParams& p = Params;
    TOrderedJson settings = TOrderedJson::object();
    for (const TFactorSetting& setting : FactorSettings)
        settings[std::string(setting.Name)] = p.*setting.Field;
    settings["RotationStep"] = p.RotationStep;
    for (const TFlagSetting& setting : FlagSettings)
        settings[std::string(setting.Name)] = p.*setting.Field != 0;

    TOrderedJson coefficients = TOrderedJson::array();
    for (int k = 1; k <= CoefficientCount; ++k)
        coefficients.push_back(p.Coef(k));

    TOrderedJson document = {
        {"format", FormatName},
        {"version", FormatVersion},
        {"settings", settings},
        {"rotation_limit", p.RotationLimit()},
        {"coefficients", coefficients},
        {"view", {{"center_x", CenterX}, {"center_y", CenterY}, {"magnification", Magnification}}},
        {"image", {{"width", p.ImageWidth}, {"height", p.ImageHeight}}},
        {"tick", p.Tick}};
    if (DrawClock)
        document["clock"] = *DrawClock;
    if (PlottedSteps)
        document["steps"] = *PlottedSteps;
    if (TickEvery)
        document["tick_every"] = *TickEvery;
    return document.dump(2) + "\n";
}

TParameterFile TParameterFile::FromJson(std::string_view text) {
    const json document = Parse(text);
    if (!document.is_object())
        throw EParameterFile("not a parameter file: the document is not a JSON object");
    const TFieldReader top(document, "");
    const json& format = top.Field("format");
    if (!format.is_string() || format.get<std::string>() != FormatName)
        throw EParameterFile("not a parameter file: the field \"format\" must be \"" +
                             std::string(FormatName) + "\"");
    const json& version = top.Field("version");
    if (!version.is_number_integer() || version.get<std::int64_t>() != FormatVersion)
        throw EParameterFile("the parameter file's version " + Excerpt(version.dump()) +
                             " is unknown; this program reads version " +
                             std::to_string(FormatVersion));

    TParameterFile file;
    TFractalParams& p = file.Params;
    const TFieldReader settings = top.Object("settings");
    for (const TFactorSetting& setting : FactorSettings)
        p.*setting.Field = settings.Number(setting.Name, setting.Low, setting.High);
    p.RotationStep = settings.Number("RotationStep");
    for (const TFlagSetting& setting : FlagSettings)
        p.*setting.Field = settings.Bool(setting.Name) ? BoolTrue : BoolFalse;
    p.RotationLimit() = top.Number("rotation_limit");

    const json& coefficients = top.Field("coefficients");
    if (!coefficients.is_array() || coefficients.size() != CoefficientCount)
        throw EParameterFile("the field \"coefficients\" must be a list of " +
                             std::to_string(CoefficientCount) + " numbers");
    for (int k = 1; k <= CoefficientCount; ++k)
        p.Coef(k) = TFieldReader::CheckedNumber(coefficients[k - 1],
                                                "coefficients[" + std::to_string(k - 1) + "]",
                                                -Unlimited, Unlimited);
    p.NewCoefficients = BoolFalse;

    const TFieldReader view = top.Object("view");
    file.CenterX = view.Number("center_x");
    file.CenterY = view.Number("center_y");
    file.Magnification = view.Number("magnification");
    if (!(file.Magnification > 0.0))
        throw EParameterFile("the field \"view.magnification\" must be greater than 0");
    const TFieldReader image = top.Object("image");
    p.ImageWidth = static_cast<std::int32_t>(image.Integer("width", 1, MaxImageSide));
    p.ImageHeight = static_cast<std::int32_t>(image.Integer("height", 1, MaxImageSide));
    p.Tick =
        static_cast<std::int32_t>(top.Integer("tick", 0, std::numeric_limits<std::int32_t>::max()));
    if (top.Has("clock"))
        file.DrawClock = static_cast<std::uint32_t>(
            top.Integer("clock", 0, TFractalEngine::MillisecondsPerDay - 1));
    if (top.Has("steps"))
        file.PlottedSteps = top.Integer("steps", 0, MaxPlottedSteps);
    if (top.Has("tick_every"))
        file.TickEvery = top.Integer("tick_every", 1, std::numeric_limits<std::int64_t>::max());
    return file;
}

void TParameterFile::Save(const std::string& fileName) const {
    TReplacingFile file(fileName);
    file.Stream() << ToJson();
    file.Commit();
}

TParameterFile TParameterFile::Load(const std::string& fileName) {
    const std::string text = ReadParameterText(fileName);
    try {
        return FromJson(text);
    } catch (const EParameterFile& error) {
        throw EParameterFile("the parameter file \"" + fileName + "\": " + error.what());
    }
}
