#include "export/Jpeg.h"

#include "TestImages.h"
#include "WriterTestSupport.h"
#include "image/PGExceptions.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

#include <jpeglib.h>

using namespace testimages;

namespace {

std::string WriteJpeg(TPixelGraphic& image) {
    TJPGFileFormatWriter writer;
    std::ostringstream out(std::ios::binary);
    writer.WriteGraphic(out, image);
    return std::move(out).str();
}

// Flat 16 x 16 blocks of colour (one block per colour-subsampled unit), which JPEG keeps close
// to exact away from the block edges.
std::unique_ptr<TPixelGraphic> Blocks(int width = 64, int height = 32) {
    auto image = std::make_unique<TPixelGraphic>();
    image->SetSize(width, height, bc24Bit);
    const TColor colors[] = {RGB(255, 0, 0), RGB(0, 0, 255), RGB(0, 255, 0), RGB(255, 255, 255)};
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image->SetPixel(x, y, colors[(x / 16 + 3 * (y / 16)) % 4]);
    return image;
}

// The same compression done directly on red-first rows, with the documented parameters.
std::string ReferenceJpeg(TPixelGraphic& image, int quality, J_DCT_METHOD method,
                          bool progressive) {
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr errors{};
    cinfo.err = jpeg_std_error(&errors);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = static_cast<JDIMENSION>(image.Width());
    cinfo.image_height = static_cast<JDIMENSION>(image.Height());
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    if (progressive)
        jpeg_simple_progression(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    cinfo.dct_method = method;
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<JSAMPLE> row(3 * image.Width());
    for (int y = 0; y < image.Height(); ++y) {
        for (int x = 0; x < image.Width(); ++x) {
            const TColor c = image.GetPixel(x, y);
            row[3 * x] = GetRValue(c);
            row[3 * x + 1] = GetGValue(c);
            row[3 * x + 2] = GetBValue(c);
        }
        JSAMPROW rows[] = {row.data()};
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    std::string result(reinterpret_cast<const char*>(buffer), size);
    std::free(buffer);
    return result;
}

struct TDecodedJpeg {
    int Width = 0, Height = 0, Components = 0;
    J_COLOR_SPACE ColorSpace = JCS_UNKNOWN;
    bool JFIF = false, Progressive = false;
    std::vector<std::uint8_t> Pixels; // rows top first, Components bytes per pixel
};

TDecodedJpeg DecodeJpeg(const std::string& file) {
    jpeg_decompress_struct cinfo{};
    jpeg_error_mgr errors{};
    cinfo.err = jpeg_std_error(&errors);
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char*>(file.data()), file.size());
    jpeg_read_header(&cinfo, TRUE);
    TDecodedJpeg result;
    result.JFIF = cinfo.saw_JFIF_marker;
    result.Progressive = cinfo.progressive_mode;
    result.ColorSpace = cinfo.jpeg_color_space;
    jpeg_start_decompress(&cinfo);
    result.Width = static_cast<int>(cinfo.output_width);
    result.Height = static_cast<int>(cinfo.output_height);
    result.Components = cinfo.output_components;
    result.Pixels.resize(static_cast<std::size_t>(result.Width) * result.Height *
                         result.Components);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = result.Pixels.data() + static_cast<std::size_t>(cinfo.output_scanline) *
                                                  result.Width * result.Components;
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return result;
}

class JpegTest : public WriterTest {};

} // namespace

TEST_F(JpegTest, DefaultsGiveABaselineJFIFFileWithTheImageColours) {
    auto image = Blocks();
    const std::string file = WriteJpeg(*image);
    const TDecodedJpeg jpeg = DecodeJpeg(file);
    EXPECT_TRUE(jpeg.JFIF);
    EXPECT_FALSE(jpeg.Progressive);
    EXPECT_EQ(jpeg.ColorSpace, JCS_YCbCr);
    ASSERT_EQ(jpeg.Width, 64);
    ASSERT_EQ(jpeg.Height, 32);
    ASSERT_EQ(jpeg.Components, 3);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 64; ++x) {
            if (x % 16 < 4 || x % 16 > 11 || y % 16 < 4 || y % 16 > 11)
                continue;
            const TColor c = image->GetPixel(x, y);
            const std::uint8_t* p = &jpeg.Pixels[3 * (y * 64 + x)];
            ASSERT_NEAR(p[0], GetRValue(c), 8) << x << "," << y;
            ASSERT_NEAR(p[1], GetGValue(c), 8) << x << "," << y;
            ASSERT_NEAR(p[2], GetBValue(c), 8) << x << "," << y;
        }
    // Quality 80 with baseline tables and the floating-point DCT, as the library does it for
    // red-first input.
    EXPECT_EQ(file, ReferenceJpeg(*image, 80, JDCT_FLOAT, false));
}

TEST_F(JpegTest, FollowsTheQualityMethodAndProgressionOptions) {
    auto image = TrueColor(37, 19);
    struct TCase {
        int Quality;
        J_DCT_METHOD Method;
        bool Progressive;
        int Expected; // the quality the library uses after clamping
    };
    for (const TCase& c : {TCase{50, JDCT_ISLOW, true, 50}, TCase{95, JDCT_IFAST, false, 95},
                           TCase{0, JDCT_FLOAT, false, 1}, TCase{200, JDCT_ISLOW, false, 100}}) {
        SCOPED_TRACE(testing::Message() << "quality " << c.Quality);
        WriterOptions().JPEGWriteQuality = static_cast<std::uint8_t>(c.Quality);
        WriterOptions().JPEGWriteDCTMethod = static_cast<std::uint8_t>(c.Method);
        WriterOptions().JPEGWriteProgressive = c.Progressive;
        const std::string file = WriteJpeg(*image);
        EXPECT_EQ(DecodeJpeg(file).Progressive, c.Progressive);
        EXPECT_EQ(file, ReferenceJpeg(*image, c.Expected, c.Method, c.Progressive));
    }
}

TEST_F(JpegTest, GreyImagesBecomeOneComponentGreyscale) {
    auto image = Gray256(16, 8);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 16; ++x)
            image->SetPixel(x, y, x < 8 ? 30 : 220);
    const TDecodedJpeg jpeg = DecodeJpeg(WriteJpeg(*image));
    EXPECT_TRUE(jpeg.JFIF);
    EXPECT_EQ(jpeg.ColorSpace, JCS_GRAYSCALE);
    ASSERT_EQ(jpeg.Components, 1);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 16; ++x)
            EXPECT_NEAR(jpeg.Pixels[y * 16 + x], x < 8 ? 30 : 220, 4) << x << "," << y;
}

TEST_F(JpegTest, RefusesOtherPixelFormatsAndMethods) {
    auto sixteen = Paletted(bc4Bit, {RGB(1, 2, 3), RGB(200, 0, 0)});
    auto colours = Paletted(bc8Bit, {RGB(1, 2, 3), RGB(200, 0, 0)});
    for (TPixelGraphic* image : {sixteen.get(), colours.get()}) {
        try {
            WriteJpeg(*image);
            ADD_FAILURE() << "no exception";
        } catch (const EPGJPGFileFormatReaderWriter& e) {
            EXPECT_STREQ(e.what(), "JPG: Invalid value for BitCount");
        }
    }
    WriterOptions().JPEGWriteDCTMethod = 3;
    auto image = Blocks();
    EXPECT_THROW(WriteJpeg(*image), EPGJPGFileFormatReaderWriter);
}

TEST_F(JpegTest, WritesThroughA4096ByteBufferAndReportsProgress) {
    auto image = TrueColor(200, 120);
    std::vector<std::string> events;
    image->OnProgressStart = [&](TPixelGraphic&) { events.push_back("start"); };
    image->OnProgress = [&](TPixelGraphic&, int step, int max, bool&) {
        if (step <= 2 || step == max)
            events.push_back(std::to_string(step) + "/" + std::to_string(max));
    };
    image->OnProgressEnd = [&](TPixelGraphic&) { events.push_back("end"); };
    TRecordingBuffer buffer;
    std::ostream out(&buffer);
    out << "before";
    TJIFFileFormatWriter writer;
    writer.WriteGraphic(out, *image);
    EXPECT_EQ(events, (std::vector<std::string>{"start", "1/120", "2/120", "120/120", "end"}));
    ASSERT_GE(buffer.Writes.size(), 3u);
    for (std::size_t i = 1; i + 1 < buffer.Writes.size(); ++i)
        EXPECT_EQ(buffer.Writes[i], 4096u) << "block " << i;
    EXPECT_LE(buffer.Writes.back(), 4096u);
    EXPECT_EQ(buffer.Data.substr(6), WriteJpeg(*image));
}

TEST_F(JpegTest, AShortWriteIsTheLibrarysWriteErrorAndCleansUp) {
    auto image = TrueColor(300, 200);
    bool ended = false;
    image->OnProgressEnd = [&](TPixelGraphic&) { ended = true; };
    TRecordingBuffer buffer(10000);
    std::ostream out(&buffer);
    try {
        WriteJpeg(*image); // a complete file first: the writer is reusable after a failure
        TJPGFileFormatWriter writer;
        writer.WriteGraphic(out, *image);
        ADD_FAILURE() << "no exception";
    } catch (const EPGJPGFileFormatReaderWriter& e) {
        EXPECT_STREQ(e.what(), "JPG: Output file write error --- out of disk space?");
    }
    EXPECT_TRUE(ended);

    std::ofstream full("/dev/full", std::ios::binary);
    ASSERT_TRUE(full.is_open());
    TJPGFileFormatWriter writer;
    EXPECT_THROW(writer.WriteGraphic(full, *image), EPGJPGFileFormatReaderWriter);
    auto small = RedOnBlue(); // smaller than any buffer: only the final flush can fail
    std::ofstream fullAgain("/dev/full", std::ios::binary);
    EXPECT_THROW(writer.WriteGraphic(fullAgain, *small), EPGJPGFileFormatReaderWriter);
}

TEST_F(JpegTest, ExceptionsOfTheStreamAndOfProgressHandlersPassUnchanged) {
    auto image = TrueColor(300, 200);
    TRecordingBuffer buffer(5000);
    std::ostream out(&buffer);
    out.exceptions(std::ios::badbit);
    TJPGFileFormatWriter writer;
    EXPECT_THROW(writer.WriteGraphic(out, *image), std::ios_base::failure);

    int ends = 0;
    image->OnProgress = [](TPixelGraphic&, int step, int, bool&) {
        if (step == 50)
            throw std::runtime_error("stop at 50");
    };
    image->OnProgressEnd = [&](TPixelGraphic&) { ++ends; };
    try {
        WriteJpeg(*image);
        ADD_FAILURE() << "no exception";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "stop at 50");
    }
    EXPECT_EQ(ends, 1);
}

TEST_F(JpegTest, IsRegisteredForItsThreeExtensions) {
    for (const char* extension : {"jpg", "jpeg", "jif"}) {
        TFileFormatWriter* writer = FileFormatWriters().Find(extension);
        ASSERT_NE(writer, nullptr) << extension;
        EXPECT_NE(dynamic_cast<TJPGFileFormatWriter*>(writer), nullptr);
        EXPECT_EQ(writer->CanWriteResolutions, 160);
        EXPECT_EQ(writer->Description, "JPEG (JFIF compliant)");
        EXPECT_EQ(writer->Listed, std::string(extension) == "jpg");
    }
    EXPECT_NE(dynamic_cast<TJPEGFileFormatWriter*>(FileFormatWriters().Find("jpeg")), nullptr);
    EXPECT_NE(dynamic_cast<TJIFFileFormatWriter*>(FileFormatWriters().Find("jif")), nullptr);
}

TEST_F(JpegTest, SavesAFileThroughTheFramework) {
    auto image = TrueColor(40, 30);
    const std::filesystem::path path = std::filesystem::temp_directory_path() /
                                       ("codecs-save-" + std::to_string(::getpid()) + ".JPEG");
    image->SaveImageFile(path.string());
    std::ifstream file(path, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(file), {}};
    std::filesystem::remove(path);
    EXPECT_EQ(bytes, WriteJpeg(*image));
}
