#include "image/PGExceptions.h"
#include "image/PaletteTables.h"
#include "image/PixelGraphic.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace {

std::unique_ptr<TPixelGraphic> PaletteImage(TPaletteIdent ident, TPGBitCount bits = bc8Bit) {
    auto image = std::make_unique<TPixelGraphic>();
    image->SetSize(4, 3, bits);
    image->SetPaletteIdent(ident);
    return image;
}

std::unique_ptr<TPixelGraphic> UnknownPalette(const std::vector<TColor>& entries) {
    auto image = std::make_unique<TPixelGraphic>();
    image->SetSize(4, 3, bc8Bit);
    image->SetPaletteCount(static_cast<int>(entries.size()));
    for (std::size_t i = 0; i < entries.size(); ++i)
        image->SetPaletteEntry(static_cast<int>(i), entries[i]);
    return image;
}

TColor Grey(int v) {
    return RGB(v, v, v);
}

} // namespace

TEST(NearestColorIndex, BrightnessThresholdsOfTheGreyKinds) {
    auto bw = PaletteImage(pBlackWhite, bc1Bit);
    bw->SetRGBWeighting(false);
    EXPECT_EQ(bw->NearestColorIndex(RGB(127, 127, 128)), 0u); // L = 382
    EXPECT_EQ(bw->NearestColorIndex(RGB(127, 128, 128)), 1u); // L = 383
    EXPECT_EQ(bw->NearestColorIndex(RGB(255, 255, 255)), 1u);
    EXPECT_EQ(bw->NearestColorIndex(RGB(0, 0, 0)), 0u);

    auto sysGray = PaletteImage(pSysGray4, bc4Bit);
    sysGray->SetRGBWeighting(false);
    EXPECT_EQ(sysGray->NearestColorIndex(RGB(64, 64, 64)), 0u);    // 192
    EXPECT_EQ(sysGray->NearestColorIndex(RGB(64, 64, 65)), 1u);    // 193
    EXPECT_EQ(sysGray->NearestColorIndex(RGB(160, 160, 160)), 1u); // 480
    EXPECT_EQ(sysGray->NearestColorIndex(RGB(160, 160, 161)), 2u);
    EXPECT_EQ(sysGray->NearestColorIndex(RGB(223, 223, 224)), 2u); // 670
    EXPECT_EQ(sysGray->NearestColorIndex(RGB(223, 224, 224)), 3u);

    auto gray4 = PaletteImage(pGray4, bc4Bit);
    gray4->SetRGBWeighting(false);
    EXPECT_EQ(gray4->NearestColorIndex(RGB(42, 42, 43)), 0u); // 127: below half a step
    EXPECT_EQ(gray4->NearestColorIndex(RGB(42, 43, 43)), 1u); // 128
    auto gray16 = PaletteImage(pGray16, bc4Bit);
    gray16->SetRGBWeighting(false);
    EXPECT_EQ(gray16->NearestColorIndex(RGB(8, 8, 9)), 0u); // 25
    EXPECT_EQ(gray16->NearestColorIndex(RGB(8, 9, 9)), 1u); // 26
}

TEST(NearestColorIndex, Gray256WeightsTheChannels) {
    auto image = PaletteImage(pGray256);
    EXPECT_EQ(image->NearestColorIndex(RGB(255, 0, 0)), 76u); // L = 228
    EXPECT_EQ(image->NearestColorIndex(RGB(0, 255, 0)), 150u);
    EXPECT_EQ(image->NearestColorIndex(RGB(0, 0, 255)), 29u);
    image->SetRGBWeighting(false);
    EXPECT_EQ(image->NearestColorIndex(RGB(255, 0, 0)), 85u); // (255 + 1) div 3
}

TEST(NearestColorIndex, Gray236TakesTheNearestLevelAndTheLowerOnTies) {
    auto image = PaletteImage(pGray236);
    image->SetRGBWeighting(false);
    const std::vector<TColor>& levels = image->PaletteEntries();
    ASSERT_EQ(levels.size(), 236u);
    for (int l = 0; l <= 765; ++l) {
        const TColor color = RGB(l / 3 + (l % 3 > 1), l / 3 + (l % 3 > 0), l / 3);
        std::size_t best = 0;
        for (std::size_t i = 1; i < levels.size(); ++i)
            if (std::abs(3 * GetGValue(levels[i]) - l) < std::abs(3 * GetGValue(levels[best]) - l))
                best = i;
        ASSERT_EQ(image->NearestColorIndex(color), best) << "L = " << l;
    }
}

TEST(NearestColorIndex, Special125CountsChannel224As225) {
    auto image = PaletteImage(pSpecial125);
    EXPECT_EQ(image->NearestColorIndex(RGB(224, 224, 224)), 124u);
    EXPECT_EQ(image->NearestColorIndex(RGB(223, 223, 223)), 93u);
    EXPECT_EQ(image->NearestColorIndex(RGB(224, 0, 33)), 101u);
    auto cube = PaletteImage(pSpecial216);
    EXPECT_EQ(cube->NearestColorIndex(RGB(27, 25, 255)), 41u);
}

TEST(NearestColorIndex, Sys16UsesTheCandidatesOfTheCell) {
    auto image = PaletteImage(pSys16, bc4Bit);
    EXPECT_EQ(image->NearestColorIndex(RGB(200, 30, 30)), 9u);    // bright red
    EXPECT_EQ(image->NearestColorIndex(RGB(100, 100, 100)), 8u);  // dark grey
    EXPECT_EQ(image->NearestColorIndex(RGB(170, 170, 200)), 7u);  // light grey
    EXPECT_EQ(image->NearestColorIndex(RGB(250, 250, 250)), 15u); // white
    // Cell (1, 2, 3) offers light grey, grey and aqua: the strictly nearest wins, and of two
    // equally near ones the earlier candidate.
    EXPECT_EQ(image->NearestColorIndex(RGB(70, 190, 250)), 14u);
    EXPECT_EQ(image->NearestColorIndex(RGB(100, 150, 230)), 7u);
}

TEST(NearestColorIndex, EveryKindMapsItsOwnEntriesBack) {
    for (TPaletteIdent ident : {pBlackWhite, pSysGray4, pSys16, pGray4, pGray16, pGray236, pGray256,
                                pSpecial125, pSpecial216, pSpecial252}) {
        auto image = PaletteImage(ident);
        const std::vector<TColor> entries = image->PaletteEntries();
        ASSERT_EQ(image->PaletteIdent(), ident);
        ASSERT_FALSE(entries.empty());
        for (std::size_t i = 0; i < entries.size(); ++i) {
            const auto first = static_cast<std::uint32_t>(
                std::find(entries.begin(), entries.end(), entries[i]) - entries.begin());
            EXPECT_EQ(image->NearestColorIndex(entries[i]), first)
                << "kind " << ident << " entry " << i;
        }
    }
}

TEST(NearestColorIndex, UnknownPalettesWithAndWithoutTheCache) {
    std::mt19937 random(7);
    std::vector<TColor> entries;
    std::vector<int> cells;
    while (entries.size() < 200) {
        const TColor c = random() & 0xFFFFFF;
        const int cell = (GetRValue(c) >> 3) << 11 | (GetGValue(c) >> 2) << 5 | GetBValue(c) >> 3;
        if (std::find(cells.begin(), cells.end(), cell) == cells.end()) {
            cells.push_back(cell);
            entries.push_back(c);
        }
    }
    auto image = UnknownPalette(entries);
    ASSERT_EQ(image->PaletteIdent(), pUnknown);
    for (std::size_t i = 0; i < entries.size(); ++i)
        EXPECT_EQ(image->NearestColorIndex(entries[i]), i);
    image->SetUseColorCache(false);
    for (int n = 0; n < 2000; ++n) {
        const TColor c = random() & 0xFFFFFF;
        std::uint32_t best = 0;
        int bestDistance = 1 << 30;
        for (std::size_t i = 0; i < entries.size(); ++i) {
            const int dr = GetRValue(c) - GetRValue(entries[i]);
            const int dg = GetGValue(c) - GetGValue(entries[i]);
            const int db = GetBValue(c) - GetBValue(entries[i]);
            if (dr * dr + dg * dg + db * db < bestDistance) {
                bestDistance = dr * dr + dg * dg + db * db;
                best = static_cast<std::uint32_t>(i);
            }
        }
        ASSERT_EQ(image->NearestColorIndex(c), best);
    }
}

TEST(NearestColorIndex, TheCacheKeepsSeededCellsAndLearnsTheOthers) {
    // Black seeds the cell of red 39 in its fifth round; RGB(72, 0, 0) is nearer but its own
    // cubes never reach that cell.
    auto image = UnknownPalette({RGB(0, 0, 0), RGB(72, 0, 0)});
    EXPECT_EQ(image->NearestColorIndex(RGB(39, 0, 0)), 0u);
    // A cell far from every entry is searched exactly and then remembered.
    EXPECT_EQ(image->NearestColorIndex(RGB(255, 255, 255)), 1u);
    EXPECT_EQ(image->NearestColorIndex(RGB(250, 254, 249)), 1u);
    // Two entries in one cell: the first one claims it.
    auto shared = UnknownPalette({RGB(16, 16, 16), RGB(17, 17, 17)});
    EXPECT_EQ(shared->NearestColorIndex(RGB(17, 17, 17)), 0u);

    image->SetUseColorCache(false);
    EXPECT_EQ(image->NearestColorIndex(RGB(39, 0, 0)), 1u);
    image->SetUseColorCache(true);
    EXPECT_EQ(image->NearestColorIndex(RGB(39, 0, 0)), 0u);
}

TEST(NearestColorIndex, PaletteChangesInvalidateTheMemo) {
    auto image = UnknownPalette({RGB(0, 0, 0), RGB(255, 255, 255)});
    EXPECT_EQ(image->NearestColorIndex(RGB(200, 200, 200)), 1u);
    EXPECT_EQ(image->NearestColorIndex(RGB(200, 200, 200)), 1u);
    image->SetPaletteEntry(0, RGB(190, 190, 190));
    EXPECT_EQ(image->NearestColorIndex(RGB(200, 200, 200)), 0u);
    image->SetPaletteCount(3);
    image->SetPaletteEntry(2, RGB(200, 200, 200));
    EXPECT_EQ(image->NearestColorIndex(RGB(200, 200, 200)), 2u);

    image->SetPaletteIdent(pGray256);
    EXPECT_EQ(image->NearestColorIndex(RGB(255, 0, 0)), 76u);
    image->SetRGBWeighting(false);
    EXPECT_EQ(image->NearestColorIndex(RGB(255, 0, 0)), 85u);
    // Turning the image into true colour makes the colour its own raw value.
    image->SetSize(4, 3, bc24Bit);
    EXPECT_EQ(image->NearestColorIndex(RGB(255, 0, 0)), RGB(255, 0, 0));
}

TEST(NearestColorIndex, SetUseColorCacheNotifiesOnlyOnChange) {
    auto image = UnknownPalette({RGB(0, 0, 0)});
    int changes = 0;
    image->OnChange = [&](TPixelGraphic&) { ++changes; };
    image->SetUseColorCache(true);
    EXPECT_EQ(changes, 0);
    image->SetUseColorCache(false);
    EXPECT_EQ(changes, 1);
    EXPECT_FALSE(image->UseColorCache());
}

TEST(NearestColorIndex, MissingPalettesAndFixedAnswers) {
    TPixelGraphic image;
    image.SetSize(2, 2, bc8Bit);
    image.SetPaletteIdent(pNone);
    EXPECT_THROW(
        {
            try {
                image.NearestColorIndex(RGB(1, 2, 3));
            } catch (const EPGNoPalette& e) {
                EXPECT_STREQ(e.what(), "No palette");
                throw;
            }
        },
        EPGNoPalette);
    // An unknown palette without entries has nothing to choose from either.
    image.SetPaletteIdent(pUnknown);
    EXPECT_THROW(image.NearestColorIndex(RGB(1, 2, 3)), EPGNoPalette);

    TPixelGraphic trueColor;
    EXPECT_EQ(trueColor.NearestColorIndex(RGB(1, 2, 3)), RGB(1, 2, 3));
}

TEST(NearestColorIndex, SetPixelColorAndBackgroundUseTheMatch) {
    auto image = PaletteImage(pGray256);
    image->SetPixelColor(1, 2, RGB(255, 0, 0));
    EXPECT_EQ(image->GetPixel(1, 2), 76u);
    image->SetBackgroundColor(RGB(0, 255, 0));
    EXPECT_EQ(image->BackgroundColorRaw(), 150u);
    EXPECT_EQ(image->GetBackgroundColor(), Grey(150));
}
