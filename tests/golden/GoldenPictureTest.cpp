// Pictures and files of fixed seeds and settings, kept as checksums: any change of the engine's,
// the renderer's or a writer's output shows here at once. When output changes on purpose, update
// the table from the failure messages and say why in the commit.
#include "app/render/RenderOptions.h"
#include "export/ColorResolution.h"
#include "export/WriterOptions.h"
#include "image/PixelGraphic.h"
#include "render/RenderJob.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdint>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::uint32_t Crc32(const std::string& bytes) {
    return static_cast<std::uint32_t>(
        crc32(0L, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size())));
}

// The stored image as the BMP stream writes it: header, colour table and every pixel row.
std::string ImageBytes(const TPixelGraphic& image) {
    std::ostringstream out;
    image.SaveImageStream(out);
    return out.str();
}

TRenderJob Render(const std::vector<std::string>& args) {
    std::vector<std::string> all = {"--quiet"};
    all.insert(all.end(), args.begin(), args.end());
    return TRenderJob(ParseRenderOptions(all));
}

struct TGoldenPicture {
    const char* Name;
    std::vector<std::string> Args;
    int CoefficientSets;
    std::uint32_t Crc;
};

const std::string AllMaps = "ifs01,ifs02,at01,at02";
const std::string AllVariations = "rotational,sinusoidal,spherical,swirl,horseshoe,polar,bent";

const std::vector<TGoldenPicture> GoldenPictures = {
    {"defaults 400x300", {"--seed", "1234", "--steps", "300000"}, 1, 0xadbc2955},
    {"defaults 123x77", {"--seed", "77", "--steps", "60000", "--size", "123x77"}, 2, 0xc830b8de},
    {"defaults 1024x768",
     {"--seed", "9000", "--steps", "400000", "--size", "1024x768"},
     1,
     0x8fe6bdb2},
    {"maps, rotations, variations",
     {"--seed", "4321", "--steps", "200000", "--maps", AllMaps, "--rotate", AllMaps, "--variations",
      AllVariations, "--tick-every", "5000"},
     1,
     0xf087714c},
    {"sine maps",
     {"--seed", "99", "--steps", "100000", "--maps", "lat01,lat02", "--rotate", "lat01"},
     1,
     0x0747ecde},
    {"sine and AT maps",
     {"--seed", "98", "--steps", "100000", "--maps", "lat01,at01,at02", "--rotate", "lat01,at02",
      "--variations", "swirl,bent"},
     2,
     0x02f829ac},
    {"white background", {"--seed", "555", "--steps", "200000", "--white"}, 1, 0xc6e0e7ef},
    {"linear filter", {"--seed", "556", "--steps", "200000", "--linear"}, 1, 0xc6a228d9},
    {"view and colours",
     {"--seed", "31337", "--steps", "200000", "--view", "0.25,-0.5,2", "--rgb", "0.2,1,0.5",
      "--intensity", "300", "--size", "320x200"},
     2,
     0xcee3da29},
    // Counters of 16 bits below an increment of 536, of 32 bits from there on; both saturate.
    {"intensity 535, saturated",
     {"--seed", "4242", "--steps", "2000000", "--size", "40x30", "--intensity", "535"},
     1,
     0x77fb8101},
    {"intensity 536, saturated",
     {"--seed", "4242", "--steps", "2000000", "--size", "40x30", "--intensity", "536"},
     1,
     0x5aaefadb},
    {"intensity 64, saturated, 16 orbits on 2 threads",
     {"--seed", "4243", "--steps", "3000000", "--size", "40x30", "--intensity", "64", "--threads",
      "2"},
     1,
     0xcb1b6c3b},
    {"intensity 3000, 16 orbits on 3 threads",
     {"--seed", "4244", "--steps", "600000", "--size", "500x280", "--intensity", "3000",
      "--threads", "3", "--white"},
     3,
     0xcfe39dd1},
    {"supersampled, 16 orbits on 2 threads",
     {"--seed", "4245", "--steps", "150000", "--size", "200x150", "--supersample", "2", "--threads",
      "2", "--maps", "ifs01,at01"},
     1,
     0x4757c5bc},
};

TEST(GoldenPicture, RenderedPicturesKeepTheirPixels) {
    for (const TGoldenPicture& golden : GoldenPictures) {
        SCOPED_TRACE(golden.Name);
        TRenderJob renderer = Render(golden.Args);
        const TRenderResult result = renderer.Run(nullptr);
        const std::uint32_t crc = Crc32(ImageBytes(renderer.Image()));
        EXPECT_TRUE(result.CoefficientSets == golden.CoefficientSets && crc == golden.Crc)
            << "now " << result.CoefficientSets << ", 0x" << std::hex << crc;
    }
}

struct TGoldenFile {
    const char* Extension;
    std::uint32_t Crc;
};

const std::vector<TGoldenFile> GoldenFiles = {
    {"bmp", 0x4833d39f}, {"dib", 0x4833d39f}, {"jpg", 0x8286b094}, {"jpeg", 0x8286b094},
    {"jif", 0x8286b094}, {"png", 0x660d597a}, {"pbm", 0x3ceb8dac}, {"pgm", 0x4ee5a3b7},
    {"ppm", 0x92d09250}, {"tga", 0xd5a7618a}, {"tif", 0xae6e3d91}, {"tiff", 0xae6e3d91},
};

struct TGoldenVariant {
    const char* Name;
    const char* Extension;
    std::function<void(TPGWriterOptions&)> Options;
    std::uint32_t Crc;
};

const std::vector<TGoldenVariant> GoldenVariants = {
    {"binary pbm", "pbm", [](TPGWriterOptions& o) { o.PXMWriteBinary = true; }, 0xc435244a},
    {"binary pgm", "pgm", [](TPGWriterOptions& o) { o.PXMWriteBinary = true; }, 0x1a5e53ba},
    {"binary ppm", "ppm", [](TPGWriterOptions& o) { o.PXMWriteBinary = true; }, 0x621d70be},
    {"tiff packbits mm", "tif",
     [](TPGWriterOptions& o) {
         o.TIFFWriteCompression = 32773;
         o.TIFFWriteMotorolaOrder = true;
     },
     0xdb842098},
    {"tiff cmyk", "tif", [](TPGWriterOptions& o) { o.TIFFWriteCMYK = true; }, 0x9a7dcef2},
    {"jpeg integer progressive q50", "jpg",
     [](TPGWriterOptions& o) {
         o.JPEGWriteDCTMethod = 0;
         o.JPEGWriteProgressive = true;
         o.JPEGWriteQuality = 50;
     },
     0x3087dc84},
    {"png without gamma", "png", [](TPGWriterOptions& o) { o.WriteGamma = false; }, 0x80ff2557},
};

struct TGoldenConversion {
    TPGColorResolution Resolution;
    std::uint32_t Crc;
};

const std::vector<TGoldenConversion> GoldenConversions = {
    {crBlackWhite, 0xb0de2394},  {cr2Colors, 0x6dd6937a},  {cr16Grays, 0x533372f6},
    {cr16SysColors, 0x14fc6fb2}, {cr16Colors, 0x8b631013}, {cr256Grays, 0x8ef59bed},
    {cr256Colors, 0x815a5ab7},
};

std::string SavedBytes(TPixelGraphic& image, const char* extension) {
    std::ostringstream out;
    image.SaveToStreamAs(out, extension);
    return out.str();
}

TEST(GoldenPicture, EveryWriterKeepsItsBytes) {
    TRenderJob renderer = Render({"--seed", "2024", "--steps", "100000", "--size", "160x90"});
    renderer.Run(nullptr);
    TPixelGraphic& image = renderer.Image();
    ResetWriterOptions();
    for (const TGoldenFile& golden : GoldenFiles) {
        SCOPED_TRACE(golden.Extension);
        const std::uint32_t crc = Crc32(SavedBytes(image, golden.Extension));
        EXPECT_EQ(crc, golden.Crc) << "now 0x" << std::hex << crc;
    }
    for (const TGoldenVariant& golden : GoldenVariants) {
        SCOPED_TRACE(golden.Name);
        ResetWriterOptions();
        golden.Options(WriterOptions());
        const std::uint32_t crc = Crc32(SavedBytes(image, golden.Extension));
        EXPECT_EQ(crc, golden.Crc) << "now 0x" << std::hex << crc;
    }
    ResetWriterOptions();
    for (const TGoldenConversion& golden : GoldenConversions) {
        SCOPED_TRACE(golden.Resolution);
        const std::uint32_t crc =
            Crc32(ImageBytes(*ConvertColorResolution(image, golden.Resolution)));
        EXPECT_EQ(crc, golden.Crc) << "now 0x" << std::hex << crc;
    }
}

} // namespace
