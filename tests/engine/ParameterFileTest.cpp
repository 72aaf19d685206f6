#include "engine/ParameterFile.h"
#include "engine/BoundedJson.h"
#include "engine/FractalEngine.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <bit>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace {

TParameterFile UnusualSet() {
    TParameterFile file;
    TFractalParams& p = file.Params;
    p.Intensity = 64.5;
    p.VariationWeight = 0.035;
    p.RedFactor = 0.1;
    p.GreenFactor = 1.0;
    p.BlueFactor = 0.0;
    p.RotationStep = 0.3;
    p.RotationLimit() = 1.75;
    p.UseIFS01 = BoolFalse;
    p.UseLatoocarfian02 = BoolTrue;
    p.RotateAT02 = BoolTrue;
    p.UseBent = BoolTrue;
    p.WhiteBackground = BoolTrue;
    p.RootFilter = BoolFalse;
    p.ImageWidth = 8192;
    p.ImageHeight = 3;
    p.Tick = 2147483647;
    // Values whose shortest decimal forms are long or unusual.
    const double specials[] = {0.1 + 0.2,
                               -0.0,
                               5e-324,
                               2.2250738585072014e-308,
                               1.7976931348623157e308,
                               -1.0 / 3.0,
                               1e-17,
                               123456789.123456789};
    for (int k = 1; k <= 120; ++k)
        p.Coef(k) = k <= 8 ? specials[k - 1] : std::nextafter(2.0 * k / 121.0 - 1.0, 2.0);
    file.CenterX = -0.7;
    file.CenterY = 1e-300;
    file.Magnification = 12345.6789;
    file.DrawClock = 86399999;
    return file;
}

std::string ErrorOf(const std::string& text) {
    try {
        TParameterFile::FromJson(text);
    } catch (const EParameterFile& error) {
        return error.what();
    }
    return "no error";
}

// The text with the first occurrence of `from` replaced by `to`.
std::string Edited(std::string text, const std::string& from, const std::string& to) {
    const std::size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

} // namespace

TEST(ParameterFile, EverySettingReadsBackBitForBit) {
    const TParameterFile written = UnusualSet();
    const TParameterFile read = TParameterFile::FromJson(written.ToJson());
    const TFractalParams& a = written.Params;
    const TFractalParams& b = read.Params;
    for (int k = 0; k <= 120; ++k)
        EXPECT_EQ(std::bit_cast<std::uint64_t>(a.RotationLimitAndCoef[k]),
                  std::bit_cast<std::uint64_t>(b.RotationLimitAndCoef[k]))
            << k;
    EXPECT_EQ(std::memcmp(&a.Intensity, &b.Intensity,
                          offsetof(TFractalParams, Tick) - offsetof(TFractalParams, Intensity)),
              0)
        << "the settings from Intensity to WhiteBackground";
    EXPECT_EQ(b.RotationStep, 0.3);
    EXPECT_EQ(b.RootFilter, BoolFalse);
    EXPECT_EQ(b.ImageWidth, 8192);
    EXPECT_EQ(b.ImageHeight, 3);
    EXPECT_EQ(b.Tick, 2147483647);
    EXPECT_EQ(b.NewCoefficients, BoolFalse);
    EXPECT_EQ(read.CenterX, -0.7);
    EXPECT_EQ(read.CenterY, 1e-300);
    EXPECT_EQ(read.Magnification, 12345.6789);
    EXPECT_EQ(read.DrawClock, 86399999u);

    TParameterFile noClock = written;
    noClock.DrawClock.reset();
    EXPECT_FALSE(TParameterFile::FromJson(noClock.ToJson()).DrawClock.has_value());
    // Fields a later program may add are passed over.
    const std::string extended =
        Edited(written.ToJson(), "\"tick\"", "\"comment\": {\"made by\": [1, 2]}, \"tick\"");
    EXPECT_EQ(TParameterFile::FromJson(extended).Params.Tick, 2147483647);
}

TEST(ParameterFile, BadFilesAreRefusedWithTheFieldNamed) {
    const std::string good = UnusualSet().ToJson();
    const std::pair<std::string, std::string> cases[] = {
        {Edited(good, "\"Intensity\": 64.5,", ""), "the field \"settings.Intensity\" is missing"},
        {Edited(good, "\"Intensity\": 64.5", "\"Intensity\": \"64.5\""),
         "the field \"settings.Intensity\" must be a number"},
        {Edited(good, "\"Intensity\": 64.5", "\"Intensity\": 65001"),
         "the field \"settings.Intensity\" is out of range: it must be 0 to 65000"},
        {Edited(good, "\"VariationWeight\": 0.035", "\"VariationWeight\": -1e-9"),
         "the field \"settings.VariationWeight\" is out of range: it must be 0 to 0.25"},
        {Edited(good, "\"UseBent\": true", "\"UseBent\": 1"),
         "the field \"settings.UseBent\" must be true or false"},
        {Edited(good, "\"settings\": {", "\"settings\": [], \"x\": {"),
         "the field \"settings\" must be an object"},
        {Edited(good, "\"width\": 8192", "\"width\": 8193"),
         "the field \"image.width\" is out of range: it must be 1 to 8192"},
        {Edited(good, "\"width\": 8192", "\"width\": 400.5"),
         "the field \"image.width\" must be a whole number"},
        {Edited(good, "\"height\": 3", "\"height\": 18446744073709551615"),
         "the field \"image.height\" is out of range: it must be 1 to 8192"},
        {Edited(good, "\"height\": 3", "\"height\": -3"),
         "the field \"image.height\" is out of range: it must be 1 to 8192"},
        {Edited(good, "\"magnification\": 12345.6789", "\"magnification\": 0"),
         "the field \"view.magnification\" must be greater than 0"},
        {Edited(good, "\"clock\": 86399999", "\"clock\": 86400000"),
         "the field \"clock\" is out of range: it must be 0 to 86399999"},
        {Edited(good, "\"version\": 1", "\"version\": 2"),
         "the parameter file's version 2 is unknown; this program reads version 1"},
        {Edited(good, "\"version\": 1", "\"version\": \"1\""),
         "the parameter file's version \"1\" is unknown; this program reads version 1"},
        {Edited(good, "quarn-ifs parameters", "something else"),
         "not a parameter file: the field \"format\" must be \"quarn-ifs parameters\""},
        {Edited(good, "-0.0,", ""), "the field \"coefficients\" must be a list of 120 numbers"},
        {Edited(good, "-0.0,", "null,"), "the field \"coefficients[1]\" must be a number"},
        {"[1, 2, 3]", "not a parameter file: the document is not a JSON object"},
        {"{}", "the field \"format\" is missing"},
        {std::string(100, '[') + std::string(100, ']'),
         "not a parameter file: nested more than 8 levels deep"}};
    for (const auto& [text, message] : cases)
        EXPECT_EQ(ErrorOf(text), message);

    EXPECT_EQ(ErrorOf(Edited(good, "-0.0,", "NaN,")).rfind("not a parameter file: line ", 0), 0u);
    // Every cut of the file is refused as such.
    for (std::size_t length = 0; length + 1 < good.size(); length += 7)
        EXPECT_EQ(ErrorOf(good.substr(0, length)).rfind("not a parameter file: ", 0), 0u) << length;
}

TEST(ParameterFile, DamagedFilesNeverGetPastTheReader) {
    // Random damage: flipped bytes, bytes of JSON syntax, cut and doubled pieces. Each result
    // either reads or is refused with the reader's own exception; the sanitizers watch the rest.
    const std::string good = UnusualSet().ToJson();
    const char syntax[] = "{}[],:\"-+.eE0123456789tfn\\ ";
    std::mt19937 random(20261208);
    int refused = 0;
    for (int round = 0; round < 3000; ++round) {
        std::string text = good;
        const int edits = 1 + static_cast<int>(random() % 4);
        for (int e = 0; e < edits; ++e) {
            const std::size_t at = random() % text.size();
            switch (random() % 4) {
            case 0:
                text[at] = static_cast<char>(random() % 256);
                break;
            case 1:
                text[at] = syntax[random() % (sizeof syntax - 1)];
                break;
            case 2:
                text.erase(at, random() % 40);
                break;
            default:
                text.insert(at, text.substr(at / 2, random() % 60));
            }
            if (text.empty())
                text.push_back('{');
        }
        try {
            TParameterFile::FromJson(text);
        } catch (const EParameterFile&) {
            ++refused;
        }
    }
    EXPECT_GT(refused, 2000);
}

TEST(ParameterFile, LoadNamesTheFile) {
    const std::filesystem::path folder = std::filesystem::temp_directory_path();
    const std::string missing = (folder / "quarn-no-such-file.quarn.json").string();
    try {
        TParameterFile::Load(missing);
        FAIL();
    } catch (const EParameterFile& error) {
        EXPECT_EQ(std::string(error.what()),
                  "cannot open the parameter file \"" + missing + "\": No such file or directory");
    }
    const std::string name = (folder / "quarn-parameter-file-test.quarn.json").string();
    UnusualSet().Save(name);
    EXPECT_EQ(TParameterFile::Load(name).Params.ImageWidth, 8192);
    {
        std::FILE* file = std::fopen(name.c_str(), "w");
        std::fputs("{\"format\": 1}", file);
        std::fclose(file);
    }
    try {
        TParameterFile::Load(name);
        FAIL();
    } catch (const EParameterFile& error) {
        EXPECT_EQ(std::string(error.what()),
                  "the parameter file \"" + name +
                      "\": not a parameter file: the field \"format\" must be \"quarn-ifs "
                      "parameters\"");
    }
    std::filesystem::remove(name);
}

TEST(ParameterFile, HostileTextIsRefusedBrieflyWithThePlaceNamed) {
    const std::string good = UnusualSet().ToJson();
    const std::string huge(std::size_t{1} << 20, 'x');
    std::string manyValues = "[0";
    for (int i = 0; i < 20000; ++i)
        manyValues += ",0";
    manyValues += "]";
    struct TCase {
        std::string Text;
        std::string Start;
        std::string End;
    };
    const TCase cases[] = {
        {Edited(good, "\"center_x\": -0.7", "\"center_x\": 1e999"),
         "not a parameter file: the field \"view.center_x\" at line ",
         ": the number 1e999 is too large"},
        {Edited(good, "-0.0,", "-1e999,"),
         "not a parameter file: the field \"coefficients[1]\" at line ",
         ": the number -1e999 is too large"},
        {"{\"a\": [[0, [1, 1e400]]]}", "not a parameter file: the field \"a[0][1][1]\" at line 1",
         "the number 1e400 is too large"},
        {"{\"format\": \"" + huge, "not a parameter file: line 1, column 1048588: ", "\u2026"},
        {Edited(good, "\"version\": 1", "\"version\": \"" + huge + "\""),
         "the parameter file's version \"xxx", "\u2026 is unknown; this program reads version 1"},
        {"{\"" + huge + "\": 1e999}", "not a parameter file: the field \"xxx", "is too large"},
        {"{\"n\": " + std::string(std::size_t{1} << 20, '9') + "}",
         "not a parameter file: the field \"n\" at line 1, column ", "\u2026 is too large"},
        {Edited(good, "\"tick\"", "\"later\": " + manyValues + ", \"tick\""),
         "not a parameter file: more than 10000 values", ""}};
    for (const TCase& test : cases) {
        const std::string message = ErrorOf(test.Text);
        SCOPED_TRACE(message.substr(0, 300));
        EXPECT_EQ(message.rfind(test.Start, 0), 0u);
        EXPECT_TRUE(message.ends_with(test.End));
        EXPECT_LT(message.size(), 200u);
    }
    // An excerpt never splits a character.
    EXPECT_EQ(Excerpt("\u00e9\u00e9\u00e9", 3), "\u00e9\u2026");
    EXPECT_EQ(Excerpt("short", 5), "short");
}

TEST(ParameterFile, LoadReadsOnlyARegularFileWithinTheLimit) {
    namespace fs = std::filesystem;
    const fs::path folder = fs::temp_directory_path() / "quarn-parameter-file-kinds";
    fs::remove_all(folder);
    fs::create_directories(folder);
    const std::string pipe = (folder / "pipe.quarn.json").string();
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    // A real file padded to exactly the limit reads; one byte more is refused.
    const std::string good = UnusualSet().ToJson();
    const std::string atLimit = (folder / "at-limit.quarn.json").string();
    const std::string beyond = (folder / "beyond.quarn.json").string();
    std::ofstream(atLimit) << good << std::string(TParameterFile::MaxFileBytes - good.size(), ' ');
    std::ofstream(beyond) << good
                          << std::string(TParameterFile::MaxFileBytes + 1 - good.size(), ' ');
    ASSERT_EQ(fs::file_size(atLimit), TParameterFile::MaxFileBytes);
    EXPECT_EQ(TParameterFile::Load(atLimit).Params.ImageWidth, 8192);

    const std::pair<std::string, std::string> cases[] = {
        {folder.string(), "is a folder, not a parameter file"},
        {pipe, "is a pipe, not a parameter file"},
        {"/dev/zero", "is a device, not a parameter file"},
        {beyond, "is larger than the 4 MiB a parameter file may have"}};
    for (const auto& [name, reason] : cases) {
        try {
            TParameterFile::Load(name);
            ADD_FAILURE() << name;
        } catch (const EParameterFile& error) {
            EXPECT_EQ(std::string(error.what()), "the parameter file \"" + name + "\" " + reason);
        }
    }
    fs::remove_all(folder);
}
