#include "TestPictures.h"
#include "image/ErrorLimitTable.h"
#include "image/PixelGraphic.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>

namespace {

std::array<std::int32_t, TErrorLimitTable::Size> Table(int limit, bool soft) {
    std::array<std::int32_t, TErrorLimitTable::Size> table{};
    TErrorLimitTable::Fill(table.data(), limit, soft);
    return table;
}

int At(const std::array<std::int32_t, TErrorLimitTable::Size>& table, int error) {
    return table[static_cast<std::size_t>(error + TErrorLimitTable::MaxError)];
}

std::unique_ptr<TPixelGraphic> Converted(const TPixelGraphic& source, TPGBitCount bits,
                                         TPaletteIdent ident) {
    auto image = std::make_unique<TPixelGraphic>();
    image->SetSize(source.Width(), source.Height(), bits);
    image->SetPaletteIdent(ident);
    image->StretchFrom(source);
    return image;
}

TColor Grey(int v) {
    return RGB(v, v, v);
}

} // namespace

TEST(ErrorLimitTable, SoftAndHardLimits) {
    const auto soft32 = Table(32, true);
    EXPECT_EQ(At(soft32, 15), 15);
    EXPECT_EQ(At(soft32, 16), 16); // 16 div 2 + 8
    EXPECT_EQ(At(soft32, 17), 16);
    EXPECT_EQ(At(soft32, 31), 23);
    EXPECT_EQ(At(soft32, 48), 32);
    EXPECT_EQ(At(soft32, 49), 32);
    EXPECT_EQ(At(soft32, 255), 32);
    EXPECT_EQ(At(soft32, -17), -16);
    EXPECT_EQ(At(soft32, -255), -32);
    EXPECT_EQ(At(soft32, 0), 0);

    const auto hard32 = Table(32, false);
    EXPECT_EQ(At(hard32, 31), 31);
    EXPECT_EQ(At(hard32, 32), 32);
    EXPECT_EQ(At(hard32, 200), 32);
    EXPECT_EQ(At(hard32, -31), -31);

    // Black and white: nothing is cut, errors 127..254 are compressed.
    const auto soft255 = Table(255, true);
    EXPECT_EQ(At(soft255, 126), 126);
    EXPECT_EQ(At(soft255, 127), 126);
    EXPECT_EQ(At(soft255, 254), 190);
    EXPECT_EQ(At(soft255, 255), 255);
    EXPECT_EQ(At(soft255, -254), -190);
    EXPECT_EQ(At(Table(255, false), 200), 200);

    const auto none = Table(0, true);
    EXPECT_EQ(At(none, 0), 0);
    EXPECT_EQ(At(none, 1), 0);
    EXPECT_EQ(At(none, -255), 0);

    const auto gray256 = Table(2, true);
    EXPECT_EQ(At(gray256, 1), 0);
    EXPECT_EQ(At(gray256, 2), 1);
    EXPECT_EQ(At(gray256, 3), 1);
    EXPECT_EQ(At(gray256, 4), 2);
}

TEST(ErrorLimitTable, AutoLimitFollowsThePaletteKind) {
    EXPECT_EQ(TErrorLimitTable::AutoLimit(pBlackWhite), 255);
    EXPECT_EQ(TErrorLimitTable::AutoLimit(pSysGray4), 128);
    EXPECT_EQ(TErrorLimitTable::AutoLimit(pSys16), 128);
    EXPECT_EQ(TErrorLimitTable::AutoLimit(pGray4), 128);
    EXPECT_EQ(TErrorLimitTable::AutoLimit(pGray16), 32);
    EXPECT_EQ(TErrorLimitTable::AutoLimit(pGray236), 3);
    EXPECT_EQ(TErrorLimitTable::AutoLimit(pGray256), 2);
    EXPECT_EQ(TErrorLimitTable::AutoLimit(pSpecial125), 104);
    EXPECT_EQ(TErrorLimitTable::AutoLimit(pSpecial252), 104);
    EXPECT_EQ(TErrorLimitTable::AutoLimit(pSpecial216), 86);
    EXPECT_EQ(TErrorLimitTable::AutoLimit(pOptimized252Sys16), 0);
    EXPECT_EQ(TErrorLimitTable::AutoLimit(pSource), 0);
    EXPECT_EQ(TErrorLimitTable::AutoLimit(pUnknown), 32);
}

TEST(ErrorDiffusion, OddRowsRunFromRightToLeft) {
    // Row 0 is exact black; in row 1 the first pixel visited stays black and pushes its
    // error of 100 (7/16 of it: 44) onto the next one, which turns white.
    auto source = Picture(2, 2, [](int, int y) { return y == 0 ? Grey(0) : Grey(100); });
    auto bw = Converted(*source, bc1Bit, pBlackWhite);
    EXPECT_EQ(bw->GetPixel(0, 0), 0u);
    EXPECT_EQ(bw->GetPixel(1, 0), 0u);
    EXPECT_EQ(bw->GetPixel(1, 1), 0u);
    EXPECT_EQ(bw->GetPixel(0, 1), 1u);
}

TEST(ErrorDiffusion, ErrorsRoundHalvesAwayFromZero) {
    // pGray16 levels are 17 apart. Grey 8 stores entry 0 (error +8); 7 x 8 / 16 = 3.5 becomes
    // +4 and lifts grey 5 to 9, the first value that rounds to entry 1.
    auto up = Picture(2, 1, [](int x, int) { return x == 0 ? Grey(8) : Grey(5); });
    auto upGrey = Converted(*up, bc4Bit, pGray16);
    EXPECT_EQ(upGrey->GetPixel(0, 0), 0u);
    EXPECT_EQ(upGrey->GetPixel(1, 0), 1u);
    // Grey 9 stores entry 1 (error -8): -3.5 becomes -4 and pulls grey 12 down to 8.
    auto down = Picture(2, 1, [](int x, int) { return x == 0 ? Grey(9) : Grey(12); });
    auto downGrey = Converted(*down, bc4Bit, pGray16);
    EXPECT_EQ(downGrey->GetPixel(0, 0), 1u);
    EXPECT_EQ(downGrey->GetPixel(1, 0), 0u);
}

TEST(ErrorDiffusion, GreyPalettesDiffuseBrightnessOnly) {
    // Pure red has brightness 228 = 3 x 76 exactly: no error, so every pixel is level 76.
    // Matching red channel by channel would leave errors that vary the row.
    auto red = Picture(8, 3, [](int, int) { return RGB(255, 0, 0); });
    auto grey = Converted(*red, bc8Bit, pGray256);
    EXPECT_TRUE(grey->GrayPalette());
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 8; ++x)
            EXPECT_EQ(grey->GetPixel(x, y), 76u);
}

TEST(ErrorDiffusion, GreyGradientsKeepTheirMeanBrightness) {
    auto gradient = Picture(256, 64, [](int x, int) { return Grey(x); });
    for (auto [bits, ident] :
         {std::pair{bc1Bit, pBlackWhite}, std::pair{bc4Bit, pSysGray4}, std::pair{bc4Bit, pGray4},
          std::pair{bc4Bit, pGray16}, std::pair{bc8Bit, pGray236}, std::pair{bc8Bit, pGray256}}) {
        auto grey = Converted(*gradient, bits, ident);
        // Black and white compresses large errors, which shifts a band's mean a little more.
        const double tolerance = ident == pBlackWhite ? 2.0 : 1.0;
        double total = 0;
        for (int band = 0; band < 8; ++band) {
            double sum = 0;
            for (int y = 0; y < 64; ++y)
                for (int x = 32 * band; x < 32 * band + 32; ++x)
                    sum += GetGValue(grey->GetPixelColor(x, y));
            total += sum;
            EXPECT_NEAR(sum / (32 * 64), 32 * band + 15.5, tolerance)
                << "kind " << ident << " band " << band;
        }
        EXPECT_NEAR(total / (256 * 64), 127.5, 0.5) << "kind " << ident;
    }
}

TEST(ErrorDiffusion, ColourPalettesMixTheirEntries) {
    auto purple = Picture(64, 64, [](int, int) { return RGB(128, 0, 128); });
    TPixelGraphic mixed;
    mixed.SetSize(64, 64, bc8Bit);
    mixed.SetPaletteCount(2);
    mixed.SetPaletteEntry(0, RGB(255, 0, 0));
    mixed.SetPaletteEntry(1, RGB(0, 0, 255));
    mixed.DitherErrorLimitAuto = false;
    mixed.DitherErrorLimit = 255;
    mixed.DitherErrorLimitSoft = false;
    mixed.StretchFrom(*purple);
    int blue = 0;
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
            blue += static_cast<int>(mixed.GetPixel(x, y));
    EXPECT_NEAR(blue / 4096.0, 128.0 / 255.0, 0.01);
    EXPECT_FALSE(mixed.GrayPalette());

    // A limit of 0 passes no error on: the same as not dithering at all.
    mixed.DitherErrorLimit = 0;
    mixed.StretchFrom(*purple);
    TPixelGraphic plain;
    plain.SetSize(64, 64, bc8Bit);
    plain.SetPaletteCount(2);
    plain.SetPaletteEntry(0, RGB(255, 0, 0));
    plain.SetPaletteEntry(1, RGB(0, 0, 255));
    plain.Dither = false;
    plain.StretchFrom(*purple);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            ASSERT_EQ(mixed.GetPixel(x, y), 0u);
            ASSERT_EQ(plain.GetPixel(x, y), 0u);
        }
}

TEST(ErrorDiffusion, RowAndPixelPathsAgree) {
    // A copy of a true-colour picture diffuses whole rows at once, a resampling pixel by
    // pixel; doubling with point sampling feeds both the same colours in the same order.
    auto source = Picture(23, 17, [](int x, int y) {
        return RGB((x * 37 + y * 11) % 256, (x * y * 5 + 40) % 256, (255 - 9 * y + x) % 256);
    });
    TPixelGraphic doubled;
    doubled.SetSize(46, 34, bc24Bit);
    doubled.StretchMode = smFast;
    doubled.StretchFrom(*source);

    TPixelGraphic optimized;
    optimized.SetSize(4, 4, bc8Bit);
    TPixelGraphic::BuildOptimizedPalette(optimized, *source, 40, false);
    struct TCase {
        TPGBitCount Bits;
        TPaletteIdent Ident;
        bool Optimized = false;
        bool Cache = true;
        bool CustomGreys = false;
    };
    const TCase cases[] = {{bc8Bit, pUnknown, true},
                           {bc8Bit, pUnknown, true, false},
                           {bc4Bit, pUnknown, false, true, true},
                           {bc8Bit, pGray256},
                           {bc8Bit, pGray236},
                           {bc4Bit, pGray16},
                           {bc1Bit, pBlackWhite},
                           {bc4Bit, pSys16},
                           {bc8Bit, pSpecial216}};
    for (const TCase& c : cases) {
        TPixelGraphic byRow, byPixel;
        for (TPixelGraphic* image : {&byRow, &byPixel}) {
            image->SetSize(46, 34, c.Bits);
            if (c.Optimized) {
                image->SetPaletteCount(optimized.PaletteCount());
                for (int i = 0; i < optimized.PaletteCount(); ++i)
                    image->SetPaletteEntry(i,
                                           optimized.PaletteColor(static_cast<std::uint32_t>(i)));
            } else if (c.CustomGreys) {
                image->SetPaletteCount(5);
                for (int i = 0; i < 5; ++i)
                    image->SetPaletteEntry(i, Grey(i * i * 10));
            } else {
                image->SetPaletteIdent(c.Ident);
            }
            image->SetUseColorCache(c.Cache);
        }
        byRow.StretchFrom(doubled);
        byPixel.StretchMode = smFast;
        byPixel.StretchFrom(*source);
        for (int y = 0; y < 34; ++y)
            for (int x = 0; x < 46; ++x)
                ASSERT_EQ(byRow.GetPixel(x, y), byPixel.GetPixel(x, y))
                    << "kind " << c.Ident << " at " << x << "," << y;
    }
}
