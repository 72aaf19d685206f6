#include "image/LittleEndian.h"
#include "image/PGExceptions.h"
#include "image/PaletteTables.h"
#include "image/PixelGraphic.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <vector>

namespace {

constexpr TPaletteIdent FixedKinds[] = {pBlackWhite, pSysGray4,  pSys16,   pGray4,
                                        pGray16,     pGray236,   pGray256, pSpecial125,
                                        pSpecial216, pSpecial252};

std::vector<TColor> Entries(std::span<const TColor> table) {
    return {table.begin(), table.end()};
}

// Colour-table slot `slot` of the image's bitmap header.
TColor HeaderSlot(const TPixelGraphic& image, int slot) {
    const std::uint8_t* bgr = image.BitmapInfo() + 40 + 4 * slot;
    EXPECT_EQ(bgr[3], 0);
    return RGB(bgr[2], bgr[1], bgr[0]);
}

TColor Gray(int level) {
    return RGB(level, level, level);
}

} // namespace

TEST(PaletteTables, EveryKindHasItsExactEntries) {
    EXPECT_EQ(Entries(StandardPalette(pBlackWhite)),
              (std::vector<TColor>{RGB(0, 0, 0), RGB(255, 255, 255)}));
    EXPECT_EQ(Entries(StandardPalette(pSysGray4)),
              (std::vector<TColor>{Gray(0), Gray(128), Gray(192), Gray(255)}));
    const std::vector<TColor> sys16 = {
        RGB(0, 0, 0),       RGB(128, 0, 0),   RGB(0, 128, 0),   RGB(128, 128, 0),
        RGB(0, 0, 128),     RGB(128, 0, 128), RGB(0, 128, 128), RGB(192, 192, 192),
        RGB(128, 128, 128), RGB(255, 0, 0),   RGB(0, 255, 0),   RGB(255, 255, 0),
        RGB(0, 0, 255),     RGB(255, 0, 255), RGB(0, 255, 255), RGB(255, 255, 255)};
    EXPECT_EQ(Entries(StandardPalette(pSys16)), sys16);
    EXPECT_EQ(Entries(StandardPalette(pGray4)),
              (std::vector<TColor>{Gray(0), Gray(85), Gray(170), Gray(255)}));

    auto gray16 = StandardPalette(pGray16);
    ASSERT_EQ(gray16.size(), 16u);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(gray16[i], Gray(17 * i));

    auto gray256 = StandardPalette(pGray256);
    ASSERT_EQ(gray256.size(), 256u);
    for (int i = 0; i < 256; ++i)
        EXPECT_EQ(gray256[i], Gray(i));

    // Levels 51 i / 47 minus a hair: 6.51 and 44.49 show the rounding to nearest.
    auto gray236 = StandardPalette(pGray236);
    ASSERT_EQ(gray236.size(), 236u);
    EXPECT_EQ(gray236[0], Gray(0));
    EXPECT_EQ(gray236[1], Gray(1));
    EXPECT_EQ(gray236[6], Gray(7));
    EXPECT_EQ(gray236[41], Gray(44));
    EXPECT_EQ(gray236[117], Gray(127));
    EXPECT_EQ(gray236[118], Gray(128));
    EXPECT_EQ(gray236[235], Gray(255));
    EXPECT_TRUE(std::is_sorted(gray236.begin(), gray236.end()));
    EXPECT_EQ(std::set<TColor>(gray236.begin(), gray236.end()).size(), 236u);

    auto special125 = StandardPalette(pSpecial125);
    ASSERT_EQ(special125.size(), 125u);
    const int levels5[] = {0, 64, 128, 192, 255};
    for (int r = 0; r < 5; ++r)
        for (int g = 0; g < 5; ++g)
            for (int b = 0; b < 5; ++b)
                EXPECT_EQ(special125[25 * r + 5 * g + b], RGB(levels5[r], levels5[g], levels5[b]));

    auto special216 = StandardPalette(pSpecial216);
    ASSERT_EQ(special216.size(), 216u);
    const int levels6[] = {0, 51, 102, 153, 204, 255};
    for (int r = 0; r < 6; ++r)
        for (int g = 0; g < 6; ++g)
            for (int b = 0; b < 6; ++b)
                EXPECT_EQ(special216[36 * r + 6 * g + b], RGB(levels6[r], levels6[g], levels6[b]));

    auto special252 = StandardPalette(pSpecial252);
    ASSERT_EQ(special252.size(), 252u);
    EXPECT_TRUE(std::equal(sys16.begin(), sys16.end(), special252.begin()));
    EXPECT_EQ(std::set<TColor>(special252.begin(), special252.end()).size(), 252u);
    const std::set<int> levels9 = {0, 32, 64, 96, 128, 160, 192, 224, 255};
    for (TColor c : special252) {
        EXPECT_TRUE(levels9.contains(GetRValue(c)) && levels9.contains(GetGValue(c)) &&
                    levels9.contains(GetBValue(c)));
    }
    // Spread evenly: every colour of the level grid has an entry at most one step away.
    for (int r : levels9)
        for (int g : levels9)
            for (int b : levels9) {
                int nearest = 3 * 255 * 255;
                for (TColor c : special252) {
                    const int dr = GetRValue(c) - r, dg = GetGValue(c) - g, db = GetBValue(c) - b;
                    nearest = std::min(nearest, dr * dr + dg * dg + db * db);
                }
                EXPECT_LE(nearest, 32 * 32) << r << "," << g << "," << b;
            }

    for (TPaletteIdent none : {pNone, pTrueColor, pUnknown, pOptimized252Sys16, pSource})
        EXPECT_TRUE(StandardPalette(none).empty());
}

TEST(Palette, SetPaletteIdentAndIdentifyPaletteRoundTripForEveryKind) {
    for (TPaletteIdent kind : FixedKinds) {
        SCOPED_TRACE(kind);
        TPixelGraphic image;
        image.SetSize(4, 2, bc8Bit);
        image.SetPaletteIdent(kind);
        EXPECT_EQ(image.PaletteIdent(), kind);
        EXPECT_EQ(image.PaletteEntries(), Entries(StandardPalette(kind)));
        EXPECT_EQ(image.PaletteCount(), static_cast<int>(StandardPalette(kind).size()));

        // Entries written one by one are recognised again.
        TPixelGraphic copy;
        copy.SetSize(1, 1, bc8Bit);
        copy.SetPaletteCount(image.PaletteCount());
        for (int i = 0; i < image.PaletteCount(); ++i)
            copy.SetPaletteEntry(i, image.PaletteColor(i));
        EXPECT_EQ(copy.PaletteIdent(), pUnknown);
        copy.IdentifyPalette();
        EXPECT_EQ(copy.PaletteIdent(), kind);

        TPixelGraphic other;
        other.SetSize(1, 1, bc8Bit);
        other.CopyPalette(image);
        EXPECT_EQ(other.PaletteIdent(), kind);
        EXPECT_EQ(other.PaletteEntries(), image.PaletteEntries());
    }
}

TEST(Palette, SetPaletteIdentOfKindsWithoutTable) {
    TPixelGraphic image;
    image.SetSize(2, 2, bc8Bit);
    image.SetPaletteIdent(pGray16);
    image.SetPaletteIdent(pSource);
    EXPECT_EQ(image.PaletteIdent(), pGray16);
    image.SetPaletteIdent(pOptimized252Sys16);
    EXPECT_EQ(image.PaletteCount(), 16);
    image.SetPaletteIdent(pUnknown);
    EXPECT_EQ(image.PaletteIdent(), pUnknown);
    EXPECT_EQ(image.PaletteCount(), 16);
    image.SetPaletteIdent(pNone);
    EXPECT_EQ(image.PaletteIdent(), pNone);
    EXPECT_EQ(image.PaletteCount(), 0);
    image.SetPaletteIdent(pSys16);
    image.SetPaletteIdent(pTrueColor);
    EXPECT_EQ(image.PaletteIdent(), pTrueColor);
    EXPECT_EQ(image.PaletteCount(), 0);
    EXPECT_EQ(image.PaletteColor(0x123456), 0x123456u);
}

TEST(Palette, IdentifyPaletteTakesTheFirstMatchInItsOrder) {
    TPixelGraphic image;
    image.SetSize(2, 2, bc4Bit);
    // A grey ramp of 16 entries is pGray16 although pSys16 has 16 entries too.
    image.SetPaletteCount(16);
    for (int i = 0; i < 16; ++i)
        image.SetPaletteEntry(i, Gray(17 * i));
    image.IdentifyPalette();
    EXPECT_EQ(image.PaletteIdent(), pGray16);
    EXPECT_TRUE(image.GrayPalette());

    image.SetPaletteEntry(3, RGB(1, 2, 3));
    image.IdentifyPalette();
    EXPECT_EQ(image.PaletteIdent(), pUnknown);
    EXPECT_FALSE(image.GrayPalette());

    image.SetPaletteCount(0);
    image.IdentifyPalette();
    EXPECT_EQ(image.PaletteIdent(), pNone);

    TPixelGraphic trueColor;
    trueColor.SetSize(2, 2, bc24Bit);
    trueColor.SetPaletteIdent(pUnknown);
    trueColor.IdentifyPalette();
    EXPECT_EQ(trueColor.PaletteIdent(), pTrueColor);
    EXPECT_FALSE(trueColor.GrayPalette());
}

TEST(Palette, FailedPaletteAccessLeavesTheImageUnchanged) {
    TPixelGraphic trueColor;
    trueColor.SetSize(2, 2, bc24Bit);
    EXPECT_THROW(
        {
            try {
                trueColor.SetPaletteEntry(0, RGB(1, 2, 3));
            } catch (const EPGNoPalette& e) {
                EXPECT_STREQ(e.what(), "No palette");
                throw;
            }
        },
        EPGNoPalette);
    EXPECT_EQ(trueColor.PaletteCount(), 0);
    EXPECT_EQ(trueColor.PaletteIdent(), pTrueColor);

    TPixelGraphic image;
    image.SetSize(2, 2, bc8Bit);
    image.SetPaletteIdent(pGray16);
    const std::vector<std::uint8_t> header(image.BitmapInfo(),
                                           image.BitmapInfo() + image.BitmapInfoSize());
    for (int index : {-1, 16, 255}) {
        try {
            image.SetPaletteEntry(index, RGB(9, 9, 9));
            ADD_FAILURE() << "index " << index << " was accepted";
        } catch (const EPGInvalidPaletteIndex& e) {
            EXPECT_STREQ(e.what(), "Invalid palette index");
        }
    }
    EXPECT_THROW(image.PaletteColor(16), EPGInvalidPaletteIndex);
    EXPECT_THROW(image.SetPaletteCount(-1), EPGInvalidPaletteIndex);
    EXPECT_EQ(image.PaletteIdent(), pGray16);
    EXPECT_EQ(image.PaletteEntries(), Entries(StandardPalette(pGray16)));
    EXPECT_EQ(
        std::vector<std::uint8_t>(image.BitmapInfo(), image.BitmapInfo() + image.BitmapInfoSize()),
        header);

    image.SetPaletteIdent(pNone);
    EXPECT_THROW(image.SetPaletteEntry(0, RGB(1, 2, 3)), EPGNoPalette);
    EXPECT_THROW(image.PaletteColor(0), EPGInvalidPaletteIndex);
}

TEST(Palette, HeaderColorTableRepeatsEntryZeroBeyondTheCount) {
    TPixelGraphic image;
    image.SetSize(3, 2, bc8Bit);
    ASSERT_EQ(image.BitmapInfoSize(), 40 + 4 * 256);
    for (int slot = 0; slot < 256; ++slot)
        EXPECT_EQ(HeaderSlot(image, slot), 0u);

    image.SetPaletteCount(3);
    image.SetPaletteEntry(0, RGB(10, 20, 30));
    image.SetPaletteEntry(1, RGB(40, 50, 60));
    image.SetPaletteEntry(2, RGB(70, 80, 90));
    EXPECT_EQ(GetLE32(image.BitmapInfo() + 32), 3u);
    EXPECT_EQ(HeaderSlot(image, 1), RGB(40, 50, 60));
    EXPECT_EQ(HeaderSlot(image, 2), RGB(70, 80, 90));
    for (int slot : {0, 3, 100, 255})
        EXPECT_EQ(HeaderSlot(image, slot), RGB(10, 20, 30));

    image.SetPaletteEntry(0, RGB(1, 2, 3));
    image.SetPaletteCount(2);
    EXPECT_EQ(GetLE32(image.BitmapInfo() + 32), 2u);
    EXPECT_EQ(HeaderSlot(image, 1), RGB(40, 50, 60));
    for (int slot : {0, 2, 255})
        EXPECT_EQ(HeaderSlot(image, slot), RGB(1, 2, 3));

    // New entries are black, in the palette and in the table.
    image.SetPaletteCount(4);
    EXPECT_EQ(image.PaletteColor(3), RGB(0, 0, 0));
    EXPECT_EQ(HeaderSlot(image, 2), RGB(0, 0, 0));
    EXPECT_EQ(HeaderSlot(image, 4), RGB(1, 2, 3));

    TPixelGraphic bw;
    bw.SetSize(9, 1, bc1Bit);
    bw.SetPaletteIdent(pSys16);
    EXPECT_EQ(GetLE32(bw.BitmapInfo() + 32), 2u);
    ASSERT_EQ(bw.BitmapInfoSize(), 40 + 2 * 4);
    EXPECT_EQ(HeaderSlot(bw, 1), RGB(128, 0, 0));
}

TEST(Palette, PaletteHandleIsRebuiltOnlyAfterAChange) {
    TPixelGraphic image;
    EXPECT_EQ(image.PaletteHandle(), nullptr);
    image.SetSize(4, 4, bc8Bit);
    image.SetPaletteIdent(pGray16);
    auto handle = image.PaletteHandle();
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(handle->Entries, Entries(StandardPalette(pGray16)));
    EXPECT_FALSE(handle->Reserved);
    EXPECT_EQ(image.PaletteHandle(), handle);

    image.ReservedEntries = true;
    image.SetPaletteEntry(2, RGB(1, 2, 3));
    auto changed = image.PaletteHandle();
    ASSERT_NE(changed, handle);
    EXPECT_EQ(changed->Entries[2], RGB(1, 2, 3));
    EXPECT_TRUE(changed->Reserved);
    EXPECT_EQ(handle->Entries[2], Gray(34));

    image.SetBitCount(bc24Bit);
    EXPECT_EQ(image.PaletteHandle(), nullptr);
    EXPECT_EQ(image.PaletteIdent(), pTrueColor);
}

TEST(Palette, PaletteChangesInvalidateTheColorMemo) {
    TPixelGraphic image;
    image.SetSize(2, 2, bc8Bit);
    image.SetPaletteCount(2);
    image.SetPaletteEntry(1, RGB(255, 255, 255));
    const TColor light = RGB(200, 200, 200);
    EXPECT_EQ(image.NearestColorIndex(light), 1u);
    image.SetPaletteEntry(0, light);
    EXPECT_EQ(image.NearestColorIndex(light), 0u);

    image.SetPaletteIdent(pBlackWhite);
    EXPECT_EQ(image.NearestColorIndex(light), 1u);
    image.SetPaletteCount(3);
    image.SetPaletteEntry(2, light);
    EXPECT_EQ(image.NearestColorIndex(light), 2u);

    TPixelGraphic gray;
    gray.SetSize(2, 2, bc8Bit);
    gray.CopyPalette(image);
    EXPECT_EQ(gray.NearestColorIndex(light), 2u);
    gray.SetPaletteIdent(pGray256);
    EXPECT_EQ(gray.NearestColorIndex(light), 200u);
}
