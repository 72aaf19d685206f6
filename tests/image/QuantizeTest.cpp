#include "TestPictures.h"
#include "image/PaletteTables.h"
#include "image/PixelGraphic.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <span>

namespace {

std::unique_ptr<TPixelGraphic> Target() {
    auto image = std::make_unique<TPixelGraphic>();
    image->SetSize(4, 4, bc8Bit);
    return image;
}

// The centre of the 5-6-5 histogram cell that holds a colour.
TColor CellCentre(TColor c) {
    return RGB((GetRValue(c) & ~7u) + 4, (GetGValue(c) & ~3u) + 2, (GetBValue(c) & ~7u) + 4);
}

std::span<const TColor> Sys16() {
    return StandardPalette(pSys16);
}

void ExpectSystemColorsAtTheEnd(const TPixelGraphic& image) {
    const std::vector<TColor>& entries = image.PaletteEntries();
    ASSERT_GE(entries.size(), 16u);
    EXPECT_TRUE(std::equal(Sys16().begin(), Sys16().end(), entries.end() - 16));
}

} // namespace

TEST(BuildOptimizedPalette, OneColourGivesOneEntry) {
    auto source = Picture(5, 3, [](int, int) { return RGB(200, 100, 50); });
    for (int count : {1, 2, 16, 252}) {
        auto target = Target();
        TPixelGraphic::BuildOptimizedPalette(*target, *source, count, false);
        ASSERT_EQ(target->PaletteCount(), 1) << count;
        EXPECT_EQ(target->PaletteColor(0), CellCentre(RGB(200, 100, 50)));
        EXPECT_EQ(target->PaletteIdent(), pUnknown);
    }
    auto target = Target();
    TPixelGraphic::BuildOptimizedPalette(*target, *source, 252, true);
    ASSERT_EQ(target->PaletteCount(), 17);
    EXPECT_EQ(target->PaletteColor(0), CellCentre(RGB(200, 100, 50)));
    ExpectSystemColorsAtTheEnd(*target);
}

TEST(BuildOptimizedPalette, FewCellsGiveOneEntryEachThenTheSystemColours) {
    // Ten colours in ten different cells.
    auto source = Picture(10, 4, [](int x, int) { return RGB(25 * x, 8 * x, 255 - 20 * x); });
    auto target = Target();
    TPixelGraphic::BuildOptimizedPalette(*target, *source, 252, true);
    ASSERT_EQ(target->PaletteCount(), 26);
    std::set<TColor> expected, built;
    for (int x = 0; x < 10; ++x)
        for (int y = 0; y < 4; ++y)
            expected.insert(CellCentre(source->GetPixel(x, y)));
    for (int i = 0; i < 10; ++i)
        built.insert(target->PaletteColor(static_cast<std::uint32_t>(i)));
    EXPECT_EQ(built, expected);
    ExpectSystemColorsAtTheEnd(*target);
}

TEST(BuildOptimizedPalette, DenseSourcesGive236EntriesAndTheSystemColours) {
    auto source = Picture(256, 64, [](int x, int y) { return RGB(x, 4 * y, 255 - x); });
    auto target = Target();
    TPixelGraphic::BuildOptimizedPalette(*target, *source, 252, true);
    ASSERT_EQ(target->PaletteCount(), 252);
    ExpectSystemColorsAtTheEnd(*target);
    // The boxes partition the colours: no two optimised entries are alike.
    const std::vector<TColor>& entries = target->PaletteEntries();
    EXPECT_EQ(std::set<TColor>(entries.begin(), entries.begin() + 236).size(), 236u);

    auto two = Target();
    TPixelGraphic::BuildOptimizedPalette(*two, *source, 2, false);
    EXPECT_EQ(two->PaletteCount(), 2);
}

TEST(BuildOptimizedPalette, EntriesAreCountWeightedMeansRoundedHalfUp) {
    // Three pixels of one colour and one of another, close enough to share the single box:
    // red cells 12 and 13 give centres 100 and 108, so (3 x 100 + 108 + 2) div 4 = 102.
    auto source = Picture(4, 1, [](int x, int) { return x < 3 ? RGB(100, 0, 0) : RGB(108, 0, 0); });
    auto target = Target();
    TPixelGraphic::BuildOptimizedPalette(*target, *source, 1, false);
    ASSERT_EQ(target->PaletteCount(), 1);
    EXPECT_EQ(target->PaletteColor(0), RGB(102, 2, 4));
    // Two pixels each of green cells 0 and 1 (centres 2 and 6): 4 exactly; blue centre 4.
    auto halves = Picture(4, 1, [](int x, int) { return x < 2 ? RGB(0, 0, 0) : RGB(0, 4, 0); });
    TPixelGraphic::BuildOptimizedPalette(*target, *halves, 1, false);
    EXPECT_EQ(target->PaletteColor(0), RGB(4, 4, 4));
}

TEST(BuildOptimizedPalette, NothingToCountGivesTheSystemPalette) {
    TPixelGraphic empty;
    auto target = Target();
    TPixelGraphic::BuildOptimizedPalette(*target, empty, 252, true);
    EXPECT_EQ(target->PaletteIdent(), pSys16);
    EXPECT_EQ(target->PaletteCount(), 16);

    auto source = Picture(2, 2, [](int, int) { return RGB(1, 2, 3); });
    TPixelGraphic::BuildOptimizedPalette(*target, *source, 16, true); // no place left
    EXPECT_EQ(target->PaletteIdent(), pSys16);
    auto few = Target();
    TPixelGraphic::BuildOptimizedPalette(*few, *source, 2, true);
    ASSERT_EQ(few->PaletteCount(), 2);
    EXPECT_EQ(few->PaletteColor(0), Sys16()[0]);
    EXPECT_EQ(few->PaletteColor(1), Sys16()[1]);
    auto none = Target();
    TPixelGraphic::BuildOptimizedPalette(*none, *source, -3, false);
    EXPECT_EQ(none->PaletteCount(), 0);
}

TEST(BuildOptimizedPalette, CountingReportsProgressAndStopsOnAbort) {
    // Row 0 is red, the others blue: stopping after the first row leaves only red.
    auto source =
        Picture(3, 4, [](int, int y) { return y == 0 ? RGB(255, 0, 0) : RGB(0, 0, 255); });
    auto target = Target();
    std::vector<std::pair<int, int>> steps;
    target->OnProgress = [&](TPixelGraphic& sender, int step, int max, bool& abort) {
        EXPECT_EQ(&sender, target.get());
        steps.emplace_back(step, max);
        abort = step == 0;
    };
    TPixelGraphic::BuildOptimizedPalette(*target, *source, 16, false);
    ASSERT_EQ(steps.size(), 1u);
    EXPECT_EQ(steps[0], std::make_pair(0, 3));
    ASSERT_EQ(target->PaletteCount(), 1);
    EXPECT_EQ(target->PaletteColor(0), CellCentre(RGB(255, 0, 0)));

    steps.clear();
    target->OnProgress = [&](TPixelGraphic&, int step, int max, bool&) {
        steps.emplace_back(step, max);
    };
    TPixelGraphic::BuildOptimizedPalette(*target, *source, 16, false);
    EXPECT_EQ(steps.size(), 4u);
    EXPECT_EQ(target->PaletteCount(), 2);
}

namespace {

// An 8-bit picture that uses palette index i for i pixels.
std::unique_ptr<TPixelGraphic> PaletteSource(const std::vector<TColor>& palette) {
    auto image = std::make_unique<TPixelGraphic>();
    int pixels = 0;
    for (std::size_t i = 0; i < palette.size(); ++i)
        pixels += static_cast<int>(i) + 1;
    image->SetSize(pixels, 1, bc8Bit);
    image->SetPaletteCount(static_cast<int>(palette.size()));
    for (std::size_t i = 0; i < palette.size(); ++i)
        image->SetPaletteEntry(static_cast<int>(i), palette[i]);
    int x = 0;
    for (std::size_t i = 0; i < palette.size(); ++i)
        for (std::size_t n = 0; n <= i; ++n)
            image->SetPixel(x++, 0, static_cast<std::uint32_t>(i));
    return image;
}

} // namespace

TEST(BuildOptimizedPalette, PaletteSourcesKeepTheirColoursWhenTheyFit) {
    const std::vector<TColor> palette = {RGB(255, 0, 0), RGB(0, 0, 0), RGB(10, 200, 30),
                                         RGB(0, 0, 1)};
    auto source = PaletteSource(palette);
    auto target = Target();
    TPixelGraphic::BuildOptimizedPalette(*target, *source, 16, false);
    // Depth first, children in order of their red, green, blue bits.
    const std::vector<TColor> expected = {RGB(0, 0, 0), RGB(0, 0, 1), RGB(10, 200, 30),
                                          RGB(255, 0, 0)};
    EXPECT_EQ(target->PaletteEntries(), expected);

    TPixelGraphic::BuildOptimizedPalette(*target, *source, 20, true);
    ASSERT_EQ(target->PaletteCount(), 20);
    ExpectSystemColorsAtTheEnd(*target);
}

TEST(BuildOptimizedPalette, OctreeReductionMergesTheLightestReducibleNode) {
    // Both dark and light pairs part only at their last bit, and each pair's parent was
    // passed twice, so both parents are reducible when grey adds a fifth leaf. The dark
    // parent weighs less (2 red + 3 green + blue sums) and is merged, although the light one
    // joined its list later.
    const std::vector<TColor> palette = {RGB(0, 0, 0),       RGB(0, 0, 1),       RGB(0, 0, 1),
                                         RGB(255, 255, 254), RGB(255, 255, 255), RGB(255, 255, 255),
                                         RGB(128, 128, 128)};
    auto source = PaletteSource(palette);
    auto target = Target();
    TPixelGraphic::BuildOptimizedPalette(*target, *source, 4, false);
    // Dark: counts 1, 2, 3 and blue sum 5, so 5 div 6 = 0.
    const std::vector<TColor> expected = {RGB(0, 0, 0), RGB(128, 128, 128), RGB(255, 255, 254),
                                          RGB(255, 255, 255)};
    EXPECT_EQ(target->PaletteEntries(), expected);
}

TEST(BuildOptimizedPalette, OctreeWithoutReducibleNodesStillStaysWithinTheCount) {
    // Three colours that part at the root: no node was ever passed twice, so nothing is on
    // a reducible list when the third leaf arrives; the root itself is merged.
    const std::vector<TColor> palette = {RGB(0, 0, 0), RGB(255, 0, 0), RGB(0, 255, 0)};
    auto source = PaletteSource(palette);
    auto target = Target();
    TPixelGraphic::BuildOptimizedPalette(*target, *source, 2, false);
    ASSERT_EQ(target->PaletteCount(), 1);
    EXPECT_EQ(target->PaletteColor(0), RGB(2 * 255 / 6, 3 * 255 / 6, 0));

    // The same with every colour of a full palette into 2, 16 and 236 places.
    TPixelGraphic full;
    full.SetSize(16, 16, bc8Bit);
    full.SetPaletteIdent(pSpecial216);
    for (int i = 0; i < 216; ++i)
        full.SetPixel(i % 16, i / 16, static_cast<std::uint32_t>(i));
    for (int count : {2, 16, 236}) {
        TPixelGraphic::BuildOptimizedPalette(*target, full, count, false);
        EXPECT_GE(target->PaletteCount(), 1) << count;
        EXPECT_LE(target->PaletteCount(), count);
    }
}

TEST(BuildOptimizedPalette, OneBitSourcesCountTheirTwoIndices) {
    TPixelGraphic source;
    source.SetSize(9, 2, bc1Bit);
    source.SetPaletteIdent(pBlackWhite);
    source.SetPixel(8, 1, 1);
    auto target = Target();
    TPixelGraphic::BuildOptimizedPalette(*target, source, 16, false);
    const std::vector<TColor> expected = {RGB(0, 0, 0), RGB(255, 255, 255)};
    EXPECT_EQ(target->PaletteEntries(), expected);
}
