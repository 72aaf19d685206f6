#include "TestPictures.h"
#include "image/PixelGraphic.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <random>

namespace {

const TColor Marker = RGB(1, 2, 3);

// Every pixel of the source differs from the others and from the marker.
std::unique_ptr<TPixelGraphic> Source() {
    return Picture(4, 4, [](int x, int y) { return RGB(40 + 50 * x, 60 + 40 * y, 200); });
}

std::unique_ptr<TPixelGraphic> Canvas(int width, int height, TPGBitCount bitCount = bc24Bit) {
    auto image = std::make_unique<TPixelGraphic>();
    image->SetSize(width, height, bitCount);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image->SetPixelColor(x, y, Marker);
    return image;
}

bool Untouched(const TPixelGraphic& image) {
    for (int y = 0; y < image.Height(); ++y)
        for (int x = 0; x < image.Width(); ++x)
            if (image.GetPixelColor(x, y) != Marker)
                return false;
    return true;
}

// Coordinates and sizes where 32-bit sums and differences overflow.
constexpr int Extremes[] = {INT_MIN, INT_MIN + 1, INT_MIN / 2, -5,          -1,          0,      1,
                            3,       4,           7,           INT_MAX / 2, INT_MAX - 1, INT_MAX};

} // namespace

TEST(CopyRectangles, RectanglesFarOutsideChangeNothing) {
    const auto source = Source();
    for (TStretchMode mode : {smFast, smMedium, smPrecise}) {
        auto image = Canvas(8, 8);
        image->StretchMode = mode;
        image->StretchCopy(INT_MAX, 0, 8, 8, 0, 0, 4, 4, *source);
        image->StretchCopy(0, INT_MAX, 8, 8, 0, 0, 4, 4, *source);
        image->StretchCopy(INT_MIN, INT_MIN, 8, 8, 0, 0, 4, 4, *source);
        image->StretchCopy(0, 0, 8, 8, INT_MAX, INT_MAX, 4, 4, *source);
        image->StretchCopy(0, 0, 8, 8, INT_MIN, 0, INT_MAX, 4, *source);
        image->CopyRect(INT_MIN, 0, INT_MAX, 8, INT_MAX, 0, *source);
        image->CopyRect(INT_MAX, INT_MAX, INT_MAX, INT_MAX, INT_MIN, INT_MIN, *source);
        image->CopyRect(0, INT_MIN, 8, INT_MAX, 0, INT_MAX, *source);
        EXPECT_TRUE(Untouched(*image)) << mode;
    }
}

TEST(CopyRectangles, HugeRectanglesCopyTheirVisiblePart) {
    const auto source = Source();
    auto image = Canvas(8, 8);
    // Everything left of the image lies left of the source too: the columns line up.
    image->CopyRect(8 - INT_MAX, 0, INT_MAX, 4, 8 - INT_MAX, 0, *source);
    image->CopyRect(-5, 4, INT_MAX, INT_MAX, -5, 0, *source);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            EXPECT_EQ(image->GetPixelColor(x, y), x < 4 ? source->GetPixelColor(x, y % 4) : Marker)
                << x << "," << y;

    // A destination rectangle of almost 2^31 columns whose middle the image shows: every
    // visible column takes (nearly exactly) source column 2, or the mean of 1 and 2.
    const int far = 1 << 30;
    for (TStretchMode mode : {smFast, smPrecise}) {
        auto wide = Canvas(8, 8);
        wide->StretchMode = mode;
        wide->StretchCopy(-far, 0, INT_MAX, 8, 0, 0, 4, 4, *source);
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x) {
                const TColor got = wide->GetPixelColor(x, y);
                if (mode == smFast) {
                    EXPECT_EQ(got, source->GetPixelColor(2, y / 2)) << x << "," << y;
                } else {
                    const int expected = (GetRValue(source->GetPixelColor(1, 0)) +
                                          GetRValue(source->GetPixelColor(2, 0))) /
                                         2;
                    EXPECT_LE(std::abs(GetRValue(got) - expected), 1) << x << "," << y;
                    EXPECT_EQ(GetBValue(got), 200) << x << "," << y;
                }
            }
    }
}

TEST(CopyRectangles, ClippingShowsWhatALargerImageShowsThere) {
    const auto source = Source();
    std::mt19937 random(7);
    std::uniform_int_distribution<int> offset(-20, 20), size(1, 30);
    for (int round = 0; round < 300; ++round) {
        const int dl = offset(random), dt = offset(random), dw = size(random), dh = size(random);
        const int sl = offset(random) / 4, st = offset(random) / 4;
        const int sw = size(random) / 4 + 1, sh = size(random) / 4 + 1;
        const TStretchMode mode = static_cast<TStretchMode>(round % 3);
        auto small = Canvas(8, 8);
        auto large = Canvas(48, 48);
        small->StretchMode = large->StretchMode = mode;
        small->StretchCopy(dl, dt, dw, dh, sl, st, sw, sh, *source);
        large->StretchCopy(dl + 20, dt + 20, dw, dh, sl, st, sw, sh, *source);
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x)
                ASSERT_EQ(small->GetPixelColor(x, y), large->GetPixelColor(x + 20, y + 20))
                    << "round " << round << " at " << x << "," << y;
    }
}

TEST(CopyRectangles, AnyRectangleIsSafe) {
    // Runs under the sanitizers in CI: no rectangle may overflow, shift too far or throw.
    const auto source = Source();
    auto paletted = Canvas(8, 8, bc8Bit);
    auto trueColor = Canvas(8, 8);
    std::mt19937 random(11);
    std::uniform_int_distribution<std::size_t> pick(0, std::size(Extremes) - 1);
    auto any = [&] { return Extremes[pick(random)]; };
    for (int round = 0; round < 3000; ++round) {
        TPixelGraphic& image = round % 2 ? *paletted : *trueColor;
        image.StretchMode = static_cast<TStretchMode>(round % 3);
        const int a = any(), b = any(), c = any(), d = any(), e = any(), f = any();
        EXPECT_NO_THROW(image.StretchCopy(a, b, c, d, e, f, any(), any(), *source));
        EXPECT_NO_THROW(image.CopyRect(a, b, c, d, e, f, *source));
    }
}
TEST(CopyRectangles, DitheringIntoAnImageWithoutPaletteEntriesStaysInItsTables) {
    // An 8-bit image that was only given a size has no palette entries yet.
    const auto source = Source();
    auto image = Canvas(8, 8, bc8Bit);
    ASSERT_EQ(image->PaletteCount(), 0);
    image->CopyRect(0, 0, 8, 8, 0, 0, *source);
    image->StretchCopy(0, 0, 8, 8, 0, 0, 4, 4, *source);
    EXPECT_EQ(image->Width(), 8);
}
