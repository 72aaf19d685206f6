#include "app/render/RenderCommand.h"
#include "app/render/RenderOptions.h"
#include "export/WriterOptions.h"
#include "image/PixelGraphic.h"
#include "image/ScreenGamma.h"
#include "render/RenderJob.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

#include <jpeglib.h>
#include <png.h>
#include <tiffio.h>

namespace {

namespace fs = std::filesystem;

// The picture every test renders: small, wider than high, and quick to compute.
const std::vector<std::string> PictureArgs = {"--size",  "64x48", "--seed", "21",
                                              "--steps", "20000", "--quiet"};

struct TRgbPicture {
    int Width = 0;
    int Height = 0;
    std::vector<unsigned char> Rgb; // rows from the top, red first
    int At(int x, int y, int channel) const { return Rgb[(y * Width + x) * 3 + channel]; }
};

TRgbPicture ReferencePicture() {
    TRenderJob renderer(ParseRenderOptions(PictureArgs));
    renderer.Run(nullptr);
    const TPixelGraphic& image = renderer.Image();
    TRgbPicture picture{image.Width(), image.Height(), {}};
    for (int y = 0; y < image.Height(); ++y)
        for (int x = 0; x < image.Width(); ++x) {
            const TColor color = image.GetPixelColor(x, y);
            picture.Rgb.push_back(static_cast<unsigned char>(color));
            picture.Rgb.push_back(static_cast<unsigned char>(color >> 8));
            picture.Rgb.push_back(static_cast<unsigned char>(color >> 16));
        }
    return picture;
}

std::string FileBytes(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

// The stored samples as they are, without the gamma correction of libpng's simplified reader.
TRgbPicture DecodePng(const fs::path& path, bool* gray = nullptr) {
    const std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "rb"), std::fclose);
    if (!file) {
        ADD_FAILURE() << "cannot open " << path;
        return {};
    }
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    TRgbPicture picture;
    std::vector<png_bytep> rows;
    if (setjmp(png_jmpbuf(png))) {
        ADD_FAILURE() << "libpng cannot read " << path;
        png_destroy_read_struct(&png, &info, nullptr);
        return {};
    }
    png_init_io(png, file.get());
    png_read_info(png, info);
    if (gray)
        *gray = (png_get_color_type(png, info) & PNG_COLOR_MASK_COLOR) == 0;
    png_set_expand(png);
    png_set_gray_to_rgb(png);
    png_read_update_info(png, info);
    picture.Width = static_cast<int>(png_get_image_width(png, info));
    picture.Height = static_cast<int>(png_get_image_height(png, info));
    picture.Rgb.resize(static_cast<std::size_t>(picture.Width) * picture.Height * 3);
    for (int y = 0; y < picture.Height; ++y)
        rows.push_back(picture.Rgb.data() + static_cast<std::size_t>(y) * picture.Width * 3);
    png_read_image(png, rows.data());
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    return picture;
}

TRgbPicture DecodeJpeg(const fs::path& path, bool& progressive) {
    const std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "rb"), std::fclose);
    EXPECT_TRUE(file);
    jpeg_decompress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_decompress(&info);
    jpeg_stdio_src(&info, file.get());
    jpeg_read_header(&info, TRUE);
    progressive = jpeg_has_multiple_scans(&info);
    info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&info);
    TRgbPicture picture{static_cast<int>(info.output_width), static_cast<int>(info.output_height),
                        std::vector<unsigned char>(info.output_width * info.output_height * 3)};
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = picture.Rgb.data() + info.output_scanline * info.output_width * 3;
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return picture;
}

struct TTiffFacts {
    TRgbPicture Picture;
    bool BigEndian = false;
    int Compression = 0;
    int Photometric = 0;
    int ResolutionUnit = 0;
    float XResolution = 0.0f;
    float YResolution = 0.0f;
};

TTiffFacts DecodeTiff(const fs::path& path) {
    TTiffFacts facts;
    const std::unique_ptr<TIFF, void (*)(TIFF*)> tiff(TIFFOpen(path.c_str(), "r"), TIFFClose);
    if (!tiff) {
        ADD_FAILURE() << "libtiff cannot open " << path;
        return facts;
    }
    std::uint32_t width = 0, height = 0;
    std::uint16_t compression = 0, photometric = 0, unit = 0;
    TIFFGetField(tiff.get(), TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tiff.get(), TIFFTAG_IMAGELENGTH, &height);
    TIFFGetField(tiff.get(), TIFFTAG_COMPRESSION, &compression);
    TIFFGetField(tiff.get(), TIFFTAG_PHOTOMETRIC, &photometric);
    TIFFGetField(tiff.get(), TIFFTAG_RESOLUTIONUNIT, &unit);
    TIFFGetField(tiff.get(), TIFFTAG_XRESOLUTION, &facts.XResolution);
    TIFFGetField(tiff.get(), TIFFTAG_YRESOLUTION, &facts.YResolution);
    facts.BigEndian = TIFFIsBigEndian(tiff.get());
    facts.Compression = compression;
    facts.Photometric = photometric;
    facts.ResolutionUnit = unit;
    std::vector<std::uint32_t> rgba(static_cast<std::size_t>(width) * height);
    EXPECT_TRUE(
        TIFFReadRGBAImageOriented(tiff.get(), width, height, rgba.data(), ORIENTATION_TOPLEFT, 0));
    facts.Picture = {static_cast<int>(width), static_cast<int>(height), {}};
    for (std::uint32_t pixel : rgba) {
        facts.Picture.Rgb.push_back(static_cast<unsigned char>(TIFFGetR(pixel)));
        facts.Picture.Rgb.push_back(static_cast<unsigned char>(TIFFGetG(pixel)));
        facts.Picture.Rgb.push_back(static_cast<unsigned char>(TIFFGetB(pixel)));
    }
    return facts;
}

// Mean absolute channel difference; the pictures must have the same size.
double MeanError(const TRgbPicture& a, const TRgbPicture& b) {
    double sum = 0.0;
    for (std::size_t i = 0; i < a.Rgb.size(); ++i)
        sum += std::abs(a.Rgb[i] - b.Rgb[i]);
    return sum / static_cast<double>(a.Rgb.size());
}

class RenderExport : public ::testing::Test {
protected:
    void SetUp() override {
        FFolder = fs::temp_directory_path() /
                  ("quarn-render-export-" + std::to_string(::getpid()) + "-" +
                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(FFolder);
    }
    void TearDown() override { fs::remove_all(FFolder); }

    // Renders the test picture into `name` inside the test's folder with the extra arguments;
    // returns the exit code and keeps what was printed.
    int Render(const std::string& name, std::vector<std::string> extra = {}) {
        std::vector<std::string> args = PictureArgs;
        args.insert(args.end(), {"--out", (FFolder / name).string()});
        args.insert(args.end(), extra.begin(), extra.end());
        Out.str("");
        Err.str("");
        return RunRenderCommand(args, Out, Err);
    }
    fs::path File(const std::string& name) const { return FFolder / name; }

    std::ostringstream Out, Err;

private:
    fs::path FFolder;
};

TEST_F(RenderExport, LosslessFormatsHoldTheRenderedPixels) {
    const TRgbPicture reference = ReferencePicture();
    ASSERT_EQ(reference.Width, 64);
    // A blank picture would prove nothing about rows or channels.
    ASSERT_GT(MeanError(reference, TRgbPicture{64, 48, std::vector<unsigned char>(64 * 48 * 3)}),
              0.5);

    // The BMP file holds the very picture that the reference render made.
    ASSERT_EQ(Render("picture.bmp"), 0) << Err.str();
    TRenderJob same(ParseRenderOptions(PictureArgs));
    same.Run(nullptr);
    std::ostringstream bmp;
    same.Image().SaveImageStream(bmp);
    EXPECT_EQ(FileBytes(File("picture.bmp")), bmp.str());
    EXPECT_TRUE(Err.str().empty()) << Err.str();

    ASSERT_EQ(Render("picture.PNG"), 0) << Err.str();
    bool gray = true;
    const TRgbPicture png = DecodePng(File("picture.PNG"), &gray);
    EXPECT_FALSE(gray);
    EXPECT_EQ(png.Rgb, reference.Rgb);

    struct TTiffCase {
        std::string Name;
        std::vector<std::string> Flags;
        bool BigEndian;
        int Compression;
    };
    const std::vector<TTiffCase> tiffCases = {
        {"ii.tif", {}, false, COMPRESSION_NONE},
        {"mm.tiff",
         {"--tiff-byte-order", "mm", "--tiff-compression", "packbits"},
         true,
         COMPRESSION_PACKBITS},
        {"packed.TIF",
         {"--tiff-compression", "packbits", "--tiff-byte-order", "ii"},
         false,
         COMPRESSION_PACKBITS}};
    for (const TTiffCase& tiffCase : tiffCases) {
        ASSERT_EQ(Render(tiffCase.Name, tiffCase.Flags), 0) << Err.str();
        const TTiffFacts tiff = DecodeTiff(File(tiffCase.Name));
        EXPECT_EQ(tiff.BigEndian, tiffCase.BigEndian) << tiffCase.Name;
        EXPECT_EQ(tiff.Compression, tiffCase.Compression) << tiffCase.Name;
        EXPECT_EQ(tiff.Photometric, PHOTOMETRIC_RGB) << tiffCase.Name;
        EXPECT_EQ(tiff.ResolutionUnit, RESUNIT_INCH) << tiffCase.Name;
        EXPECT_EQ(tiff.XResolution, 300.0f) << tiffCase.Name;
        EXPECT_EQ(tiff.Picture.Rgb, reference.Rgb) << tiffCase.Name;
    }

    ASSERT_EQ(Render("binary.ppm", {"--pnm-binary"}), 0) << Err.str();
    const std::string header = "P6\n64 48\n255\n";
    const std::string ppm = FileBytes(File("binary.ppm"));
    ASSERT_EQ(ppm.size(), header.size() + reference.Rgb.size());
    EXPECT_EQ(ppm.substr(header.size()), std::string(reference.Rgb.begin(), reference.Rgb.end()));

    ASSERT_EQ(Render("picture.tga"), 0) << Err.str();
    const std::string tga = FileBytes(File("picture.tga"));
    ASSERT_GE(tga.size(), 18u);
    EXPECT_EQ(static_cast<unsigned char>(tga[12]) + 256 * static_cast<unsigned char>(tga[13]), 64);
    EXPECT_EQ(static_cast<unsigned char>(tga[14]) + 256 * static_cast<unsigned char>(tga[15]), 48);
}

TEST_F(RenderExport, WriterFlagsReachTheFiles) {
    const TRgbPicture reference = ReferencePicture();

    for (const std::string name : {"plain.jpg", "fine.JPEG", "coarse.jif"}) {
        std::vector<std::string> flags;
        if (name == "fine.JPEG")
            flags = {"--jpeg-quality", "100", "--jpeg-dct", "int", "--jpeg-progressive"};
        if (name == "coarse.jif")
            flags = {"--jpeg-quality", "5", "--jpeg-dct", "fast"};
        ASSERT_EQ(Render(name, flags), 0) << Err.str();
    }
    bool progressive = true;
    const TRgbPicture plain = DecodeJpeg(File("plain.jpg"), progressive);
    EXPECT_FALSE(progressive);
    ASSERT_EQ(plain.Width, 64);
    ASSERT_EQ(plain.Height, 48);
    const TRgbPicture fine = DecodeJpeg(File("fine.JPEG"), progressive);
    EXPECT_TRUE(progressive);
    const TRgbPicture coarse = DecodeJpeg(File("coarse.jif"), progressive);
    EXPECT_LT(MeanError(fine, reference), 1.0);
    EXPECT_LT(MeanError(fine, reference), MeanError(plain, reference));
    EXPECT_LT(MeanError(plain, reference), MeanError(coarse, reference));

    // The screen gamma reaches the picture as it is made; PNG stores its inverse.
    const auto gammaChunk = [](const std::string& png) -> long {
        const std::size_t at = png.find("gAMA");
        if (at == std::string::npos)
            return -1;
        long value = 0;
        for (std::size_t i = at + 4; i < at + 8; ++i)
            value = value * 256 + static_cast<unsigned char>(png[i]);
        return value;
    };
    ASSERT_EQ(Render("default.png"), 0);
    ASSERT_EQ(Render("gamma.png", {"--gamma", "2.5"}), 0);
    ASSERT_EQ(Render("none.png", {"--no-gamma", "--gamma", "2.5"}), 0);
    EXPECT_EQ(gammaChunk(FileBytes(File("default.png"))), 55556);
    EXPECT_EQ(gammaChunk(FileBytes(File("gamma.png"))), 40000);
    EXPECT_EQ(gammaChunk(FileBytes(File("none.png"))), -1);

    ASSERT_EQ(Render("res.tif", {"--tiff-resolution", "cm:150/2,40/1", "--tiff-cmyk"}), 0);
    const TTiffFacts tiff = DecodeTiff(File("res.tif"));
    EXPECT_EQ(tiff.ResolutionUnit, RESUNIT_CENTIMETER);
    EXPECT_EQ(tiff.XResolution, 75.0f);
    EXPECT_EQ(tiff.YResolution, 40.0f);
    EXPECT_EQ(tiff.Photometric, PHOTOMETRIC_SEPARATED);
    ASSERT_EQ(Render("none.tif", {"--tiff-resolution", "none:1/1,1/1"}), 0);
    EXPECT_EQ(DecodeTiff(File("none.tif")).ResolutionUnit, RESUNIT_NONE);

    // A run's settings end with it.
    EXPECT_EQ(WriterOptions().JPEGWriteQuality, 80);
    EXPECT_TRUE(WriterOptions().WriteGamma);
    EXPECT_EQ(ScreenGamma(), 1.8L);
}

TEST_F(RenderExport, ColourResolutionsAndTheirWarnings) {
    ASSERT_EQ(Render("gray.png", {"--colors", "256gray"}), 0) << Err.str();
    EXPECT_TRUE(Err.str().empty()) << Err.str();
    bool gray = false;
    const TRgbPicture png = DecodePng(File("gray.png"), &gray);
    EXPECT_TRUE(gray);
    EXPECT_EQ(png.Width, 64);

    // The same grey picture as PGM needs no further change and no warning.
    ASSERT_EQ(Render("gray.pgm", {"--colors", "256gray", "--pnm-binary"}), 0);
    EXPECT_TRUE(Err.str().empty()) << Err.str();
    const std::string pgm = FileBytes(File("gray.pgm"));
    const std::string pgmHeader = "P5\n64 48\n255\n";
    ASSERT_EQ(pgm.size(), pgmHeader.size() + 64 * 48);
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x)
            EXPECT_EQ(static_cast<unsigned char>(pgm[pgmHeader.size() + y * 64 + x]),
                      png.At(x, y, 0));

    // A true-colour picture as PBM warns and goes on with black and white.
    ASSERT_EQ(Render("picture.pbm"), 0);
    EXPECT_EQ(Err.str(),
              "quarn-render: Warning: The graphic cannot be saved to a Portable Bitmap file with "
              "the current color resolution (16.7 million colors).\nThe graphic will be saved "
              "with a different color resolution (black and white).\n");
    EXPECT_EQ(FileBytes(File("picture.pbm")).substr(0, 8), "P1\n64 48");

    // 16 arbitrary colours become true colour for JPEG.
    ASSERT_EQ(Render("sixteen.jpg", {"--colors", "16"}), 0);
    EXPECT_NE(Err.str().find("(16 colors).\nThe graphic will be saved with a different color "
                             "resolution (16.7 million colors)."),
              std::string::npos)
        << Err.str();

    ASSERT_EQ(Render("bw.png", {"--colors", "bw"}), 0) << Err.str();
    const TRgbPicture bw = DecodePng(File("bw.png"));
    for (unsigned char channel : bw.Rgb)
        ASSERT_TRUE(channel == 0 || channel == 255);
}

TEST_F(RenderExport, FailuresAndTheirExitCodes) {
    // Names the writers cannot take are refused before the run, with the usage line.
    const auto firstLine = [this] { return Err.str().substr(0, Err.str().find('\n')); };
    EXPECT_EQ(Render("picture.xyz"), 2);
    EXPECT_THAT(firstLine(), ::testing::EndsWith("picture.xyz: unknown extension \"xyz\"; the "
                                                 "known extensions are bmp, dib, jif, jpeg, jpg, "
                                                 "pbm, pgm, png, ppm, tga, tif, tiff"));
    EXPECT_EQ(Render("picture.XyZ"), 2);
    EXPECT_THAT(firstLine(), ::testing::HasSubstr("unknown extension \"XyZ\""));
    EXPECT_EQ(Render("noextension"), 2);
    EXPECT_THAT(firstLine(), ::testing::HasSubstr("noextension: the name has no extension"));
    EXPECT_NE(Err.str().find("usage: quarn-render"), std::string::npos);
    EXPECT_FALSE(fs::exists(File("picture.xyz")));
    EXPECT_FALSE(fs::exists(File("noextension")));

    EXPECT_EQ(Render("missing-folder/picture.png"), 2);
    EXPECT_THAT(firstLine(), ::testing::EndsWith("missing-folder\" does not exist"));

    for (const std::vector<std::string>& flags : std::vector<std::vector<std::string>>{
             {"--jpeg-quality", "101"}, {"--tiff-resolution", "inch:300/0,300/1"}}) {
        EXPECT_EQ(Render("refused.jpg", flags), 2) << flags[0];
        EXPECT_NE(Err.str().find("usage: quarn-render"), std::string::npos);
        EXPECT_FALSE(fs::exists(File("refused.jpg")));
    }
}

} // namespace
