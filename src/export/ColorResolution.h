#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

class TPixelGraphic;

// What a file format must be able to store to hold an image.
enum TPGColorResolution {
    crBlackWhite,
    cr2Colors,
    cr16Grays,
    cr16SysColors,
    cr16Colors,
    cr256Grays,
    cr256Colors,
    crTrueColor
};

constexpr int ColorResolutionCount = 8;

// A set of colour resolutions: bit n stands for resolution n.
using TPGColorResolutions = std::uint8_t;

constexpr TPGColorResolutions ColorResolutionBit(TPGColorResolution resolution) {
    return static_cast<TPGColorResolutions>(1u << resolution);
}
constexpr bool ContainsColorResolution(TPGColorResolutions set, TPGColorResolution resolution) {
    return (set & ColorResolutionBit(resolution)) != 0;
}
constexpr TPGColorResolutions AllColorResolutions = 0xFF;

// The resolution of an image as it is now: its pixel format and palette identity (the palette
// identity must be current, see IdentifyPalette).
TPGColorResolution ClassifyColorResolution(const TPixelGraphic& image);

// The display text of a resolution in the current message language.
std::string ColorResolutionText(TPGColorResolution resolution);

// The resolutions to try, best first, when a format cannot take `current`; starts with `current`.
const std::array<TPGColorResolution, ColorResolutionCount>&
SubstitutionRow(TPGColorResolution current);

// The first resolution of the substitution row that `writable` contains; false when none is.
bool ChooseColorResolution(TPGColorResolution current, TPGColorResolutions writable,
                           TPGColorResolution& chosen);

// A copy of `source` converted to `target` (pixel format and palette of the resolution, the
// colours dithered in by StretchFrom); the copy reports progress through the source's handlers.
// A listener that aborts the conversion makes it raise EPixelGraphic ("Operation aborted on
// user request").
std::unique_ptr<TPixelGraphic> ConvertColorResolution(const TPixelGraphic& source,
                                                      TPGColorResolution target);
