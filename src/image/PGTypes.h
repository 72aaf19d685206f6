#pragma once

#include <cstdint>
#include <functional>

class TPixelGraphic;

// A colour: red in bits 0-7, green in bits 8-15, blue in bits 16-23.
using TColor = std::uint32_t;

constexpr TColor RGB(std::uint32_t r, std::uint32_t g, std::uint32_t b) {
    return r | (g << 8) | (b << 16);
}
constexpr std::uint8_t GetRValue(TColor c) {
    return c & 0xFF;
}
constexpr std::uint8_t GetGValue(TColor c) {
    return (c >> 8) & 0xFF;
}
constexpr std::uint8_t GetBValue(TColor c) {
    return (c >> 16) & 0xFF;
}

enum TPGBitCount { bc1Bit, bc4Bit, bc8Bit, bc24Bit };

enum TPaletteIdent {
    pNone,
    pTrueColor,
    pUnknown,
    pBlackWhite,
    pSysGray4,
    pSys16,
    pGray4,
    pGray16,
    pGray236,
    pGray256,
    pSpecial125,
    pSpecial216,
    pSpecial252,
    pOptimized252Sys16,
    pSource
};

enum TStretchMode { smFast, smMedium, smPrecise };

enum TPGWarningAction { pgwaIgnore, pgwaOKBox, pgwaOKCancelBox, pgwaRaise };

using TNotifyEvent = std::function<void(TPixelGraphic& sender)>;
using TPGProgressEvent = std::function<void(TPixelGraphic& sender, int step, int max, bool& abort)>;
