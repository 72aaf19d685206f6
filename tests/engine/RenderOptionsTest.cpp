#include "app/render/RenderOptions.h"
#include "app/render/RenderCommand.h"
#include "app/render/RenderOutput.h"
#include "app/render/Renderer.h"
#include "image/StreamErrors.h"

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
        Parse({"--size",       "1024x768",    "--seed",   "4294967295", "--steps",      "10",
               "--view",       "0.5,-1.25,2", "--maps",   "lat02,at01", "--rotate",     "at01",
               "--variations", "swirl,bent",  "--weight", "0.25",       "--intensity",  "64",
               "--rgb",        "1,0,0.5",     "--white",  "--linear",   "--tick-every", "7",
               "--out",        "x.bmp",       "--stats",  "--quiet",    "--help"});
    EXPECT_EQ(options.Width, 1024);
    EXPECT_EQ(options.Height, 768);
    EXPECT_EQ(*options.Seed, 4294967295u);
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
                                                       {"--size", "1025x768"},
                                                       {"--size", "1024x769"},
                                                       {"--size", "400"},
                                                       {"--size", "400x"},
                                                       {"--size", "ax300"},
                                                       {"--steps", "0"},
                                                       {"--steps", "2147479649"},
                                                       {"--seed", "-1"},
                                                       {"--seed", "4294967296"},
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
        Parse({"--size", "2000x100"});
        FAIL();
    } catch (const ERenderUsage& error) {
        EXPECT_EQ(std::string(error.what()), "--size 2000x100: the width must be 1 to 1024");
    }
    try {
        Parse({"--tiff-resolution", "cm:1/1,2/0"});
        FAIL();
    } catch (const ERenderUsage& error) {
        EXPECT_EQ(std::string(error.what()),
                  "--tiff-resolution cm:1/1,2/0: a denominator must be 1 or more");
    }
}

TEST(Renderer, SeededRunsRepeatAndStopAtTheRequestedPoints) {
    const TRenderOptions options =
        Parse({"--size", "120x90", "--seed", "12345", "--steps", "30000", "--maps", "ifs01,at02",
               "--tick-every", "1000", "--rotate", "ifs01"});
    TRenderer first(options);
    TRenderer second(options);
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
    TRenderer renderer(options);
    try {
        renderer.Run(nullptr);
        FAIL();
    } catch (const std::runtime_error& error) {
        EXPECT_EQ(std::string(error.what()), "no coefficient set was accepted after 500 draws");
    }
    EXPECT_EQ(renderer.Params().StepCount < TFractalEngine::FirstPlotStep, true);

    // Draws that were rejected before a set settled do not count against a run that plots.
    options = Parse({"--size", "64x48", "--seed", "7", "--steps", "5000"});
    options.MaxFruitlessDraws = 1;
    TRenderer settling(options);
    EXPECT_EQ(settling.Run(nullptr).Steps, 5000);
}

TEST(RenderOutput, WritesABmpFileOrNothing) {
    TRenderer renderer(Parse({"--size", "5x3", "--seed", "1", "--steps", "100"}));
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
    EXPECT_NE(err.str().find("the height must be 1 to 768"), std::string::npos);
    EXPECT_NE(err.str().find("usage: quarn-render"), std::string::npos);
    EXPECT_TRUE(out.str().empty());

    err.str("");
    EXPECT_EQ(RunRenderCommand(
                  {"--steps", "10", "--seed", "3", "--out", "/nonexistent-folder/x.bmp"}, out, err),
              1);
    EXPECT_EQ(err.str(), "quarn-render: Cannot create file \"/nonexistent-folder/x.bmp\". "
                         "No such file or directory\n");

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
