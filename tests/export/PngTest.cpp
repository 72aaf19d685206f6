#include "export/Png.h"

#include "TestImages.h"
#include "WriterTestSupport.h"
#include "export/LibraryWarning.h"
#include "export/WarningPrompt.h"
#include "image/PGExceptions.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

#include <png.h>

using namespace testimages;

namespace {

std::string WritePng(TPixelGraphic& image) {
    TPNGFileFormatWriter writer;
    std::ostringstream out(std::ios::binary);
    writer.WriteGraphic(out, image);
    return std::move(out).str();
}

// The chunk types of a PNG file in file order.
std::vector<std::string> ChunkTypes(const std::string& file) {
    std::vector<std::string> types;
    for (std::size_t at = 8; at + 8 <= file.size();) {
        const std::uint32_t length = static_cast<std::uint32_t>(ByteAt(file, at)) << 24 |
                                     ByteAt(file, at + 1) << 16 | ByteAt(file, at + 2) << 8 |
                                     ByteAt(file, at + 3);
        types.push_back(file.substr(at + 4, 4));
        at += 12 + length;
    }
    return types;
}

struct TDecodedPng {
    png_uint_32 Width = 0, Height = 0;
    int BitDepth = 0, ColorType = -1;
    bool HasGamma = false;
    png_fixed_point Gamma = 0;
    std::vector<png_color> Palette;
    std::vector<std::vector<std::uint8_t>> Rows; // one byte per sample, indices unpacked
};

struct TMemoryInput {
    const std::string* File;
    std::size_t Position;
};

void ReadFromMemory(png_structp png, png_bytep data, png_size_t length) {
    auto* input = static_cast<TMemoryInput*>(png_get_io_ptr(png));
    ASSERT_LE(input->Position + length, input->File->size());
    std::memcpy(data, input->File->data() + input->Position, length);
    input->Position += length;
}

// Decodes with libpng; a decoding error aborts the test program, which is what it should do.
TDecodedPng DecodePng(const std::string& file) {
    TDecodedPng result;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    TMemoryInput input{&file, 0};
    png_set_read_fn(png, &input, ReadFromMemory);
    png_read_info(png, info);
    png_get_IHDR(png, info, &result.Width, &result.Height, &result.BitDepth, &result.ColorType,
                 nullptr, nullptr, nullptr);
    result.HasGamma = png_get_gAMA_fixed(png, info, &result.Gamma) != 0;
    png_colorp palette = nullptr;
    int count = 0;
    if (png_get_PLTE(png, info, &palette, &count) != 0)
        result.Palette.assign(palette, palette + count);
    png_set_packing(png);
    png_read_update_info(png, info);
    result.Rows.assign(result.Height, std::vector<std::uint8_t>(png_get_rowbytes(png, info)));
    for (auto& row : result.Rows)
        png_read_row(png, row.data(), nullptr);
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    return result;
}

class PngTest : public WriterTest {
protected:
    void TearDown() override {
        SetWarningPrompt(nullptr);
        WriterTest::TearDown();
    }
};

} // namespace

TEST_F(PngTest, TrueColourIsRGBWithTheDefaultGamma) {
    auto image = TrueColor(5, 3);
    const std::string file = WritePng(*image);
    EXPECT_EQ(ChunkTypes(file), (std::vector<std::string>{"IHDR", "gAMA", "IDAT", "IEND"}));
    // gAMA holds 1 / 1.8 in units of 1e-5.
    const std::size_t gama = file.find("gAMA");
    ASSERT_NE(gama, std::string::npos);
    EXPECT_EQ(file.substr(gama + 4, 4), std::string("\0\0\xD9\x04", 4));
    const TDecodedPng png = DecodePng(file);
    EXPECT_EQ(png.ColorType, PNG_COLOR_TYPE_RGB);
    EXPECT_EQ(png.BitDepth, 8);
    EXPECT_TRUE(png.HasGamma);
    EXPECT_EQ(png.Gamma, 55556);
    ASSERT_EQ(png.Width, 5u);
    ASSERT_EQ(png.Height, 3u);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x) {
            const TColor c = TrueColorAt(x, y);
            EXPECT_EQ(png.Rows[y][3 * x], GetRValue(c)) << x << "," << y;
            EXPECT_EQ(png.Rows[y][3 * x + 1], GetGValue(c)) << x << "," << y;
            EXPECT_EQ(png.Rows[y][3 * x + 2], GetBValue(c)) << x << "," << y;
        }
}

TEST_F(PngTest, GammaFollowsTheImageOrIsLeftOut) {
    auto image = RedOnBlue();
    image->Gamma = 2.2L;
    EXPECT_EQ(DecodePng(WritePng(*image)).Gamma, 45455);
    WriterOptions().WriteGamma = false;
    const std::string file = WritePng(*image);
    EXPECT_EQ(ChunkTypes(file), (std::vector<std::string>{"IHDR", "IDAT", "IEND"}));
    EXPECT_FALSE(DecodePng(file).HasGamma);
}

TEST_F(PngTest, PaletteAndGreyImagesKeepTheirDepth) {
    auto blackWhite = BlackWhite(9, 3);
    std::string file = WritePng(*blackWhite);
    EXPECT_EQ(ChunkTypes(file), (std::vector<std::string>{"IHDR", "gAMA", "PLTE", "IDAT", "IEND"}));
    TDecodedPng png = DecodePng(file);
    EXPECT_EQ(png.ColorType, PNG_COLOR_TYPE_PALETTE);
    EXPECT_EQ(png.BitDepth, 1);
    ASSERT_EQ(png.Palette.size(), 2u);
    EXPECT_EQ(png.Palette[0].red + png.Palette[0].green + png.Palette[0].blue, 0);
    EXPECT_EQ(png.Palette[1].red + png.Palette[1].green + png.Palette[1].blue, 3 * 255);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 9; ++x)
            EXPECT_EQ(png.Rows[y][x], BlackAt(x, y) ? 0 : 1) << x << "," << y;

    const std::vector<TColor> colors{RGB(255, 0, 0), RGB(0, 0, 255), RGB(1, 2, 3)};
    for (TPGBitCount bitCount : {bc4Bit, bc8Bit}) {
        auto image = Paletted(bitCount, colors, 7, 3);
        png = DecodePng(WritePng(*image));
        EXPECT_EQ(png.ColorType, PNG_COLOR_TYPE_PALETTE);
        EXPECT_EQ(png.BitDepth, bitCount == bc4Bit ? 4 : 8);
        ASSERT_EQ(png.Palette.size(), 3u);
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(png.Palette[i].red, GetRValue(colors[i]));
            EXPECT_EQ(png.Palette[i].green, GetGValue(colors[i]));
            EXPECT_EQ(png.Palette[i].blue, GetBValue(colors[i]));
        }
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 7; ++x)
                EXPECT_EQ(png.Rows[y][x], (x + 2 * y) % 3);
    }

    auto grey = Gray256(5, 3);
    file = WritePng(*grey);
    EXPECT_EQ(ChunkTypes(file), (std::vector<std::string>{"IHDR", "gAMA", "IDAT", "IEND"}));
    png = DecodePng(file);
    EXPECT_EQ(png.ColorType, PNG_COLOR_TYPE_GRAY);
    EXPECT_EQ(png.BitDepth, 8);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x)
            EXPECT_EQ(png.Rows[y][x], GrayAt(x, y));
}

TEST_F(PngTest, ReportsProgressPerRowAndWritesAtTheStreamPosition) {
    auto image = TrueColor(6, 4);
    std::vector<std::string> events;
    image->OnProgressStart = [&](TPixelGraphic&) { events.push_back("start"); };
    image->OnProgress = [&](TPixelGraphic&, int step, int max, bool&) {
        events.push_back(std::to_string(step) + "/" + std::to_string(max));
    };
    image->OnProgressEnd = [&](TPixelGraphic&) { events.push_back("end"); };
    std::ostringstream out(std::ios::binary);
    out << "before";
    TPNGFileFormatWriter writer;
    writer.WriteGraphic(out, *image);
    EXPECT_EQ(events, (std::vector<std::string>{"start", "0/3", "1/3", "2/3", "3/3", "end"}));
    image->OnProgress = nullptr;
    EXPECT_EQ(out.str(), "before" + WritePng(*image));
}

TEST_F(PngTest, LibraryErrorsBecomeExceptionsAndEndProgress) {
    auto image = Paletted(bc8Bit, {RGB(1, 2, 3), RGB(200, 0, 0)});
    image->SetPixel(1, 1, 9); // beyond the palette
    int ends = 0;
    image->OnProgressEnd = [&](TPixelGraphic&) { ++ends; };
    try {
        WritePng(*image);
        ADD_FAILURE() << "no exception";
    } catch (const EPGPNGFileFormatReaderWriter& e) {
        EXPECT_STREQ(e.what(), "PNG: Wrote palette index exceeding num_palette");
    }
    EXPECT_EQ(ends, 1);

    auto zeroGamma = RedOnBlue();
    zeroGamma->Gamma = 0; // an infinite file gamma
    EXPECT_THROW(WritePng(*zeroGamma), EPGPNGFileFormatReaderWriter);
}

TEST_F(PngTest, WarningsFollowTheImagesWarningAction) {
    // A zero width is first a warning, then the error "Invalid IHDR data".
    TPixelGraphic image;
    image.SetSize(0, 3, bc24Bit);
    std::vector<std::string> prompts;
    TPGPromptResult answer = TPGPromptResult::OK;
    SetWarningPrompt(
        [&](const std::string& caption, const std::string& text, TPGPromptButtons buttons) {
            prompts.push_back(caption + "|" + text + "|" +
                              (buttons == TPGPromptButtons::OK ? "OK" : "OKCancel"));
            return answer;
        });
    auto message = [&](TPGWarningAction action) {
        image.ReadWarningAction = action;
        try {
            WritePng(image);
        } catch (const EPGPNGFileFormatReaderWriter& e) {
            return std::string(e.what());
        }
        return std::string("no exception");
    };
    EXPECT_EQ(message(pgwaIgnore), "PNG: Invalid IHDR data");
    EXPECT_TRUE(prompts.empty());
    EXPECT_EQ(message(pgwaRaise), "PNG: Image width is zero in IHDR");
    EXPECT_TRUE(prompts.empty());
    EXPECT_EQ(message(pgwaOKBox), "PNG: Invalid IHDR data");
    EXPECT_EQ(prompts, (std::vector<std::string>{"PNG Warning|Image width is zero in IHDR|OK"}));
    EXPECT_EQ(message(pgwaOKCancelBox), "PNG: Invalid IHDR data");
    answer = TPGPromptResult::Cancel;
    EXPECT_EQ(message(pgwaOKCancelBox), "PNG: Operation aborted on user request");
    EXPECT_EQ(prompts.back(), "PNG Warning|Image width is zero in IHDR|OKCancel");

    // A prompt that fails is that failure, not a library error.
    SetWarningPrompt(
        [](const std::string&, const std::string&, TPGPromptButtons) -> TPGPromptResult {
            throw std::runtime_error("no screen");
        });
    image.ReadWarningAction = pgwaOKBox;
    EXPECT_THROW(WritePng(image), std::runtime_error);

    // The JPEG writer's warnings read the same way with their own prefix.
    SetWarningPrompt(nullptr);
    EXPECT_EQ(LibraryWarningError(pgwaRaise, "JPG", "Corrupt data"), "JPG: Corrupt data");
    EXPECT_EQ(LibraryWarningError(pgwaOKCancelBox, "JPG", "Corrupt data"), std::nullopt);
}

TEST_F(PngTest, AFullDiskOrAFailingStreamStopsTheWriter) {
    auto image = TrueColor(300, 200);
    std::ofstream full("/dev/full", std::ios::binary);
    ASSERT_TRUE(full.is_open());
    TPNGFileFormatWriter writer;
    try {
        writer.WriteGraphic(full, *image);
        ADD_FAILURE() << "no exception";
    } catch (const EPGPNGFileFormatReaderWriter& e) {
        EXPECT_STREQ(e.what(), "PNG: Write Error");
    }
    auto small = RedOnBlue(); // smaller than any buffer: only the final flush can fail
    std::ofstream fullAgain("/dev/full", std::ios::binary);
    EXPECT_THROW(writer.WriteGraphic(fullAgain, *small), EPGPNGFileFormatReaderWriter);

    TRecordingBuffer buffer(100);
    std::ostream out(&buffer);
    out.exceptions(std::ios::badbit);
    EXPECT_THROW(writer.WriteGraphic(out, *image), std::ios_base::failure);
}

TEST_F(PngTest, IsRegisteredForAllResolutions) {
    TFileFormatWriter* writer = FileFormatWriters().Find("PNG");
    ASSERT_NE(dynamic_cast<TPNGFileFormatWriter*>(writer), nullptr);
    EXPECT_EQ(writer->CanWriteResolutions, 255);
    EXPECT_EQ(writer->Description, "Portable Network Graphics");
    EXPECT_TRUE(writer->Listed);
}

TEST_F(PngTest, SavesAFileThroughTheFramework) {
    auto image = TrueColor(40, 30);
    const std::filesystem::path path = std::filesystem::temp_directory_path() /
                                       ("codecs-save-" + std::to_string(::getpid()) + ".Png");
    image->SaveImageFile(path.string());
    std::ifstream file(path, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(file), {}};
    std::filesystem::remove(path);
    EXPECT_EQ(bytes, WritePng(*image));
}
