#include "image/PixelGraphic.h"
#include "image/RasterTarget.h"

#include <gtest/gtest.h>

namespace {

constexpr TColor Marker = RGB(1, 2, 3);

// 5 x 3, every pixel its own colour: red grows to the right, green downwards, on blue.
TColor SourceColor(int x, int y) {
    return RGB(10 + 40 * x, 20 + 80 * y, 200);
}

void MakeSource(TPixelGraphic& image) {
    image.SetSize(5, 3, bc24Bit);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x)
            image.SetPixel(x, y, SourceColor(x, y));
}

TRasterTarget MarkedTarget(int width, int height) {
    TRasterTarget target(width, height);
    target.Fill(Marker);
    return target;
}

} // namespace

TEST(Draw, OneToOneCopiesEveryPixelAndNothingElse) {
    TPixelGraphic image;
    MakeSource(image);
    TRasterTarget target = MarkedTarget(9, 6);
    image.DrawToContext(target, {2, 1, 7, 4}, true);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 9; ++x) {
            const bool inside = x >= 2 && x < 7 && y >= 1 && y < 4;
            EXPECT_EQ(target.PixelColor(x, y), inside ? SourceColor(x - 2, y - 1) : Marker)
                << x << "," << y;
        }
    // The words are Qt's RGB32: opaque alpha, red in bits 16-23, blue in bits 0-7.
    EXPECT_EQ(target.ScanLine(1)[2], 0xFF0A14C8u);
    EXPECT_EQ(target.BytesPerLine(), 36);
}

TEST(Draw, StretchRepeatsAndDropsWholePixels) {
    TPixelGraphic image;
    MakeSource(image);
    TRasterTarget big(10, 6);
    image.DrawToContext(big, {0, 0, 10, 6}, true);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 10; ++x)
            EXPECT_EQ(big.PixelColor(x, y), SourceColor(x / 2, y / 2)) << x << "," << y;

    // 5 -> 2 columns keeps columns 0 and 2 (0 * 5 / 2, 1 * 5 / 2); 3 -> 2 rows keeps 0 and 1.
    TRasterTarget small(2, 2);
    image.DrawToContext(small, {0, 0, 2, 2}, true);
    EXPECT_EQ(small.PixelColor(0, 0), SourceColor(0, 0));
    EXPECT_EQ(small.PixelColor(1, 0), SourceColor(2, 0));
    EXPECT_EQ(small.PixelColor(0, 1), SourceColor(0, 1));
    EXPECT_EQ(small.PixelColor(1, 1), SourceColor(2, 1));

    // 5 -> 7 columns: 0 0 1 2 2 3 4 (t * 5 / 7).
    TRasterTarget wide(7, 3);
    image.DrawToContext(wide, {0, 0, 7, 3}, true);
    const int columns[] = {0, 0, 1, 2, 2, 3, 4};
    for (int x = 0; x < 7; ++x)
        EXPECT_EQ(wide.PixelColor(x, 2), SourceColor(columns[x], 2));
}

TEST(Draw, ReversedEdgesMirrorThePicture) {
    TPixelGraphic image;
    MakeSource(image);
    TRasterTarget target = MarkedTarget(5, 3);
    image.DrawToContext(target, {5, 0, 0, 3}, true);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x)
            EXPECT_EQ(target.PixelColor(x, y), SourceColor(4 - x, y));

    image.DrawToContext(target, {0, 3, 5, 0}, true);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x)
            EXPECT_EQ(target.PixelColor(x, y), SourceColor(x, 2 - y));

    // Mirrored and doubled in both directions.
    TRasterTarget big(10, 6);
    image.DrawToContext(big, {10, 6, 0, 0}, true);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 10; ++x)
            EXPECT_EQ(big.PixelColor(x, y), SourceColor(4 - x / 2, 2 - y / 2));
}

TEST(Draw, ClippingKeepsTheMappingOfTheWholeRectangle) {
    TPixelGraphic image;
    MakeSource(image);
    TRasterTarget target = MarkedTarget(8, 6);
    target.SetClipRect({1, 1, 4, 3});
    image.DrawToContext(target, {0, 0, 10, 6}, true);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 8; ++x) {
            const bool inside = x >= 1 && x < 4 && y >= 1 && y < 3;
            EXPECT_EQ(target.PixelColor(x, y), inside ? SourceColor(x / 2, y / 2) : Marker);
        }

    // Partly off the target on every side.
    TRasterTarget small = MarkedTarget(3, 2);
    image.DrawToContext(small, {-2, -1, 3, 2}, true);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            EXPECT_EQ(small.PixelColor(x, y), SourceColor(x + 2, y + 1));
    small.SetClipRect({-5, -5, 50, 50});
    image.DrawToContext(small, {-3, 0, 2, 3}, true);
    EXPECT_EQ(small.PixelColor(0, 0), SourceColor(3, 0));
    EXPECT_EQ(small.PixelColor(1, 1), SourceColor(4, 1));
    EXPECT_EQ(small.PixelColor(2, 0), SourceColor(4, 1));

    // A rectangle wider than int can count: the middle column of the picture shows.
    image.DrawToContext(small, {-2000000000, 0, 2000000000, 3}, true);
    EXPECT_EQ(small.PixelColor(0, 0), SourceColor(2, 0));
    EXPECT_EQ(small.PixelColor(2, 1), SourceColor(2, 1));
}

TEST(Draw, PaletteImagesAreShownThroughTheirPalette) {
    TPixelGraphic bw;
    bw.SetSize(5, 3, bc1Bit);
    bw.SetPaletteCount(2);
    bw.SetPaletteEntry(0, RGB(0, 0, 255));
    bw.SetPaletteEntry(1, RGB(255, 0, 0));
    // A red L on blue.
    for (int y = 0; y < 3; ++y)
        bw.SetPixel(0, y, 1);
    bw.SetPixel(1, 2, 1);
    TRasterTarget target(5, 3);
    bw.DrawToContext(target, {0, 0, 5, 3}, true);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x)
            EXPECT_EQ(target.PixelColor(x, y), bw.GetPixelColor(x, y));
    EXPECT_EQ(target.PixelColor(1, 2), RGB(255, 0, 0));
    EXPECT_EQ(target.PixelColor(4, 0), RGB(0, 0, 255));

    TPixelGraphic sys;
    sys.SetSize(5, 3, bc4Bit);
    sys.SetPaletteIdent(pSys16);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x)
            sys.SetPixel(x, y, static_cast<std::uint32_t>(x + 5 * y));
    sys.DrawToContext(target, {5, 0, 0, 3}, true);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x)
            EXPECT_EQ(target.PixelColor(x, y), sys.GetPixelColor(4 - x, y));
    EXPECT_EQ(target.PixelColor(4, 0), RGB(0, 0, 0));
    EXPECT_EQ(target.PixelColor(3, 0), RGB(128, 0, 0));

    TPixelGraphic gray;
    gray.SetSize(5, 3, bc8Bit);
    gray.SetPaletteIdent(pGray256);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x)
            gray.SetPixel(x, y, static_cast<std::uint32_t>(17 * x + 60 * y));
    TRasterTarget big(10, 6);
    gray.DrawToContext(big, {0, 0, 10, 6}, true);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 10; ++x) {
            const int level = 17 * (x / 2) + 60 * (y / 2);
            EXPECT_EQ(big.PixelColor(x, y), RGB(level, level, level));
        }

    // Indices beyond a short palette show entry 0, as the colour table says.
    gray.SetPaletteCount(2);
    gray.DrawToContext(big, {0, 0, 5, 3}, true);
    EXPECT_EQ(big.PixelColor(0, 0), RGB(0, 0, 0));
    EXPECT_EQ(big.PixelColor(1, 0), RGB(0, 0, 0));
    gray.SetPaletteEntry(0, RGB(9, 8, 7));
    gray.DrawToContext(big, {0, 0, 5, 3}, true);
    EXPECT_EQ(big.PixelColor(4, 2), RGB(9, 8, 7));
}

TEST(Draw, RasterOpsCombineWithTheTarget) {
    TPixelGraphic image;
    MakeSource(image);
    TRasterTarget target(5, 3);
    target.Fill(RGB(0x0F, 0xF0, 0x3C));
    image.DrawToContext(target, {0, 0, 5, 3}, true, TPGRasterOp::SrcInvert);
    EXPECT_EQ(target.PixelColor(1, 2), SourceColor(1, 2) ^ RGB(0x0F, 0xF0, 0x3C));
    image.DrawToContext(target, {0, 0, 5, 3}, true, TPGRasterOp::SrcInvert);
    EXPECT_EQ(target.PixelColor(1, 2), RGB(0x0F, 0xF0, 0x3C));
    image.DrawToContext(target, {0, 0, 5, 3}, true, TPGRasterOp::SrcAnd);
    EXPECT_EQ(target.PixelColor(3, 1), SourceColor(3, 1) & RGB(0x0F, 0xF0, 0x3C));
    image.DrawToContext(target, {0, 0, 5, 3}, true, TPGRasterOp::SrcPaint);
    EXPECT_EQ(target.PixelColor(3, 1), SourceColor(3, 1));
    image.DrawToContext(target, {0, 0, 10, 6}, true, TPGRasterOp::NotSrcCopy);
    EXPECT_EQ(target.PixelColor(4, 2), SourceColor(2, 1) ^ 0xFFFFFFu);
    EXPECT_EQ(target.ScanLine(2)[4] >> 24, 0xFFu);
}

TEST(Draw, NothingIsDrawnForEmptyImagesOrRectangles) {
    TPixelGraphic empty;
    TRasterTarget target = MarkedTarget(4, 4);
    empty.DrawToContext(target, {0, 0, 4, 4}, true);
    empty.SetSize(0, 5, bc24Bit);
    empty.DrawToContext(target, {0, 0, 4, 4}, true);

    TPixelGraphic image;
    MakeSource(image);
    image.DrawToContext(target, {2, 0, 2, 4}, true);
    image.DrawToContext(target, {0, 3, 4, 3}, true);
    image.DrawToContext(target, {4, 4, 9, 9}, true);
    target.SetClipRect({3, 3, 1, 1});
    image.DrawToContext(target, {0, 0, 4, 4}, true);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(target.PixelColor(x, y), Marker);
}

TEST(Draw, TargetOverForeignMemoryUsesItInPlace) {
    std::vector<std::uint32_t> memory(5 * 3, 0);
    TRasterTarget target(memory.data(), 5, 3);
    TPixelGraphic image;
    MakeSource(image);
    image.DrawToContext(target, {0, 0, 5, 3}, false);
    EXPECT_EQ(memory[2 * 5 + 4], TRasterTarget::FromColor(SourceColor(4, 2)));
    EXPECT_EQ(TRasterTarget::ToColor(memory[0]), SourceColor(0, 0));
}
