#include "app/render/RenderOptions.h"
#include "app/render/RenderCommand.h"
#include "engine/ParameterSettings.h"
#include "export/Png.h"
#include "image/StreamErrors.h"
#include "render/RenderJob.h"
#include "render/RenderOutput.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace {

TRenderOptions Parse(std::vector<std::string> args) {
    return ParseRenderOptions(args);
}

} // namespace

TEST(RenderOptions, DefaultsAreThoseOfANewDocument) {
    const TRenderOptions options = Parse({});
    EXPECT_EQ(options.Width, 400);
    EXPECT_EQ(options.Height, 300);
    EXPECT_FALSE(options.Seed.has_value());
    EXPECT_EQ(options.Steps, 2000000);
    EXPECT_EQ(options.Magnification, 0.5);
    EXPECT_EQ(options.TickEvery, 250000);
    EXPECT_TRUE(options.OutFile.empty());
    EXPECT_EQ(options.Params.UseIFS01, BoolTrue);
    EXPECT_EQ(options.Params.UseAT01, BoolFalse);
    EXPECT_EQ(options.Params.RootFilter, BoolTrue);
    EXPECT_EQ(options.Params.Intensity, 40.0);
}

TEST(RenderOptions, ReadsEveryFlag) {
    const TRenderOptions options =
        Parse({"--size",       "1024x768",    "--seed",   "86399999",   "--steps",      "10",
               "--view",       "0.5,-1.25,2", "--maps",   "lat02,at01", "--rotate",     "at01",
               "--variations", "swirl,bent",  "--weight", "0.25",       "--intensity",  "64",
               "--rgb",        "1,0,0.5",     "--white",  "--linear",   "--tick-every", "7",
               "--out",        "x.bmp",       "--stats",  "--quiet",    "--help"});
    EXPECT_EQ(options.Width, 1024);
    EXPECT_EQ(options.Height, 768);
    EXPECT_EQ(*options.Seed, 86399999u);
    EXPECT_EQ(options.Steps, 10);
    EXPECT_EQ(options.CenterX, 0.5);
    EXPECT_EQ(options.CenterY, -1.25);
    EXPECT_EQ(options.Magnification, 2.0);
    EXPECT_EQ(options.Params.UseIFS01, BoolFalse);
    EXPECT_EQ(options.Params.UseLatoocarfian02, BoolTrue);
    EXPECT_EQ(options.Params.UseAT01, BoolTrue);
    EXPECT_EQ(options.Params.RotateAT01, BoolTrue);
    EXPECT_EQ(options.Params.RotateIFS01, BoolFalse);
    EXPECT_EQ(options.Params.UseSwirl, BoolTrue);
    EXPECT_EQ(options.Params.UseBent, BoolTrue);
    EXPECT_EQ(options.Params.UsePolar, BoolFalse);
    EXPECT_EQ(options.Params.VariationWeight, 0.25);
    EXPECT_EQ(options.Params.Intensity, 64.0);
    EXPECT_EQ(options.Params.RedFactor, 1.0);
    EXPECT_EQ(options.Params.GreenFactor, 0.0);
    EXPECT_EQ(options.Params.BlueFactor, 0.5);
    EXPECT_EQ(options.Params.WhiteBackground, BoolTrue);
    EXPECT_EQ(options.Params.RootFilter, BoolFalse);
    EXPECT_EQ(options.TickEvery, 7);
    EXPECT_EQ(options.OutFile, "x.bmp");
    EXPECT_TRUE(options.Stats);
    EXPECT_TRUE(options.Quiet);
    EXPECT_TRUE(options.Help);
}

// Each setting of the table alone through its own option: a crossed field or a list option that
// leaves another flag set would show here.
TEST(RenderOptions, EverySettingOfTheTableHasItsOption) {
    for (const TFlagSetting& setting : FlagSettings) {
        SCOPED_TRACE(std::string(setting.Name));
        std::vector<std::string> args{std::string(setting.Option)};
        if (!setting.ListName.empty())
            args.emplace_back(setting.ListName);
        const TRenderOptions options = Parse(args);
        const TFractalParams defaults;
        for (const TFlagSetting& other : FlagSettings) {
            if (&other == &setting) {
                EXPECT_EQ(options.Params.*other.Field, setting.OptionValue);
            } else if (other.Option == setting.Option) {
                EXPECT_EQ(options.Params.*other.Field, BoolFalse) << other.Name;
            } else {
                EXPECT_EQ(options.Params.*other.Field, defaults.*other.Field) << other.Name;
            }
        }
    }
    for (const TFactorSetting& setting : FactorSettings) {
        SCOPED_TRACE(std::string(setting.Name));
        // The setting at its highest, the others that share its option at their lowest.
        std::string values;
        for (const TFactorSetting& other : FactorSettings)
            if (other.Option == setting.Option)
                values += (values.empty() ? "" : ",") +
                          std::to_string(&other == &setting ? other.High : other.Low);
        const TRenderOptions options = Parse({std::string(setting.Option), values});
        for (const TFactorSetting& other : FactorSettings) {
            if (other.Option == setting.Option) {
                EXPECT_EQ(options.Params.*other.Field, &other == &setting ? other.High : other.Low);
            }
        }
    }
}

TEST(RenderOptions, ReadsTheSaveFlags) {
    const TRenderOptions defaults = Parse({});
    EXPECT_FALSE(defaults.Colors.has_value());
    EXPECT_EQ(defaults.Writer.JPEGWriteQuality, 80);
    EXPECT_EQ(defaults.Writer.TIFFWriteResUnit, 1);
    EXPECT_TRUE(defaults.Writer.WriteGamma);
    EXPECT_EQ(defaults.ScreenGamma, 1.8L);

    const TRenderOptions options =
        Parse({"--colors", "16sys", "--jpeg-quality", "0", "--jpeg-dct", "fast",
               "--jpeg-progressive", "--pnm-binary", "--tiff-compression", "packbits",
               "--tiff-byte-order", "mm", "--tiff-cmyk", "--tiff-white-is-zero",
               "--tiff-resolution", "cm:0/3,2147483647/7", "--no-gamma", "--gamma", "2.2"});
    EXPECT_EQ(options.Colors, cr16SysColors);
    EXPECT_EQ(options.Writer.JPEGWriteQuality, 0);
    EXPECT_EQ(options.Writer.JPEGWriteDCTMethod, 1);
    EXPECT_TRUE(options.Writer.JPEGWriteProgressive);
    EXPECT_TRUE(options.Writer.PXMWriteBinary);
    EXPECT_EQ(options.Writer.TIFFWriteCompression, 32773);
    EXPECT_TRUE(options.Writer.TIFFWriteMotorolaOrder);
    EXPECT_TRUE(options.Writer.TIFFWriteCMYK);
    EXPECT_TRUE(options.Writer.TIFFWriteWhiteIsZero);
    EXPECT_EQ(options.Writer.TIFFWriteResUnit, 2);
    EXPECT_EQ(options.Writer.TIFFWriteXResNumerator, 0);
    EXPECT_EQ(options.Writer.TIFFWriteXResDenominator, 3);
    EXPECT_EQ(options.Writer.TIFFWriteYResNumerator, 2147483647);
    EXPECT_EQ(options.Writer.TIFFWriteYResDenominator, 7);
    EXPECT_FALSE(options.Writer.WriteGamma);
    EXPECT_EQ(options.ScreenGamma, 2.2L);

    const std::pair<const char*, TPGColorResolution> names[] = {
        {"bw", crBlackWhite}, {"2", cr2Colors},      {"16gray", cr16Grays},  {"16", cr16Colors},
        {"256", cr256Colors}, {"true", crTrueColor}, {"256gray", cr256Grays}};
    for (const auto& [name, resolution] : names)
        EXPECT_EQ(Parse({"--colors", name}).Colors, resolution) << name;
    EXPECT_EQ(Parse({"--jpeg-dct", "int"}).Writer.JPEGWriteDCTMethod, 0);
    EXPECT_EQ(Parse({"--jpeg-dct", "float"}).Writer.JPEGWriteDCTMethod, 2);
    EXPECT_EQ(Parse({"--tiff-compression", "none"}).Writer.TIFFWriteCompression, 1);
    EXPECT_FALSE(Parse({"--tiff-byte-order", "ii"}).Writer.TIFFWriteMotorolaOrder);
    EXPECT_EQ(Parse({"--tiff-resolution", "none:1/1,1/1"}).Writer.TIFFWriteResUnit, 0);
}

TEST(RenderOptions, RefusesBadArguments) {
    const std::vector<std::vector<std::string>> bad = {{"--size", "0x300"},
                                                       {"--size", "-4x300"},
                                                       {"--size", "8193x768"},
                                                       {"--size", "1024x8193"},
                                                       {"--size", "400"},
                                                       {"--size", "400x"},
                                                       {"--size", "ax300"},
                                                       {"--steps", "0"},
                                                       {"--steps", "4611686018427387905"},
                                                       {"--seed", "-1"},
                                                       {"--seed", "4294967296"},
                                                       {"--seed", "86400000"},
                                                       {"--maps", ""},
                                                       {"--weight", "0.2501"},
                                                       {"--weight", "-0.01"},
                                                       {"--weight", "100"},
                                                       {"--view", "0,0"},
                                                       {"--view", "0,0,0"},
                                                       {"--view", "0,0,inf"},
                                                       {"--maps", "ifs03"},
                                                       {"--rotate", "swirl"},
                                                       {"--variations", "linear"},
                                                       {"--rgb", "1,2,0"},
                                                       {"--intensity", "-1"},
                                                       {"--tick-every", "0"},
                                                       {"--weight", "nan"},
                                                       {"--out"},
                                                       {"--frobnicate"},
                                                       {"--size", "400x300junk"},
                                                       {"--colors", "65536"},
                                                       {"--colors", "BW"},
                                                       {"--jpeg-quality", "101"},
                                                       {"--jpeg-quality", "-1"},
                                                       {"--jpeg-quality", "256"},
                                                       {"--jpeg-dct", "slow"},
                                                       {"--tiff-compression", "lzw"},
                                                       {"--tiff-byte-order", "be"},
                                                       {"--tiff-resolution", "inch:300/0,300/1"},
                                                       {"--tiff-resolution", "inch:300/1,300/0"},
                                                       {"--tiff-resolution", "mm:300/1,300/1"},
                                                       {"--tiff-resolution", "300/1,300/1"},
                                                       {"--tiff-resolution", "inch:300/1"},
                                                       {"--tiff-resolution", "inch:-1/1,300/1"},
                                                       {"--tiff-resolution", "inch:300,300/1"},
                                                       {"--gamma", "0"},
                                                       {"--gamma", "-1.8"},
                                                       {"--gamma", "inf"},
                                                       {"--jpeg-quality"}};
    for (const std::vector<std::string>& args : bad)
        EXPECT_THROW(Parse(args), ERenderUsage) << args[0] << " " << args.back();

    try {
        Parse({"--size", "9000x100"});
        FAIL();
    } catch (const ERenderUsage& error) {
        EXPECT_EQ(std::string(error.what()),
                  "--size 9000x100 is out of range: the width must be 1 to 8192");
    }
    try {
        Parse({"--tiff-resolution", "cm:1/1,2/0"});
        FAIL();
    } catch (const ERenderUsage& error) {
        EXPECT_EQ(std::string(error.what()), "--tiff-resolution cm:1/1,2/0 is out of range: a "
                                             "denominator must be 1 to 2147483647");
    }
}

TEST(Renderer, SeededRunsRepeatAndStopAtTheRequestedPoints) {
    const TRenderOptions options =
        Parse({"--size", "120x90", "--seed", "12345", "--steps", "30000", "--maps", "ifs01,at02",
               "--tick-every", "1000", "--rotate", "ifs01"});
    TRenderJob first(options);
    TRenderJob second(options);
    const TRenderResult a = first.Run(nullptr);
    const TRenderResult b = second.Run(nullptr);
    EXPECT_EQ(a.Steps, 30000);
    EXPECT_GE(a.CoefficientSets, 1);
    EXPECT_EQ(a.CoefficientSets, b.CoefficientSets);
    EXPECT_EQ(a.Lyapunov, b.Lyapunov);
    std::ostringstream imageA, imageB;
    first.Image().SaveImageStream(imageA);
    second.Image().SaveImageStream(imageB);
    EXPECT_EQ(imageA.str(), imageB.str());
    // 120 x 90 has the proportions of the default 400 x 300 view: x from -14/3 to 14/3.
    EXPECT_NEAR(first.Params().ViewXMin, -14.0 / 3.0, 1e-12);
    EXPECT_NEAR(first.Params().ViewYMax, 3.5, 1e-12);

    const std::string json = RenderStatsJson(a);
    EXPECT_EQ(json.rfind("{\"steps\":30000,\"coefficient_sets\":", 0), 0u) << json;
    EXPECT_NE(json.find("\"steps_per_second\":"), std::string::npos);
}

TEST(Renderer, GivesUpOnMapsThatNeverSettle) {
    // Latoocarfian 01 followed by IFS 01 escapes or leaves the Lyapunov window every time.
    TRenderOptions options = Parse({"--size", "64x48", "--seed", "7", "--maps", "lat01,ifs01"});
    options.MaxFruitlessDraws = 500;
    TRenderJob renderer(options);
    try {
        renderer.Run(nullptr);
        FAIL();
    } catch (const std::runtime_error& error) {
        EXPECT_THAT(std::string(error.what()),
                    ::testing::MatchesRegex("no coefficient set was accepted after 500 draws "
                                            "\\(the last Lyapunov estimate was [-+.e0-9a-z]+; "
                                            "some map combinations never settle\\)"));
    }
    EXPECT_EQ(renderer.Params().StepCount < TFractalEngine::FirstPlotStep, true);

    // Draws that were rejected before a set settled do not count against a run that plots.
    options = Parse({"--size", "64x48", "--seed", "7", "--steps", "5000"});
    options.MaxFruitlessDraws = 1;
    TRenderJob settling(options);
    EXPECT_EQ(settling.Run(nullptr).Steps, 5000);
}

TEST(RenderOutput, WritesABmpFileOrNothing) {
    TRenderJob renderer(Parse({"--size", "5x3", "--seed", "1", "--steps", "100"}));
    renderer.Run(nullptr);
    const std::filesystem::path path =
        std::filesystem::temp_directory_path() / "quarn-render-test.bmp";
    WriteRenderedImage(renderer.Image(), path.string());
    std::ifstream file(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(file)),
                            std::istreambuf_iterator<char>());
    std::ostringstream expected;
    renderer.Image().SaveImageStream(expected);
    EXPECT_EQ(bytes, expected.str());
    EXPECT_EQ(bytes.substr(0, 2), "BM");
    std::filesystem::remove(path);

    EXPECT_THROW(WriteRenderedImage(renderer.Image(), "/nonexistent-folder/x.bmp"), EFCreateError);
}

TEST(RenderCommand, ExitCodesAndMessages) {
    std::ostringstream out, err;
    EXPECT_EQ(RunRenderCommand({"--size", "1024x0"}, out, err), 2);
    EXPECT_NE(err.str().find("the height must be 1 to 8192"), std::string::npos);
    EXPECT_NE(err.str().find("usage: quarn-render"), std::string::npos);
    EXPECT_TRUE(out.str().empty());

    // A folder that goes away during the run still fails the save.
    err.str("");
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / "quarn-render-vanishing";
    std::filesystem::create_directory(folder);
    TRenderOptions options = Parse(
        {"--size", "8x8", "--steps", "10", "--seed", "3", "--out", (folder / "x.bmp").string()});
    TRenderJob renderer(options);
    renderer.Run(nullptr);
    std::filesystem::remove(folder);
    EXPECT_THROW(WriteRenderedImage(renderer.Image(), options.OutFile), EFCreateError);

    err.str("");
    EXPECT_EQ(RunRenderCommand({"--steps", "10", "--seed", "3", "--stats", "--quiet"}, out, err),
              0);
    EXPECT_EQ(out.str().rfind("{\"steps\":10,", 0), 0u) << out.str();
    EXPECT_TRUE(err.str().empty());

    out.str("");
    EXPECT_EQ(RunRenderCommand({"--help"}, out, err), 0);
    EXPECT_EQ(out.str().rfind("usage: quarn-render", 0), 0u);
    const std::string usage = out.str().substr(0, out.str().find('\n'));
    const std::string help = out.str().substr(usage.size());
    for (const char* flag :
         {"--out", "--colors", "--jpeg-quality", "--jpeg-dct", "--jpeg-progressive", "--pnm-binary",
          "--tiff-compression", "--tiff-byte-order", "--tiff-cmyk", "--tiff-white-is-zero",
          "--tiff-resolution", "--no-gamma", "--gamma"}) {
        EXPECT_NE(usage.find(std::string("[") + flag), std::string::npos) << flag;
        EXPECT_NE(help.find(std::string("  ") + flag), std::string::npos) << flag;
    }
}

TEST(RenderOptions, NumbersOutOfRangeNameTheirRange) {
    const std::pair<std::vector<std::string>, const char*> cases[] = {
        {{"--steps", "0"}, "--steps 0 is out of range: --steps must be 1 to 4611686018427387904"},
        {{"--steps", "99999999999999999999"},
         "--steps 99999999999999999999 is out of range: --steps must be 1 to "
         "4611686018427387904"},
        {{"--density", "100001"},
         "--density 100001 is out of range: --density must be greater than 0 and at most 100000"},
        {{"--orbits", "0"}, "--orbits 0 is out of range: --orbits must be 1 to 65536"},
        {{"--orbits", "5", "--steps", "4"},
         "--orbits 5 is out of range: each orbit needs at least one step of --steps"},
        {{"--seed", "86400000"},
         "--seed 86400000 is out of range: --seed must be 0 to 86399999, the milliseconds of a "
         "day"},
        {{"--seed", "99999999999999999999"},
         "--seed 99999999999999999999 is out of range: --seed must be 0 to 86399999, the "
         "milliseconds of a day"},
        {{"--weight", "100"}, "--weight 100 is out of range: --weight must be 0 to 0.25"},
        {{"--intensity", "1e400"},
         "--intensity 1e400 is out of range: --intensity must be 0 to 65000"},
        {{"--jpeg-quality", "256"},
         "--jpeg-quality 256 is out of range: --jpeg-quality must be 0 to 100"},
        {{"--tick-every", "0"}, "--tick-every 0 is out of range: --tick-every must be at least 1"},
        {{"--size", "99999999999x10"},
         "--size 99999999999x10 is out of range: the width must be 1 to 8192"},
        {{"--rgb", "1,2,0"}, "--rgb 1,2,0 is out of range: each factor must be 0 to 1"},
        {{"--gamma", "0"}, "--gamma 0 is out of range: --gamma must be greater than 0"},
        {{"--maps", ""}, "--maps needs at least one map: lat01, lat02, ifs01, ifs02, at01 or at02"},
        {{"--orbit-range", "4:4", "--state-out", "s"},
         "--orbit-range 4:4 is out of range: A:B must give the orbits A to B-1 with 0 <= A < B "
         "<= 65536"},
        {{"--orbit-range", "8:17", "--state-out", "s"},
         "--orbit-range 8:17 is out of range: the render has 16 orbits (--orbits)"},
        {{"--orbit-range", "0:8"},
         "--orbit-range renders only some of the orbits: give --state-out FILE to keep them for "
         "--merge"},
        {{"--orbit-range", "0:8", "--state-out", "s", "--out", "x.png"},
         "--orbit-range gives no picture: leave out --out and --merge the states of all the "
         "orbits"},
        {{"--checkpoint", "c", "--orbits", "1"},
         "--orbits 1 is the window's single orbit, whose state cannot be saved: give --orbits 2 "
         "or more"},
        {{"--checkpoint-every", "0"},
         "--checkpoint-every 0 is out of range: --checkpoint-every must be greater than 0"},
        {{"--resume", "r", "--size", "10x10"},
         "--size cannot change a render taken up from a state: its set, view, size and orbits "
         "are the state's"},
        {{"--resume", "r", "--merge", "a", "b"},
         "--resume and --merge both take up saved states: give one"},
        {{"--merge", "a.png", "--out", "a.png"},
         "--out a.png: names a state file the render takes up"}};
    for (const auto& [args, message] : cases) {
        try {
            Parse(args);
            ADD_FAILURE() << args[0] << " " << args[1];
        } catch (const ERenderUsage& error) {
            EXPECT_EQ(std::string(error.what()), message);
        }
    }
    EXPECT_EQ(Parse({"--weight", "0"}).Params.VariationWeight, 0.0);
    EXPECT_EQ(*Parse({"--seed", "0"}).Seed, 0u);
}

TEST(RenderOptions, TheOutputIsCheckedBeforeTheRun) {
    namespace fs = std::filesystem;
    const fs::path file = fs::temp_directory_path() / "quarn-render-plain-file";
    std::ofstream(file) << "not a folder";
    const std::string known = "; the known extensions are bmp, dib, jif, jpeg, jpg, pbm, pgm, "
                              "png, ppm, tga, tif, tiff";
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"--out", "flame"}, "--out flame: the name has no extension" + known},
        {{"--out", "flame.xyz"}, "--out flame.xyz: unknown extension \"xyz\"" + known},
        {{"--out", "/nonexistent-folder/x.bmp"},
         "--out /nonexistent-folder/x.bmp: the folder \"/nonexistent-folder\" does not exist"},
        {{"--out", (file / "x.bmp").string()},
         "--out " + (file / "x.bmp").string() + ": \"" + file.string() + "\" is not a folder"},
        {{"--out", fs::temp_directory_path().string() + "/.."},
         "--out " + fs::temp_directory_path().string() + "/..: the name has no extension" + known},
        {{"--gamma", "100000", "--out", "x.png"},
         "--gamma 100000 is out of range: a PNG file takes a screen gamma of 0.00016 to 6451 "
         "(or --no-gamma)"},
        {{"--transparent", "--out", "x.bmp"},
         "--transparent: a file of the extension \"bmp\" holds no transparency; save as png, "
         "tif or tiff"},
        {{"--transparent", "--colors", "256", "--out", "x.tif"},
         "--transparent keeps every colour: leave out --colors"},
        {{"--supersample", "4", "--steps", "288230376151711745"},
         "--supersample 4 with 288230376151711745 steps is out of range: it must give at most "
         "2^62 steps"},
        {{"--out", "x.PNG", "--gamma", "0.0001"},
         "--gamma 0.0001 is out of range: a PNG file takes a screen gamma of 0.00016 to 6451 "
         "(or --no-gamma)"}};
    for (const auto& [args, message] : cases) {
        std::ostringstream out, err;
        std::vector<std::string> line = {"--steps", "2000000", "--seed", "5"};
        line.insert(line.end(), args.begin(), args.end());
        EXPECT_EQ(RunRenderCommand(line, out, err), 2) << message;
        EXPECT_EQ(err.str().substr(0, err.str().find('\n')), "quarn-render: " + message);
    }
    fs::remove(file);
    // The gamma is only refused where it would be stored.
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--gamma", "100000", "--out", "x.bmp"},
          {"--gamma", "100000", "--no-gamma", "--out", "x.png"},
          {"--gamma", "6451", "--out", "x.png"},
          {"--gamma", "0.00016", "--out", "x.png"}})
        EXPECT_NO_THROW(Parse(args)) << args[1];
    EXPECT_TRUE(PngCanStoreScreenGamma(1.8L));
    EXPECT_FALSE(PngCanStoreScreenGamma(6452.0L));
    EXPECT_FALSE(PngCanStoreScreenGamma(0.000159L));
}

TEST(RenderOptions, RefusesAnimationsThatCannotBeRendered) {
    const std::string turning = "--seed 5 --rotate ifs01 --size 64x48 --density 1";
    const std::pair<std::string, std::string> cases[] = {
        {"--frames 0 --seed 5 --loop --rotate ifs01 --out f%d.png",
         "--frames 0 is out of range: --frames must be 1 to 100000"},
        {"--fps 30 --out x.png", "--fps goes with --frames"},
        {"--loop --out x.png", "--loop goes with --frames"},
        {"--frames 4 --rotate ifs01 --loop --out f%d.png",
         "--frames needs a set that stays from frame to frame: give --seed or --params"},
        {turning + " --frames 4 --loop", "--frames needs --out for the frames or the video"},
        {turning + " --frames 4 --loop --out frame.png",
         "--out frame.png: the frames' names need one frame number, %d or %05d (frame%05d.png), "
         "or a video (mp4, webm, gif)"},
        {turning + " --frames 4 --loop --out f%d-%d.png",
         "--out f%d-%d.png: the frames' names need one frame number, %d or %05d (frame%05d.png), "
         "or a video (mp4, webm, gif)"},
        {turning + " --frames 4 --loop --crf 20 --out f.gif",
         "--crf and --bitrate set the quality of an mp4 or webm video"},
        {turning + " --frames 4 --loop --crf 20 --out f%03d.png",
         "--crf and --bitrate set the quality of an mp4 or webm video"},
        {turning + " --frames 4 --loop --crf 20 --bitrate 100000 --out f.mp4",
         "--crf and --bitrate both set the quality: give one"},
        {turning + " --frames 4 --loop --colors 16 --out f.mp4",
         "--colors does not go with a video; a gif has 256 colours anyway"},
        {turning + " --frames 4 --loop --tick-step 3 --out f.mp4",
         "--loop chooses the tick step itself: leave out --tick-step"},
        {"--seed 5 --frames 4 --loop --out f.mp4",
         "--loop: no rotation turns (--rotate names a map of --maps) and there is no --to set"},
        {turning + " --frames 4 --out f.mp4",
         "--frames: every frame would be the same; give --tick-step, --loop or --to"},
        {turning + " --frames 4 --tick-step 1000000000 --out f.mp4",
         "--tick-step 1000000000 with --frames 4 is out of range: the last frame's tick must "
         "be at most 2147483647"},
        {turning + " --frames 4 --loop --fit --out f.mp4", "--fit does not go with --frames"},
        {turning + " --frames 4 --loop --checkpoint c.qstate --out f.mp4",
         "--checkpoint does not go with --frames"},
        {turning + " --frames 4 --loop --crf 64 --out f.mp4",
         "--crf 64 is out of range: --crf must be 0 to 63"},
        {turning + " --frames 4 --to /nonexistent.quarn.json --out f.mp4",
         "--to: cannot open the parameter file \"/nonexistent.quarn.json\""},
    };
    for (const auto& [line, message] : cases) {
        std::vector<std::string> args;
        std::istringstream words(line);
        for (std::string word; words >> word;)
            args.push_back(word);
        std::ostringstream out, err;
        EXPECT_EQ(RunRenderCommand(args, out, err), 2) << line;
        EXPECT_EQ(err.str().substr(0, std::min(err.str().find('\n'), message.size() + 14)),
                  "quarn-render: " + message)
            << line;
    }
}

TEST(RenderCommand, HelpAnywhereOnTheLinePrintsTheHelp) {
    std::ostringstream out, err;
    EXPECT_EQ(RunRenderCommand({"--frobnicate", "--size", "0x0", "--out", "--help"}, out, err), 0);
    EXPECT_EQ(out.str().rfind("usage: quarn-render", 0), 0u);
    EXPECT_TRUE(err.str().empty());
    const std::string help = out.str();
    // What --steps counts, the seed's range and the rule by which a run gives up.
    for (const char* words :
         {"steps of the plotting phase", "an orbit's count can exceed its share by one",
          "0 to 86399999 milliseconds", "midnight is followed by 0",
          "--weight W         "
          "variation weight, 0 to 0.25",
          "1000000 coefficient sets in\na row were rejected: exit code 1, no picture written"})
        EXPECT_NE(help.find(words), std::string::npos) << words;
    EXPECT_EQ(help.find("plotted points"), std::string::npos);
}

TEST(Renderer, ASeededClockWrapsAtMidnight) {
    // The set drawn at the last millisecond of the day is rejected; the next draw is the one
    // at midnight, the set of a run seeded with 0.
    const TRenderOptions lastMillisecond =
        Parse({"--size", "16x12", "--steps", "10", "--seed", "86399999"});
    const TRenderOptions midnight = Parse({"--size", "16x12", "--steps", "10", "--seed", "0"});
    TRenderJob late(lastMillisecond), early(midnight);
    const TRenderResult a = late.Run(nullptr), b = early.Run(nullptr);
    EXPECT_EQ(a.CoefficientSets, 2);
    EXPECT_EQ(b.CoefficientSets, 1);
    EXPECT_EQ(a.Lyapunov, b.Lyapunov);
    std::ostringstream imageA, imageB;
    late.Image().SaveImageStream(imageA);
    early.Image().SaveImageStream(imageB);
    EXPECT_EQ(imageA.str(), imageB.str());
}
