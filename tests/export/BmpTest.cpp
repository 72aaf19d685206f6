#include "TestImages.h"
#include "WriterTestSupport.h"

#include <cstring>

using namespace testimages;

namespace {

class BmpTest : public WriterTest {};

// The 40-byte information header's fields, read back from a BMP file.
struct TInfo {
    std::uint32_t HeaderSize, Width, Height, PlanesAndBits, Compression, SizeImage, ColorsUsed;
};

TInfo ReadInfo(const std::string& file) {
    return {ReadLE32(file, 14), ReadLE32(file, 18), ReadLE32(file, 22), ReadLE32(file, 26),
            ReadLE32(file, 30), ReadLE32(file, 34), ReadLE32(file, 46)};
}

std::string PixelMemory(const TPixelGraphic& image) {
    return std::string(reinterpret_cast<const char*>(image.Bits()), image.ImageSize());
}

} // namespace

TEST_F(BmpTest, TrueColorFileHoldsTheRowsBottomUpWithTheirPadding) {
    auto image = TrueColor();
    const std::string file = SavedBytes(*image, "bmp");

    ASSERT_EQ(file.size(), 54u + 16 * 3);
    EXPECT_EQ(file.substr(0, 2), "BM");
    EXPECT_EQ(ReadLE32(file, 2), file.size());
    EXPECT_EQ(ReadLE32(file, 6), 0u);
    EXPECT_EQ(ReadLE32(file, 10), 54u);
    const TInfo info = ReadInfo(file);
    EXPECT_EQ(info.HeaderSize, 40u);
    EXPECT_EQ(info.Width, 5u);
    EXPECT_EQ(info.Height, 3u);
    EXPECT_EQ(info.PlanesAndBits, 1u | 24u << 16);
    EXPECT_EQ(info.Compression, 0u);
    EXPECT_EQ(info.SizeImage, 48u);
    EXPECT_EQ(info.ColorsUsed, 0u);
    EXPECT_EQ(file.substr(54), PixelMemory(*image));
    // The first stored row is the bottom row, blue first.
    const TColor bottomLeft = TrueColorAt(0, 2);
    EXPECT_EQ(ByteAt(file, 54), GetBValue(bottomLeft));
    EXPECT_EQ(ByteAt(file, 56), GetRValue(bottomLeft));
}

TEST_F(BmpTest, PaletteEntriesPrecedeThePixels) {
    const std::vector<TColor> colors{RGB(255, 0, 0), RGB(0, 0, 255), RGB(1, 2, 3)};
    auto image = Paletted(bc8Bit, colors);
    const std::string file = SavedBytes(*image, "bmp");

    EXPECT_EQ(ReadLE32(file, 2), file.size());
    EXPECT_EQ(ReadLE32(file, 10), 54u + 4 * 3);
    EXPECT_EQ(ReadInfo(file).PlanesAndBits, 1u | 8u << 16);
    EXPECT_EQ(ReadInfo(file).ColorsUsed, 3u);
    EXPECT_EQ(file.substr(54, 12),
              std::string("\x00\x00\xff\x00\xff\x00\x00\x00\x03\x02\x01\x00", 12));
    EXPECT_EQ(file.substr(66), PixelMemory(*image));

    auto bw = BlackWhite();
    const std::string bwFile = SavedBytes(*bw, "bmp");
    EXPECT_EQ(ReadInfo(bwFile).PlanesAndBits, 1u | 1u << 16);
    EXPECT_EQ(bwFile.substr(54, 8), std::string("\x00\x00\x00\x00\xff\xff\xff\x00", 8));
    EXPECT_EQ(bwFile.substr(62), PixelMemory(*bw));
}

TEST_F(BmpTest, DibStreamWriterAndClipboardShareTheBmpBytes) {
    auto image = Paletted(bc4Bit, {RGB(9, 8, 7), RGB(200, 100, 50), RGB(0, 255, 0)});
    const std::string bmp = SavedBytes(*image, "bmp");
    EXPECT_EQ(SavedBytes(*image, "DIB"), bmp);

    std::ostringstream viaImage(std::ios::binary);
    image->SaveImageStream(viaImage);
    EXPECT_EQ(viaImage.str(), bmp);
    std::ostringstream viaWriter(std::ios::binary);
    SaveImageStreamWriter().WriteGraphic(viaWriter, *image);
    EXPECT_EQ(viaWriter.str(), bmp);

    const std::vector<std::uint8_t> clip = image->CopyToClipboard();
    EXPECT_EQ(std::string(clip.begin(), clip.end()), bmp.substr(14));
}
