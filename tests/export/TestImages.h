#pragma once

#include "TestPictures.h"
#include "image/PixelGraphic.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Small pictures whose every pixel differs from its neighbours and from its mirror images, so
// that flipped rows, swapped channels and lost padding all show.
namespace testimages {

// The colour of pixel (x, y) in TrueColor().
inline TColor TrueColorAt(int x, int y) {
    return RGB(10 + 40 * x, 5 + 80 * y, 200 - 30 * x - 7 * y);
}

inline std::unique_ptr<TPixelGraphic> TrueColor(int width = 5, int height = 3) {
    return Picture(width, height, TrueColorAt);
}

// Red on blue, 5 x 3: one red pixel at the top left, one at the bottom right.
inline std::unique_ptr<TPixelGraphic> RedOnBlue() {
    return Picture(5, 3, [](int x, int y) {
        return (x == 0 && y == 0) || (x == 4 && y == 2) ? RGB(255, 0, 0) : RGB(0, 0, 255);
    });
}

// The grey value of pixel (x, y) in Gray256().
inline std::uint32_t GrayAt(int x, int y) {
    return (17 * x + 101 * y + 3) % 256;
}

inline std::unique_ptr<TPixelGraphic> Gray256(int width = 5, int height = 3) {
    auto image = std::make_unique<TPixelGraphic>();
    image->SetSize(width, height, bc8Bit);
    image->SetPaletteIdent(pGray256);
    FillPixels(*image, GrayAt);
    return image;
}

// Pixel (x, y) of BlackWhite() is black (index 0) when this holds.
inline bool BlackAt(int x, int y) {
    return (x * x + 3 * y) % 5 < 2;
}

inline std::unique_ptr<TPixelGraphic> BlackWhite(int width = 9, int height = 3) {
    auto image = std::make_unique<TPixelGraphic>();
    image->SetSize(width, height, bc1Bit);
    image->SetPaletteIdent(pBlackWhite);
    FillPixels(*image, [](int x, int y) { return BlackAt(x, y) ? 0u : 1u; });
    return image;
}

// A palette image of the given format whose entries are `colors`; pixel (x, y) takes entry
// (x + 2y) mod colors.size().
inline std::unique_ptr<TPixelGraphic>
Paletted(TPGBitCount bitCount, const std::vector<TColor>& colors, int width = 5, int height = 3) {
    auto image = std::make_unique<TPixelGraphic>();
    image->SetSize(width, height, bitCount);
    image->SetPaletteCount(static_cast<int>(colors.size()));
    for (std::size_t i = 0; i < colors.size(); ++i)
        image->SetPaletteEntry(static_cast<int>(i), colors[i]);
    image->IdentifyPalette();
    FillPixels(*image, [&colors](int x, int y) { return (x + 2 * y) % colors.size(); });
    return image;
}

inline std::uint32_t ReadLE32(const std::string& bytes, std::size_t offset) {
    return static_cast<std::uint8_t>(bytes[offset]) |
           static_cast<std::uint8_t>(bytes[offset + 1]) << 8 |
           static_cast<std::uint8_t>(bytes[offset + 2]) << 16 |
           static_cast<std::uint32_t>(static_cast<std::uint8_t>(bytes[offset + 3])) << 24;
}

inline std::uint32_t ReadLE16(const std::string& bytes, std::size_t offset) {
    return static_cast<std::uint8_t>(bytes[offset]) | static_cast<std::uint8_t>(bytes[offset + 1])
                                                          << 8;
}

inline std::uint8_t ByteAt(const std::string& bytes, std::size_t offset) {
    return static_cast<std::uint8_t>(bytes[offset]);
}

} // namespace testimages
