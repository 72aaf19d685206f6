#include "image/PixelGraphic.h"
#include "image/LibraryMessages.h"
#include "image/PGExceptions.h"
#include "image/ScreenGamma.h"
#include "image/StreamErrors.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr TColor Red = RGB(255, 0, 0);
constexpr TColor Blue = RGB(0, 0, 255);
constexpr TColor Green = RGB(0, 255, 0);

std::uint32_t LE16(const std::string& s, std::size_t at) {
    return static_cast<std::uint8_t>(s[at]) | static_cast<std::uint8_t>(s[at + 1]) << 8;
}
std::uint32_t LE32(const std::string& s, std::size_t at) {
    return LE16(s, at) | LE16(s, at + 2) << 16;
}

// Raw value of pixel (x, y) of an uncompressed bottom-up BMP file, read from its bytes alone.
std::uint32_t BMPPixel(const std::string& file, int x, int y) {
    const int width = static_cast<int>(LE32(file, 18));
    const int height = static_cast<int>(LE32(file, 22));
    const int bits = static_cast<int>(LE16(file, 28));
    const std::size_t stride = (bits * width + 31) / 32 * 4;
    const std::size_t row = LE32(file, 10) + stride * static_cast<std::size_t>(height - 1 - y);
    const auto byte = [&](std::size_t at) { return static_cast<std::uint8_t>(file[row + at]); };
    switch (bits) {
    case 1:
        return (byte(x / 8) >> (7 - x % 8)) & 1;
    case 4:
        return x % 2 ? byte(x / 2) & 15 : byte(x / 2) >> 4;
    case 8:
        return byte(x);
    default:
        return RGB(byte(3 * x + 2), byte(3 * x + 1), byte(3 * x));
    }
}

// Red pixels on a blue 5 x 3 field: the top row and the right column are red, so that flipped
// rows, mirrored columns and swapped channels all show.
void PaintAsymmetric(TPixelGraphic& image, std::uint32_t background, std::uint32_t mark) {
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x)
            image.SetPixel(x, y, y == 0 || x == 4 ? mark : background);
}

void ExpectAsymmetric(const TPixelGraphic& image, std::uint32_t background, std::uint32_t mark) {
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x)
            EXPECT_EQ(image.GetPixel(x, y), y == 0 || x == 4 ? mark : background)
                << "at " << x << "," << y;
}

bool AllZero(const TPixelGraphic& image) {
    const std::uint8_t* bits = image.Bits();
    for (int i = 0; i < image.ImageSize(); ++i)
        if (bits[i] != 0)
            return false;
    return true;
}

struct ChangeCounter {
    int count = 0;
    TPixelGraphic* lastSender = nullptr;
    void Attach(TPixelGraphic& image) {
        image.OnChange = [this](TPixelGraphic& sender) {
            ++count;
            lastSender = &sender;
        };
    }
};

} // namespace

TEST(PixelGraphicTest, NewImageIsEmptyTrueColourWithTheLibraryDefaults) {
    TPixelGraphic image;
    EXPECT_TRUE(image.IsEmpty());
    EXPECT_EQ(image.Width(), 0);
    EXPECT_EQ(image.Height(), 0);
    EXPECT_EQ(image.BitCount(), bc24Bit);
    EXPECT_EQ(image.PaletteIdent(), pTrueColor);
    EXPECT_EQ(image.ScanLine(0), nullptr);
    EXPECT_EQ(image.Gamma, 1.8L);

    const long double saved = ScreenGamma();
    ScreenGamma() = 2.2L;
    TPixelGraphic later;
    ScreenGamma() = saved;
    EXPECT_EQ(later.Gamma, 2.2L);
}

TEST(PixelGraphicTest, StridesSizesAndHeaderFollowTheFormat) {
    struct Case {
        int width, height;
        TPGBitCount bitCount;
        int bytesPerRow, slots;
    };
    for (const Case c :
         {Case{400, 300, bc24Bit, 1200, 0}, Case{3, 1, bc1Bit, 4, 2}, Case{33, 2, bc1Bit, 8, 2},
          Case{9, 3, bc4Bit, 8, 16}, Case{5, 3, bc8Bit, 8, 256}, Case{5, 3, bc24Bit, 16, 0}}) {
        TPixelGraphic image;
        image.SetSize(c.width, c.height, c.bitCount);
        EXPECT_EQ(image.BytesPerRow(), c.bytesPerRow);
        EXPECT_EQ(image.ImageSize(), c.bytesPerRow * c.height);
        EXPECT_FALSE(image.IsEmpty());
        EXPECT_TRUE(AllZero(image));
        EXPECT_EQ(image.ScanLine(0), image.Bits() + c.bytesPerRow * (c.height - 1));
        EXPECT_EQ(image.ScanLine(c.height - 1), image.Bits());

        const std::string header(reinterpret_cast<const char*>(image.BitmapInfo()),
                                 static_cast<std::size_t>(image.BitmapInfoSize()));
        ASSERT_EQ(header.size(), 40u + 4u * static_cast<unsigned>(c.slots));
        EXPECT_EQ(LE32(header, 0), 40u);
        EXPECT_EQ(LE32(header, 4), static_cast<unsigned>(c.width));
        EXPECT_EQ(LE32(header, 8), static_cast<unsigned>(c.height));
        EXPECT_EQ(LE16(header, 12), 1u);
        EXPECT_EQ(LE16(header, 14), static_cast<unsigned>(image.BitCountNum()));
        EXPECT_EQ(LE32(header, 16), 0u);
        EXPECT_EQ(LE32(header, 20), static_cast<unsigned>(image.ImageSize()));
        EXPECT_EQ(LE32(header, 32), static_cast<unsigned>(c.slots));
    }
    TPixelGraphic flat;
    flat.SetSize(7, 0, bc8Bit);
    EXPECT_TRUE(flat.IsEmpty());
    EXPECT_EQ(flat.BytesPerRow(), 8);
    EXPECT_EQ(flat.ImageSize(), 0);
    EXPECT_EQ(flat.BitmapInfoSize(), 0);
}

TEST(PixelGraphicTest, PixelsLieBottomUpInTheDocumentedByteLayout) {
    TPixelGraphic image;
    image.SetSize(400, 300, bc24Bit);
    image.SetPixel(0, 0, Red);
    const std::uint8_t* lastStoredRow = image.Bits() + 1200 * 299;
    EXPECT_EQ(lastStoredRow[0], 0);
    EXPECT_EQ(lastStoredRow[1], 0);
    EXPECT_EQ(lastStoredRow[2], 255);
    image.SetPixel(1, 299, RGB(1, 2, 3));
    EXPECT_EQ(image.Bits()[3], 3);
    EXPECT_EQ(image.Bits()[4], 2);
    EXPECT_EQ(image.Bits()[5], 1);
    EXPECT_EQ(image.GetPixel(1, 299), RGB(1, 2, 3));

    TPixelGraphic one;
    one.SetSize(10, 3, bc1Bit);
    one.SetPixel(1, 0, 1);
    one.SetPixel(9, 0, 1);
    EXPECT_EQ(one.ScanLine(0)[0], 0x40);
    EXPECT_EQ(one.ScanLine(0)[1], 0x40);
    one.SetPixel(1, 0, 2); // any value but 1 clears the bit
    EXPECT_EQ(one.ScanLine(0)[0], 0x00);

    TPixelGraphic four;
    four.SetSize(5, 3, bc4Bit);
    four.SetPixel(0, 2, 0xA);
    four.SetPixel(1, 2, 0x15); // only the low four bits are kept
    four.SetPixel(4, 2, 0x7);
    EXPECT_EQ(four.Bits()[0], 0xA5);
    EXPECT_EQ(four.Bits()[2], 0x70);
    EXPECT_EQ(four.GetPixel(1, 2), 0x5u);

    TPixelGraphic eight;
    eight.SetSize(5, 3, bc8Bit);
    eight.SetPixel(3, 1, 0x1C7);
    EXPECT_EQ(eight.Bits()[8 + 3], 0xC7);

    struct Case {
        TPGBitCount bitCount;
        std::uint32_t background, mark;
    };
    for (const Case c : {Case{bc1Bit, 0, 1}, Case{bc4Bit, 3, 12}, Case{bc8Bit, 7, 200},
                         Case{bc24Bit, Blue, Red}}) {
        TPixelGraphic picture;
        picture.SetSize(5, 3, c.bitCount);
        PaintAsymmetric(picture, c.background, c.mark);
        ExpectAsymmetric(picture, c.background, c.mark);
    }
}

TEST(PixelGraphicTest, AccessOutsideTheImageIsSilentUnlessRangeErrorsAreRaised) {
    TPixelGraphic image;
    image.SetSize(400, 300, bc24Bit);
    image.SetBackgroundColor(RGB(9, 8, 7));
    image.SetPixel(1023, 767, 0xFFFFFF);
    image.SetPixel(-1, 0, 0xFFFFFF);
    image.SetPixel(0, 300, 0xFFFFFF);
    EXPECT_TRUE(AllZero(image));
    EXPECT_EQ(image.GetPixel(-1, 0), RGB(9, 8, 7));
    EXPECT_EQ(image.GetPixel(400, 0), RGB(9, 8, 7));

    for (TPGBitCount bitCount : {bc1Bit, bc8Bit, bc24Bit}) {
        TPixelGraphic strict;
        strict.SetSize(4, 4, bitCount);
        strict.RaiseRangeErrors = true;
        EXPECT_NO_THROW(strict.SetPixel(3, 3, 1));
        try {
            strict.SetPixel(4, 0, 1);
            FAIL() << "no range error";
        } catch (const EPGXYIndexOutOfRange& e) {
            EXPECT_STREQ(e.what(), "X, Y index out of range");
        }
        EXPECT_THROW(strict.GetPixel(0, -1), EPGXYIndexOutOfRange);
    }
}

TEST(PixelGraphicTest, ResizingClearsOrDiscardsAndRefusesNegativeSizes) {
    TPixelGraphic image;
    ChangeCounter changes;
    changes.Attach(image);
    image.SetSize(5, 3, bc24Bit);
    EXPECT_EQ(changes.count, 1);
    const std::uint8_t* memory = image.Bits();

    // The same values keep the memory and clear it to the background.
    image.SetPixel(2, 1, Red);
    image.SetBackgroundColor(Green);
    image.SetSize(5, 3, bc24Bit);
    EXPECT_EQ(image.Bits(), memory);
    EXPECT_EQ(changes.count, 2);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x)
            EXPECT_EQ(image.GetPixel(x, y), Green);

    image.SetBitCount(bc8Bit);
    EXPECT_EQ(image.BitCount(), bc8Bit);
    EXPECT_TRUE(AllZero(image));
    image.ChangeWidth(6);
    image.ChangeHeight(2);
    EXPECT_EQ(image.Width(), 6);
    EXPECT_EQ(image.Height(), 2);
    image.ChangeWidth(6); // unchanged: no reallocation, no notification
    EXPECT_EQ(changes.count, 5);

    image.SetPixel(1, 1, 42);
    try {
        image.SetSize(-1, -1, bc1Bit);
        FAIL() << "negative width accepted";
    } catch (const EPGInvalidSize& e) {
        EXPECT_STREQ(e.what(), "Negative width");
    }
    try {
        image.SetSize(3, -1, bc1Bit);
        FAIL() << "negative height accepted";
    } catch (const EPGInvalidSize& e) {
        EXPECT_STREQ(e.what(), "Negative height");
    }
    EXPECT_EQ(image.Width(), 6);
    EXPECT_EQ(image.Height(), 2);
    EXPECT_EQ(image.BitCount(), bc8Bit);
    EXPECT_EQ(image.GetPixel(1, 1), 42u);
    EXPECT_EQ(changes.count, 5);
}

TEST(PixelGraphicTest, ClearFillsWithTheRawBackgroundOfEveryFormat) {
    for (const auto& [bitCount, background] :
         {std::pair{bc1Bit, 1u}, std::pair{bc4Bit, 9u}, std::pair{bc8Bit, 77u},
          std::pair{bc24Bit, RGB(10, 20, 30)}}) {
        TPixelGraphic image;
        // A 24-bit image stores the background unchanged, and it stays raw across SetSize.
        image.SetBackgroundColor(background);
        image.SetSize(7, 3, bitCount);
        ChangeCounter changes;
        changes.Attach(image);
        image.Clear();
        EXPECT_EQ(changes.count, 1);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 7; ++x)
                EXPECT_EQ(image.GetPixel(x, y), background) << "at " << x << "," << y;
    }
    TPixelGraphic empty;
    ChangeCounter changes;
    changes.Attach(empty);
    empty.Clear();
    EXPECT_EQ(changes.count, 0);
}

TEST(PixelGraphicTest, UpdateBracketsHoldBackNotificationsUntilTheOutermostEnd) {
    TPixelGraphic image;
    TPixelGraphic other;
    ChangeCounter changes;
    changes.Attach(image);
    image.SetSize(4, 4, bc24Bit);
    EXPECT_EQ(changes.count, 1);
    image.SetPixel(1, 1, Red);
    image.SetPixelColor(2, 2, Red);
    EXPECT_EQ(changes.count, 1);

    image.BeginUpdate();
    image.BeginUpdate();
    image.SetSize(8, 8, bc24Bit);
    image.NotifyChange(&image);
    image.EndUpdate();
    EXPECT_EQ(changes.count, 1);
    image.EndUpdate();
    EXPECT_EQ(changes.count, 2);
    EXPECT_EQ(image.UpdateCount(), 0);

    // The listener hears of the image itself, whoever asked for the notification.
    image.NotifyChange(&other);
    EXPECT_EQ(changes.count, 3);
    EXPECT_EQ(changes.lastSender, &image);

    // A stray EndUpdate must not silence the image for good.
    image.EndUpdate();
    EXPECT_EQ(image.UpdateCount(), 0);
    image.NotifyChange(&image);
    EXPECT_EQ(changes.count, 5);
}

TEST(PixelGraphicTest, PendingDrawingIsFlushedBeforeDirectPixelAccess) {
    TPixelGraphic image;
    image.SetSize(3, 2, bc24Bit);
    int flushes = 0;
    image.OnFlushPendingDrawing = [&] {
        ++flushes;
        image.Bits(); // the hook may touch the image without recursing
    };
    image.SetGdiPending(true);
    image.GetPixel(0, 0);
    EXPECT_EQ(flushes, 1);
    EXPECT_FALSE(image.GdiPending());
    image.SetPixel(0, 0, 1);
    EXPECT_EQ(flushes, 1);
    image.SetGdiPending(true);
    image.SetPixel(0, 0, 1);
    image.SetGdiPending(true);
    image.ScanLine(1);
    image.SetGdiPending(true);
    image.Clear();
    image.SetGdiPending(true);
    std::ostringstream out;
    image.SaveImageStream(out);
    EXPECT_EQ(flushes, 5);
}

TEST(PixelGraphicTest, ColoursOfPaletteImagesGoThroughTheNearestEntry) {
    TPixelGraphic image;
    image.SetSize(4, 2, bc8Bit);
    image.SetPaletteCount(3);
    image.SetPaletteEntry(0, RGB(0, 0, 0));
    image.SetPaletteEntry(1, RGB(250, 10, 10));
    image.SetPaletteEntry(2, RGB(10, 10, 250));
    image.SetPixelColor(1, 0, RGB(200, 0, 0));
    image.SetPixelColor(2, 0, RGB(0, 0, 180));
    EXPECT_EQ(image.GetPixel(1, 0), 1u);
    EXPECT_EQ(image.GetPixel(2, 0), 2u);
    EXPECT_EQ(image.GetPixelColor(1, 0), RGB(250, 10, 10));
    image.SetBackgroundColor(RGB(20, 20, 240));
    EXPECT_EQ(image.BackgroundColorRaw(), 2u);
    EXPECT_EQ(image.GetBackgroundColor(), RGB(10, 10, 250));
    EXPECT_EQ(image.GetPixelColor(-5, 0), RGB(10, 10, 250));
    // The header's colour table follows the entries.
    EXPECT_EQ(image.BitmapInfo()[40 + 4 * 1 + 2], 250);
    EXPECT_EQ(image.BitmapInfo()[40 + 4 * 2 + 0], 250);

    image.SetPixel(3, 1, 200);
    EXPECT_THROW(image.GetPixelColor(3, 1), EPGInvalidPaletteIndex);

    TPixelGraphic trueColour;
    trueColour.SetSize(1, 1, bc24Bit);
    trueColour.SetPixelColor(0, 0, RGB(1, 2, 3));
    EXPECT_EQ(trueColour.GetPixelColor(0, 0), RGB(1, 2, 3));
}

TEST(PixelGraphicTest, BitCountNumbersConvertBothWays) {
    for (const auto& [num, bitCount] : {std::pair{1, bc1Bit}, std::pair{4, bc4Bit},
                                        std::pair{8, bc8Bit}, std::pair{24, bc24Bit}}) {
        EXPECT_EQ(TPixelGraphic::BitCountFromNum(num), bitCount);
        TPixelGraphic image;
        image.SetSize(1, 1, bitCount);
        EXPECT_EQ(image.BitCountNum(), num);
    }
    for (int bad : {0, 2, 16, 32, -1}) {
        try {
            TPixelGraphic::BitCountFromNum(bad);
            FAIL() << bad << " accepted";
        } catch (const EPGInvalidBitCountNum& e) {
            EXPECT_STREQ(e.what(), "Invalid value for BitCountNum");
        }
    }
}

TEST(PixelGraphicTest, AssignImageCopiesPixelsPaletteAndSettingsButNotListeners) {
    TPixelGraphic source;
    source.SetSize(5, 3, bc8Bit);
    source.SetPaletteCount(2);
    source.SetPaletteEntry(0, Blue);
    source.SetPaletteEntry(1, Red);
    PaintAsymmetric(source, 0, 1);
    source.SetBackgroundColor(Red);
    source.Dither = false;
    source.DitherErrorLimit = 7;
    source.DitherErrorLimitAuto = false;
    source.DitherErrorLimitSoft = false;
    source.Gamma = 2.5L;
    source.StretchMode = smFast;
    source.ReadWarningAction = pgwaRaise;
    source.Transparent = true;
    source.RaiseRangeErrors = true;
    source.SaveColorResWarningAction = pgwaIgnore;
    bool sourceHeard = false;
    source.OnChange = [&](TPixelGraphic&) { sourceHeard = true; };
    source.OnProgress = [](TPixelGraphic&, int, int, bool&) {};

    TPixelGraphic target;
    target.SetSize(2, 2, bc24Bit);
    ChangeCounter changes;
    changes.Attach(target);
    target.AssignImage(&source);
    EXPECT_EQ(changes.count, 1);
    EXPECT_FALSE(sourceHeard);
    EXPECT_FALSE(target.OnProgress);
    EXPECT_EQ(target.Width(), 5);
    EXPECT_EQ(target.Height(), 3);
    EXPECT_EQ(target.BitCount(), bc8Bit);
    EXPECT_NE(target.Bits(), source.Bits());
    ExpectAsymmetric(target, 0, 1);
    EXPECT_EQ(target.PaletteEntries(), (std::vector<TColor>{Blue, Red}));
    EXPECT_EQ(target.PaletteIdent(), pUnknown);
    EXPECT_EQ(target.BackgroundColorRaw(), 1u);
    EXPECT_FALSE(target.Dither);
    EXPECT_EQ(target.DitherErrorLimit, 7);
    EXPECT_FALSE(target.DitherErrorLimitAuto);
    EXPECT_FALSE(target.DitherErrorLimitSoft);
    EXPECT_EQ(target.Gamma, 2.5L);
    EXPECT_EQ(target.StretchMode, smFast);
    EXPECT_EQ(target.ReadWarningAction, pgwaRaise);
    EXPECT_TRUE(target.Transparent);
    EXPECT_TRUE(target.RaiseRangeErrors);
    EXPECT_EQ(target.SaveColorResWarningAction, pgwaIgnore);
    EXPECT_EQ(target.BitmapInfo()[40 + 4 + 2], 255); // slot 1 red in the colour table

    // Assigning an image to itself leaves it as it is.
    target.AssignImage(&target);
    ExpectAsymmetric(target, 0, 1);
    EXPECT_EQ(changes.count, 2);

    target.AssignImage(nullptr);
    EXPECT_TRUE(target.IsEmpty());
    EXPECT_EQ(target.BitCount(), bc24Bit);
    EXPECT_EQ(target.PaletteIdent(), pTrueColor);
    EXPECT_EQ(target.PaletteCount(), 0);
    EXPECT_EQ(changes.count, 3);
}

TEST(PixelGraphicTest, RefusedPixelMemoryLeavesAnEmptyImageAndStillNotifiesAssignment) {
    TPixelGraphic huge;
    try {
        huge.SetSize(70000, 70000, bc24Bit);
        FAIL() << "an image of more than 2 GiB was allocated";
    } catch (const EPixelGraphic& e) {
        EXPECT_STREQ(e.what(), "CreateDIBSection failed");
    }
    EXPECT_EQ(huge.Width(), 70000);
    EXPECT_EQ(huge.Height(), 70000);
    EXPECT_TRUE(huge.IsEmpty());
    EXPECT_EQ(huge.ImageSize(), 0);
    EXPECT_EQ(huge.ScanLine(0), nullptr);
    huge.SetPixel(10, 10, Red); // inside the stored size, but there is nothing to write to
    EXPECT_EQ(huge.GetPixel(10, 10), 0u);

    TPixelGraphic target;
    ChangeCounter changes;
    changes.Attach(target);
    EXPECT_THROW(target.AssignImage(&huge), EPixelGraphic);
    EXPECT_EQ(changes.count, 1);
    EXPECT_EQ(target.UpdateCount(), 0);

    // The same size again retries the allocation instead of clearing nothing.
    huge.SetSize(1, 1, bc8Bit);
    huge.SetSize(1, 1, bc8Bit);
    EXPECT_FALSE(huge.IsEmpty());
}

TEST(PixelGraphicTest, BMPOutputHoldsTheHeaderPaletteAndRowsAsInMemory) {
    TPixelGraphic image;
    image.SetSize(5, 3, bc24Bit);
    PaintAsymmetric(image, Blue, Red);
    std::ostringstream out;
    image.SaveImageStream(out);
    const std::string file = out.str();
    ASSERT_EQ(file.size(), 54u + 16u * 3u);
    EXPECT_EQ(file.substr(0, 2), "BM");
    EXPECT_EQ(LE32(file, 2), file.size());
    EXPECT_EQ(LE32(file, 6), 0u);
    EXPECT_EQ(LE32(file, 10), 54u);
    EXPECT_EQ(LE32(file, 14), 40u);
    EXPECT_EQ(LE32(file, 18), 5u);
    EXPECT_EQ(LE32(file, 22), 3u);
    EXPECT_EQ(LE16(file, 26), 1u);
    EXPECT_EQ(LE16(file, 28), 24u);
    EXPECT_EQ(LE32(file, 30), 0u);
    EXPECT_EQ(LE32(file, 34), 48u);
    EXPECT_EQ(LE32(file, 46), 0u);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x)
            EXPECT_EQ(BMPPixel(file, x, y), image.GetPixel(x, y));
    EXPECT_EQ(file.compare(54, 48, reinterpret_cast<const char*>(image.Bits()), 48), 0);

    TPixelGraphic palette;
    palette.SetSize(5, 3, bc4Bit);
    palette.SetPaletteCount(3);
    palette.SetPaletteEntry(1, RGB(1, 2, 3));
    palette.SetPaletteEntry(2, Red);
    PaintAsymmetric(palette, 1, 2);
    std::ostringstream dib;
    palette.WriteDIB(dib);
    std::ostringstream bmp;
    palette.SaveImageStream(bmp);
    const std::string paletteFile = bmp.str();
    EXPECT_EQ(paletteFile.substr(14), dib.str());
    ASSERT_EQ(paletteFile.size(), 54u + 12u + 12u);
    EXPECT_EQ(LE32(paletteFile, 10), 66u);
    EXPECT_EQ(LE16(paletteFile, 28), 4u);
    EXPECT_EQ(LE32(paletteFile, 46), 3u);
    EXPECT_EQ(paletteFile.substr(58, 4), std::string("\x03\x02\x01\x00", 4));
    EXPECT_EQ(paletteFile.substr(62, 4), std::string("\x00\x00\xFF\x00", 4));
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x)
            EXPECT_EQ(BMPPixel(paletteFile, x, y), palette.GetPixel(x, y));
}

TEST(PixelGraphicTest, StoredImageRoundTripsEveryFormatAndStopsBehindItself) {
    struct Case {
        TPGBitCount bitCount;
        std::uint32_t background, mark;
        std::vector<TColor> palette;
    };
    for (const Case& c : {Case{bc1Bit, 0, 1, {RGB(0, 0, 0), RGB(255, 255, 255)}},
                          Case{bc4Bit, 2, 5, {Red, Green, Blue, 0, 0, RGB(7, 8, 9)}},
                          Case{bc8Bit, 0, 250, {}}, Case{bc24Bit, Blue, Red, {}}}) {
        TPixelGraphic image;
        image.SetSize(5, 3, c.bitCount);
        image.SetPaletteCount(static_cast<int>(c.palette.size()));
        for (std::size_t i = 0; i < c.palette.size(); ++i)
            image.SetPaletteEntry(static_cast<int>(i), c.palette[i]);
        PaintAsymmetric(image, c.background, c.mark);

        std::stringstream stream;
        image.WriteStoredImage(stream);
        stream << "tail";
        const std::string stored = stream.str();
        EXPECT_EQ(LE32(stored, 0), stored.size() - 8);
        EXPECT_EQ(stored.substr(4, 2), "BM");

        TPixelGraphic copy;
        copy.SetSize(9, 9, bc24Bit);
        ChangeCounter changes;
        changes.Attach(copy);
        copy.ReadStoredImage(stream);
        EXPECT_EQ(changes.count, 1);
        EXPECT_EQ(copy.Width(), 5);
        EXPECT_EQ(copy.Height(), 3);
        EXPECT_EQ(copy.BitCount(), c.bitCount);
        EXPECT_EQ(copy.PaletteEntries(), c.palette);
        ExpectAsymmetric(copy, c.background, c.mark);
        std::string rest;
        stream >> rest;
        EXPECT_EQ(rest, "tail");
    }
    TPixelGraphic blackWhite;
    std::stringstream stream;
    blackWhite.SetSize(2, 2, bc1Bit);
    blackWhite.SetPaletteCount(2);
    blackWhite.SetPaletteEntry(1, RGB(255, 255, 255));
    blackWhite.WriteStoredImage(stream);
    TPixelGraphic copy;
    copy.ReadStoredImage(stream);
    EXPECT_EQ(copy.PaletteIdent(), pBlackWhite);

    TPixelGraphic empty;
    std::stringstream emptyStream;
    empty.WriteStoredImage(emptyStream);
    copy.ReadStoredImage(emptyStream);
    EXPECT_TRUE(copy.IsEmpty());
    EXPECT_EQ(copy.PaletteIdent(), pTrueColor);
}

TEST(PixelGraphicTest, DamagedStoredImagesAreRefusedAndLeaveAnEmptyImage) {
    TPixelGraphic image;
    image.SetSize(5, 3, bc24Bit);
    PaintAsymmetric(image, Blue, Red);
    std::ostringstream out;
    image.WriteStoredImage(out);
    const std::string good = out.str();

    const auto read = [](const std::string& bytes, TPixelGraphic& target) {
        std::istringstream in(bytes);
        target.ReadStoredImage(in);
    };
    TPixelGraphic target;
    target.SetSize(2, 2, bc24Bit);
    ChangeCounter changes;
    changes.Attach(target);

    EXPECT_THROW(read(good.substr(0, good.size() - 1), target), EReadError);
    EXPECT_THROW(read(good.substr(0, 3), target), EReadError);
    EXPECT_EQ(target.Width(), 2); // nothing read, nothing changed
    EXPECT_EQ(changes.count, 0);

    std::string wrongSignature = good;
    wrongSignature[4] = 'X';
    try {
        read(wrongSignature, target);
        FAIL() << "a file without the BMP signature was read";
    } catch (const EPGBMPFileFormatReader& e) {
        EXPECT_STREQ(e.what(), "Not a BMP file");
    }
    EXPECT_TRUE(target.IsEmpty());
    EXPECT_EQ(changes.count, 1);

    std::string compressed = good;
    compressed[4 + 30] = 1;
    EXPECT_THROW(read(compressed, target), EPGBMPFileFormatReader);

    // A header that promises more rows than the file holds.
    std::string tall = good;
    tall[4 + 22] = 100;
    EXPECT_THROW(read(tall, target), EPGBMPFileFormatReader);
    std::string hugeLength = good;
    hugeLength[3] = '\x7F';
    EXPECT_THROW(read(hugeLength, target), EReadError);
}

TEST(PixelGraphicTest, FailingStreamsRaiseStreamErrors) {
    TPixelGraphic image;
    image.SetSize(400, 300, bc24Bit);
    std::ofstream full("/dev/full", std::ios::binary);
    ASSERT_TRUE(full.is_open());
    EXPECT_THROW(image.SaveImageStream(full), EWriteError);

    std::ostringstream closed;
    closed.setstate(std::ios::badbit);
    try {
        image.WriteDIB(closed);
        FAIL() << "writing to a failed stream succeeded";
    } catch (const EStreamError& e) {
        EXPECT_STREQ(e.what(), "Stream write error");
    }
    std::istringstream shortInput("ab");
    char buffer[3];
    try {
        ReadBuffer(shortInput, buffer, 3);
        FAIL() << "a short read succeeded";
    } catch (const EReadError& e) {
        EXPECT_STREQ(e.what(), "Stream read error");
    }
    EXPECT_STREQ(EFCreateError("/x/y.bmp", "No such file or directory").what(),
                 "Cannot create file \"/x/y.bmp\". No such file or directory");
}

TEST(PixelGraphicTest, LoadingWithoutAReaderResetsTheImageAndReportsAnUnknownFormat) {
    TPixelGraphic image;
    image.SetSize(5, 3, bc8Bit);
    ChangeCounter changes;
    changes.Attach(image);
    try {
        image.LoadImageFile("picture.xyz");
        FAIL() << "an unknown file was loaded";
    } catch (const EPGUnknownFileFormat& e) {
        EXPECT_STREQ(e.what(), "Unknown file format");
    }
    EXPECT_TRUE(image.IsEmpty());
    EXPECT_EQ(image.BitCount(), bc24Bit);
    EXPECT_EQ(changes.count, 1);
}
