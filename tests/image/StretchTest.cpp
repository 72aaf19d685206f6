#include "TestPictures.h"
#include "image/PGExceptions.h"
#include "image/PixelGraphic.h"
#include "image/ProgressScope.h"
#include "image/Resampler.h"

#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>

namespace {

std::unique_ptr<TPixelGraphic> Filled(int w, int h, TColor color) {
    return Picture(w, h, [color](int, int) { return color; });
}

const TColor Red = RGB(255, 0, 0);
const TColor Blue = RGB(0, 0, 255);
const TColor Marker = RGB(1, 2, 3);

// Red on blue, 5 x 3: the top-left pixel and the middle column of the bottom row are red.
std::unique_ptr<TPixelGraphic> RedOnBlue() {
    return Picture(
        5, 3, [](int x, int y) { return (x == 0 && y == 0) || (x == 2 && y == 2) ? Red : Blue; });
}

bool SamePixels(const TPixelGraphic& a, const TPixelGraphic& b) {
    return a.ImageSize() == b.ImageSize() &&
           std::memcmp(a.Bits(), b.Bits(), static_cast<std::size_t>(a.ImageSize())) == 0;
}

} // namespace

TEST(Resampler, KernelFollowsModeAndDirection) {
    using R = TResampler;
    EXPECT_EQ(R::ChooseKernel(smPrecise, 100, 400), R::TKernel::Interpolate);
    EXPECT_EQ(R::ChooseKernel(smPrecise, 400, 100), R::TKernel::AreaAverage);
    EXPECT_EQ(R::ChooseKernel(smMedium, 400, 100), R::TKernel::Interpolate);
    EXPECT_EQ(R::ChooseKernel(smMedium, 100, 400), R::TKernel::AreaAverage);
    EXPECT_EQ(R::ChooseKernel(smFast, 100, 400), R::TKernel::PointSample);
    EXPECT_EQ(R::ChooseKernel(smFast, 400, 100), R::TKernel::PointSample);
    EXPECT_EQ(R::ChooseKernel(smPrecise, 300, 300), R::TKernel::PointSample);
    EXPECT_EQ(R(smPrecise, 0, 100, 100, 400).Divisor(), 800u);
    EXPECT_EQ(R(smPrecise, 0, 400, 400, 100).Divisor(), 400u);
    EXPECT_EQ(R(smFast, 0, 400, 400, 100).Divisor(), 1u);
}

TEST(Resampler, DividerIsExact) {
    for (std::uint64_t d :
         {1u, 2u, 3u, 7u, 400u, 800u, 2047u, 2048u, 2049u, 65535u, 1u << 20, (1u << 31) - 1}) {
        // Dividends below 2^31 take the multiplication, larger ones the division.
        const TResampler::TDivider small(d, (std::uint64_t{1} << 31) - 1);
        const TResampler::TDivider large(d, 255 * (std::uint64_t{1} << 32));
        for (std::uint64_t n : {std::uint64_t{0}, d - 1, d, d + 1, 2 * d - 1, 255 * d, 256 * d - 1,
                                std::uint64_t{12345678}, (std::uint64_t{1} << 31) - 1}) {
            if (n < (std::uint64_t{1} << 31)) {
                ASSERT_EQ(small(n), n / d) << n << " / " << d;
            }
            ASSERT_EQ(large(n), n / d) << n << " / " << d;
        }
        for (std::uint64_t n = 0; n < 100000; n += 7)
            ASSERT_EQ(small(n), n / d) << n << " / " << d;
    }
    // The largest sums of the widest rectangles.
    const std::uint64_t widest = 2 * ((std::uint64_t{1} << 31) - 1);
    const TResampler::TDivider divide(widest, 255 * widest);
    EXPECT_EQ(divide(255 * widest), 255u);
    EXPECT_EQ(divide(255 * widest - 1), 254u);
}

TEST(Resampler, SpansCoverTheSourceWithFullWeight) {
    for (TStretchMode mode : {smFast, smMedium, smPrecise})
        for (auto [s, d] : {std::pair{7, 3}, std::pair{3, 7}, std::pair{400, 100},
                            std::pair{100, 400}, std::pair{1024, 400}, std::pair{400, 1024}}) {
            const TResampler resampler(mode, 0, s, s, d);
            int previous = 0;
            for (int k = 0; k < d; ++k) {
                const TResampler::TSpan span = resampler.Span(k);
                ASSERT_TRUE(span.Valid) << mode << " " << s << "->" << d << " at " << k;
                std::uint64_t weight = span.WeightFirst + (span.CountsLast ? span.WeightLast : 0);
                if (span.Interior)
                    weight += static_cast<std::uint64_t>(span.Last - span.First - 1) *
                              resampler.InteriorWeight();
                EXPECT_EQ(weight, resampler.Divisor())
                    << mode << " " << s << "->" << d << " at " << k;
                EXPECT_GE(span.First, previous);
                EXPECT_LE(span.First, span.Last);
                previous = span.First;
            }
        }
    // Interpolating out of a region that starts left of the source: the pair that straddles
    // the edge is clamped, the one wholly outside is not valid.
    const TResampler edge(smPrecise, -1, 2, 5, 8);
    EXPECT_FALSE(edge.Span(0).Valid);
    EXPECT_TRUE(edge.Span(2).Valid);
    EXPECT_EQ(edge.Span(2).First, 0);
    EXPECT_FALSE(edge.Span(2).CountsLast);
    EXPECT_FALSE(TResampler(smPrecise, 3, 8, 5, 2).Span(1).Valid);
}

TEST(StretchCopy, InterpolationWeighsTheTwoNearestPixels) {
    // Red, blue enlarged to 8 pixels: centres at 1/16, 3/16, ... of the pair.
    auto source = Picture(2, 1, [](int x, int) { return x == 0 ? Red : Blue; });
    TPixelGraphic wide;
    wide.SetSize(8, 1, bc24Bit);
    wide.StretchFrom(*source);
    const TColor expected[8] = {
        Red, Red, RGB(223, 0, 31), RGB(159, 0, 95), RGB(95, 0, 159), RGB(31, 0, 223), Blue, Blue};
    for (int x = 0; x < 8; ++x)
        EXPECT_EQ(wide.GetPixel(x, 0), expected[x]) << x;

    wide.StretchMode = smFast;
    wide.StretchFrom(*source);
    for (int x = 0; x < 8; ++x)
        EXPECT_EQ(wide.GetPixel(x, 0), x < 4 ? Red : Blue) << x;
}

TEST(StretchCopy, ModesOnTheDocumentSizes) {
    // A 100 x 100 region of a checkerboard of 2 x 2 blocks.
    auto source = Picture(120, 110, [](int x, int y) {
        return ((x / 2 + y / 2) % 2) ? RGB(200, 100, 0) : RGB(0, 100, 200);
    });
    TPixelGraphic preview;
    preview.SetSize(400, 300, bc24Bit);
    preview.StretchCopy(0, 0, 400, 300, 10, 10, 100, 100, *source);
    bool blended = false;
    for (int x = 0; x < 400; ++x) {
        const TColor c = preview.GetPixel(x, 150);
        blended |= c != RGB(200, 100, 0) && c != RGB(0, 100, 200);
    }
    EXPECT_TRUE(blended);

    preview.StretchMode = smFast;
    preview.StretchCopy(0, 0, 400, 300, 10, 10, 100, 100, *source);
    for (int y = 0; y < 300; ++y)
        for (int x = 0; x < 400; ++x)
            ASSERT_EQ(preview.GetPixel(x, y), source->GetPixel(10 + x / 4, 10 + y * 100 / 300));

    // 400 x 300 of 4 x 4 blocks averaged into 100 x 75: each destination pixel is one block.
    auto blocks = Picture(400, 300, [](int x, int y) {
        return RGB((x / 4) % 256, (y / 4) % 256, 4 * (x % 4) + (y % 4));
    });
    TPixelGraphic small;
    small.SetSize(100, 75, bc24Bit);
    small.StretchFrom(*blocks);
    for (int y = 0; y < 75; ++y)
        for (int x = 0; x < 100; ++x)
            ASSERT_EQ(small.GetPixel(x, y), RGB(x, y, 7)) << x << "," << y; // mean of 0..15 is 7.5
}

TEST(StretchCopy, UniformPicturesStayUniformInEveryMode) {
    auto source = Filled(37, 23, RGB(13, 170, 255));
    for (TStretchMode mode : {smFast, smMedium, smPrecise})
        for (auto [w, h] :
             {std::pair{100, 60}, std::pair{11, 7}, std::pair{100, 7}, std::pair{5, 60}}) {
            TPixelGraphic image;
            image.SetSize(w, h, bc24Bit);
            image.StretchMode = mode;
            image.StretchFrom(*source);
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x)
                    ASSERT_EQ(image.GetPixel(x, y), RGB(13, 170, 255))
                        << mode << " " << w << "x" << h;
        }
}

TEST(StretchCopy, EqualSizesBehaveLikeCopyRect) {
    auto source =
        Picture(13, 9, [](int x, int y) { return RGB(19 * x, 28 * y, 255 - 9 * x * y % 256); });
    auto viaStretch = std::make_unique<TPixelGraphic>();
    auto viaCopy = std::make_unique<TPixelGraphic>();
    for (auto* image : {viaStretch.get(), viaCopy.get()}) {
        image->SetSize(11, 10, bc4Bit);
        image->SetPaletteIdent(pSys16);
    }
    int stretchChanges = 0, copyChanges = 0;
    viaStretch->OnChange = [&](TPixelGraphic&) { ++stretchChanges; };
    viaCopy->OnChange = [&](TPixelGraphic&) { ++copyChanges; };
    viaStretch->StretchCopy(-2, 1, 9, 8, 3, 0, 9, 8, *source);
    viaCopy->CopyRect(-2, 1, 9, 8, 3, 0, *source);
    EXPECT_TRUE(SamePixels(*viaStretch, *viaCopy));
    EXPECT_EQ(stretchChanges, 1);
    EXPECT_EQ(copyChanges, 1);
}

TEST(CopyRect, MovesPixelsBetweenFormatsWithoutFlipsOrSwaps) {
    auto source = RedOnBlue();
    TPixelGraphic copy;
    copy.SetSize(7, 4, bc24Bit);
    copy.SetBackgroundColor(Marker);
    copy.Clear();
    copy.CopyRect(1, 1, 5, 3, 0, 0, *source);
    EXPECT_EQ(copy.GetPixel(1, 1), Red);
    EXPECT_EQ(copy.GetPixel(3, 3), Red);
    EXPECT_EQ(copy.GetPixel(2, 1), Blue);
    EXPECT_EQ(copy.GetPixel(5, 3), Blue);
    EXPECT_EQ(copy.GetPixel(0, 0), Marker);
    EXPECT_EQ(copy.GetPixel(6, 3), Marker);

    // Palette destination and back: the same picture.
    TPixelGraphic indexed;
    indexed.SetSize(5, 3, bc8Bit);
    indexed.SetPaletteIdent(pSys16);
    indexed.CopyRect(0, 0, 5, 3, 0, 0, *source);
    EXPECT_EQ(indexed.GetPixel(0, 0), 9u);
    EXPECT_EQ(indexed.GetPixel(2, 2), 9u);
    EXPECT_EQ(indexed.GetPixel(4, 0), 12u);
    TPixelGraphic back;
    back.SetSize(5, 3, bc24Bit);
    back.CopyRect(0, 0, 5, 3, 0, 0, indexed);
    EXPECT_TRUE(SamePixels(back, *source));
}

TEST(CopyRect, TouchesOnlyTheRectangle) {
    auto source = Filled(10, 10, Red);
    for (TPGBitCount bits : {bc24Bit, bc8Bit}) {
        TPixelGraphic image;
        image.SetSize(10, 10, bits);
        if (bits != bc24Bit)
            image.SetPaletteIdent(pSys16);
        image.CopyRect(2, 3, 2, 4, 0, 0, *source);
        for (int y = 0; y < 10; ++y)
            for (int x = 0; x < 10; ++x) {
                const bool inside = x >= 2 && x < 4 && y >= 3 && y < 7;
                ASSERT_EQ(image.GetPixelColor(x, y), inside ? Red : RGB(0, 0, 0)) << x << "," << y;
            }
    }
}

TEST(StretchCopy, PixelsWithoutSourceKeepTheirValues) {
    auto source = Filled(4, 4, Red);
    for (TStretchMode mode : {smFast, smMedium, smPrecise}) {
        TPixelGraphic image;
        image.SetSize(12, 12, bc24Bit);
        image.SetBackgroundColor(Marker);
        image.Clear();
        image.StretchMode = mode;
        // The source region reaches 4 pixels past the right and bottom edges of the source.
        image.StretchCopy(0, 0, 6, 6, 2, 2, 6, 6, *source);
        image.StretchCopy(0, 6, 12, 6, 2, 2, 6, 4, *source);
        int kept = 0;
        for (int y = 0; y < 12; ++y)
            for (int x = 0; x < 12; ++x) {
                const TColor c = image.GetPixel(x, y);
                ASSERT_TRUE(c == Red || c == Marker) << mode << " " << x << "," << y;
                kept += c == Marker;
            }
        EXPECT_GT(kept, 0) << mode;
        EXPECT_EQ(image.GetPixel(0, 0), Red);
        EXPECT_EQ(image.GetPixel(5, 5), Marker);
    }
}

TEST(StretchCopy, AbortStopsAfterTheCurrentRow) {
    auto source = Filled(20, 20, Red);
    TPixelGraphic image;
    image.SetSize(10, 10, bc24Bit);
    std::vector<std::string> events;
    image.OnProgressStart = [&](TPixelGraphic&) { events.push_back("start"); };
    image.OnProgressEnd = [&](TPixelGraphic&) { events.push_back("end"); };
    image.OnChange = [&](TPixelGraphic&) { events.push_back("change"); };
    image.OnProgress = [&](TPixelGraphic&, int step, int max, bool& abort) {
        events.push_back(std::to_string(step) + "/" + std::to_string(max));
        abort = step == 1;
    };
    image.StretchFrom(*source);
    const std::vector<std::string> expected = {"start", "0/9", "1/9", "end", "change"};
    EXPECT_EQ(events, expected);
    for (int x = 0; x < 10; ++x) {
        EXPECT_EQ(image.GetPixel(x, 1), Red);
        EXPECT_EQ(image.GetPixel(x, 2), 0u);
    }

    // The same through CopyRect, into a palette image.
    TPixelGraphic indexed;
    indexed.SetSize(20, 20, bc8Bit);
    indexed.SetPaletteIdent(pSys16);
    indexed.OnProgress = image.OnProgress;
    indexed.StretchFrom(*source);
    EXPECT_EQ(indexed.GetPixel(19, 1), 9u);
    EXPECT_EQ(indexed.GetPixel(0, 2), 0u);
}

TEST(StretchCopy, EmptyImagesAndRectanglesDoNothing) {
    auto source = Filled(4, 4, Red);
    TPixelGraphic empty;
    int changes = 0;
    empty.OnChange = [&](TPixelGraphic&) { ++changes; };
    empty.StretchCopy(0, 0, 8, 8, 0, 0, 4, 4, *source);
    empty.CopyRect(0, 0, 4, 4, 0, 0, *source);
    TPixelGraphic image;
    image.SetSize(8, 8, bc24Bit);
    image.OnChange = empty.OnChange;
    image.StretchCopy(0, 0, 8, 8, 0, 0, 0, 4, *source);
    image.StretchCopy(0, 0, 8, 8, 0, 0, 4, -4, *source);
    image.StretchCopy(0, 0, 8, 8, 0, 0, 4, 4, empty);
    EXPECT_EQ(changes, 0);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            ASSERT_EQ(image.GetPixel(x, y), 0u);
}

TEST(StretchCopy, FailuresPropagateAndStillEndTheProgress) {
    // Index 5 of a two-entry palette has no colour.
    TPixelGraphic source;
    source.SetSize(4, 4, bc8Bit);
    source.SetPaletteIdent(pBlackWhite);
    source.SetPixel(2, 2, 5);
    TPixelGraphic image;
    image.SetSize(8, 8, bc8Bit);
    image.SetPaletteIdent(pGray256);
    int ends = 0;
    image.OnProgressEnd = [&](TPixelGraphic&) { ++ends; };
    // A listener showing the progress must not be left waiting for an end.
    EXPECT_THROW(image.StretchFrom(source), EPGInvalidPaletteIndex);
    EXPECT_THROW(image.CopyRect(0, 0, 4, 4, 0, 0, source), EPGInvalidPaletteIndex);
    EXPECT_EQ(ends, 2);
    // The image still converts afterwards.
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            source.SetPixel(x, y, 1);
    image.StretchFrom(source);
    EXPECT_EQ(ends, 3);
    EXPECT_EQ(image.GetPixel(5, 5), 255u);
}

// A listener that throws at the second row must still see the end of the operation.
TEST(ProgressScope, CopiesEndTheirProgressWhenAListenerThrows) {
    const auto source = RedOnBlue();
    // A palette target: a true-colour one takes whole rows without reporting them.
    auto target = Filled(5, 3, Marker);
    target->SetBitCount(bc8Bit);
    const TFailingProgress progress(*target, 1);
    EXPECT_THROW(target->CopyRect(0, 0, 5, 3, 0, 0, *source), std::runtime_error);
    EXPECT_EQ(progress.Starts, 1);
    EXPECT_EQ(progress.Ends, 1);
    // Resampling, not the plain copy that equal sizes take.
    EXPECT_THROW(target->StretchCopy(0, 0, 5, 3, 0, 0, 4, 2, *source), std::runtime_error);
    EXPECT_EQ(progress.Starts, 2);
    EXPECT_EQ(progress.Ends, 2);
}

TEST(ProgressScope, AnEndHookThrowsOnlyWhenNothingElseDoes) {
    auto image = Filled(2, 2, Marker);
    image->OnProgressEnd = [](TPixelGraphic&) { throw std::logic_error("end hook"); };
    EXPECT_THROW({ const TProgressScope progress(*image); }, std::logic_error);
    // While the operation's own exception unwinds, that one is the caller's.
    EXPECT_THROW(
        {
            const TProgressScope progress(*image);
            throw std::runtime_error("operation");
        },
        std::runtime_error);
}
