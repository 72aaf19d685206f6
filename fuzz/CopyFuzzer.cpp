// Copies and resamples rectangles of any 32-bit coordinates between small pictures. A copy may
// raise the library's own errors, but must never crash, overflow or touch a pixel outside its
// destination rectangle.
#include "FuzzPictures.h"

#include "image/PGExceptions.h"

#include <climits>
#include <cstdint>
#include <vector>

namespace {

// Mostly coordinates near the pictures, sometimes any 32-bit value.
int Coordinate(FuzzedDataProvider& input) {
    if (input.ConsumeBool())
        return input.ConsumeIntegralInRange(-2 * fuzzpictures::MaxSide, 2 * fuzzpictures::MaxSide);
    return input.ConsumeIntegral<int>();
}

std::vector<std::uint32_t> Pixels(const TPixelGraphic& image) {
    std::vector<std::uint32_t> pixels;
    for (int y = 0; y < image.Height(); ++y)
        for (int x = 0; x < image.Width(); ++x)
            pixels.push_back(image.GetPixel(x, y));
    return pixels;
}

bool Inside(std::int64_t position, std::int64_t start, std::int64_t size) {
    return position >= start && position < start + size;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const auto source = fuzzpictures::Picture(input);
    const auto target = fuzzpictures::Picture(input);
    const int destLeft = Coordinate(input), destTop = Coordinate(input);
    const int destWidth = Coordinate(input), destHeight = Coordinate(input);
    const int srcLeft = Coordinate(input), srcTop = Coordinate(input);
    const int srcWidth = Coordinate(input), srcHeight = Coordinate(input);
    const int operation = input.ConsumeIntegralInRange(0, 2);

    const std::vector<std::uint32_t> before = Pixels(*target);
    try {
        switch (operation) {
        case 0:
            target->StretchCopy(destLeft, destTop, destWidth, destHeight, srcLeft, srcTop, srcWidth,
                                srcHeight, *source);
            break;
        case 1:
            target->CopyRect(destLeft, destTop, destWidth, destHeight, srcLeft, srcTop, *source);
            break;
        default:
            target->StretchFrom(*source);
            return 0;
        }
    } catch (const EPixelGraphic&) {
        // Palette indices without an entry are reported, not copied.
        return 0;
    }
    const std::vector<std::uint32_t> after = Pixels(*target);
    for (int y = 0; y < target->Height(); ++y)
        for (int x = 0; x < target->Width(); ++x) {
            const std::size_t i = static_cast<std::size_t>(y) * target->Width() + x;
            if (before[i] != after[i] &&
                !(Inside(x, destLeft, destWidth) && Inside(y, destTop, destHeight)))
                __builtin_trap();
        }
    return 0;
}
