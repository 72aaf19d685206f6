#include "TestImages.h"
#include "WriterTestSupport.h"

#include "image/PGExceptions.h"

using namespace testimages;

namespace {

class TargaTest : public WriterTest {};

} // namespace

TEST_F(TargaTest, TrueColorRowsAreUnpaddedAndBottomFirst) {
    auto image = TrueColor();
    const std::string file = SavedBytes(*image, "tga");

    ASSERT_EQ(file.size(), 18u + 3 * 15);
    EXPECT_EQ(file.substr(0, 18), std::string("\x00\x00\x02\x00\x00\x00\x00\x00\x00\x00\x00\x00"
                                              "\x05\x00\x03\x00\x18\x00",
                                              18));
    for (int row = 0; row < 3; ++row)
        for (int x = 0; x < 5; ++x) {
            const TColor c = TrueColorAt(x, 2 - row);
            const std::size_t at = 18 + 15 * row + 3 * x;
            EXPECT_EQ(ByteAt(file, at), GetBValue(c));
            EXPECT_EQ(ByteAt(file, at + 1), GetGValue(c));
            EXPECT_EQ(ByteAt(file, at + 2), GetRValue(c));
        }
}

TEST_F(TargaTest, ColorMappedFileCarriesTheWholePalette) {
    auto image = std::make_unique<TPixelGraphic>();
    image->SetSize(5, 2, bc8Bit);
    image->SetPaletteIdent(pSpecial252);
    ASSERT_EQ(image->PaletteCount(), 252);
    for (int x = 0; x < 5; ++x) {
        image->SetPixel(x, 0, 250 - x);
        image->SetPixel(x, 1, 3 * x);
    }
    const std::string file = SavedBytes(*image, "tga");

    ASSERT_EQ(file.size(), 18u + 756 + 10);
    EXPECT_EQ(ByteAt(file, 1), 1);
    EXPECT_EQ(ByteAt(file, 2), 1);
    EXPECT_EQ(ReadLE16(file, 3), 0u);
    EXPECT_EQ(ReadLE16(file, 5), 252u);
    EXPECT_EQ(ByteAt(file, 7), 24);
    EXPECT_EQ(ReadLE16(file, 12), 5u);
    EXPECT_EQ(ReadLE16(file, 14), 2u);
    EXPECT_EQ(ByteAt(file, 16), 8);
    EXPECT_EQ(ByteAt(file, 17), 0);
    for (int i = 0; i < 252; ++i) {
        const TColor c = image->PaletteColor(i);
        ASSERT_EQ(ByteAt(file, 18 + 3 * i), GetBValue(c)) << i;
        ASSERT_EQ(ByteAt(file, 19 + 3 * i), GetGValue(c)) << i;
        ASSERT_EQ(ByteAt(file, 20 + 3 * i), GetRValue(c)) << i;
    }
    EXPECT_EQ(file.substr(18 + 756), std::string("\x00\x03\x06\x09\x0c\xfa\xf9\xf8\xf7\xf6", 10));
}

TEST_F(TargaTest, SidesBeyondSixteenBitsAreRefusedBeforeWriting) {
    auto image = std::make_unique<TPixelGraphic>();
    image->SetSize(65536, 1, bc8Bit);
    image->SetPaletteIdent(pSpecial252);
    TRecordingBuffer buffer;
    std::ostream stream(&buffer);
    try {
        MakeWriter("tga")->WriteGraphic(stream, *image);
        ADD_FAILURE() << "a width of 65536 was written";
    } catch (const EPixelGraphic& e) {
        EXPECT_STREQ(e.what(), "Width out of range");
    }
    EXPECT_TRUE(buffer.Data.empty());

    image->SetSize(65535, 1, bc8Bit);
    EXPECT_EQ(ReadLE16(SavedBytes(*image, "tga"), 12), 65535u);
}

TEST_F(TargaTest, ProgressCountsMemoryRows) {
    auto image = TrueColor(2, 2);
    std::vector<int> steps;
    int ends = 0;
    image->OnProgress = [&](TPixelGraphic&, int step, int max, bool&) {
        EXPECT_EQ(max, 2);
        steps.push_back(step);
    };
    image->OnProgressEnd = [&](TPixelGraphic&) { ++ends; };
    SavedBytes(*image, "tga");
    EXPECT_EQ(steps, (std::vector<int>{0, 1}));
    EXPECT_EQ(ends, 1);
}
