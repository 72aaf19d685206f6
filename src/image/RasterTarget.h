#pragma once

#include "image/PGTypes.h"

#include <cstdint>
#include <vector>

// A rectangle in pixels: Left and Top inside, Right and Bottom just outside. Drawing accepts
// Right < Left or Bottom < Top to mean a mirrored picture.
struct TRect {
    int Left = 0;
    int Top = 0;
    int Right = 0;
    int Bottom = 0;
};

// How a drawn picture's pixels combine with the pixels already on the target.
enum class TPGRasterOp { SrcCopy, SrcAnd, SrcPaint, SrcInvert, NotSrcCopy };

// The opaque 0xffRRGGBB result of combining a source and a destination pixel.
constexpr std::uint32_t CombinePixels(TPGRasterOp op, std::uint32_t source,
                                      std::uint32_t destination) {
    std::uint32_t result = source;
    switch (op) {
    case TPGRasterOp::SrcCopy:
        break;
    case TPGRasterOp::SrcAnd:
        result = source & destination;
        break;
    case TPGRasterOp::SrcPaint:
        result = source | destination;
        break;
    case TPGRasterOp::SrcInvert:
        result = source ^ destination;
        break;
    case TPGRasterOp::NotSrcCopy:
        result = ~source;
        break;
    }
    return result | 0xFF000000u;
}

// The portable drawing surface that pictures are shown on: 32-bit words 0xffRRGGBB, rows
// top-down, 4 * Width bytes per row (the memory layout of a Qt RGB32 image), plus a clip
// rectangle that limits all drawing.
class TRasterTarget {
public:
    TRasterTarget() = default;
    // An opaque black surface clipped to its bounds.
    TRasterTarget(int width, int height);
    // A surface drawing into memory owned by someone else, with the same layout.
    TRasterTarget(std::uint32_t* bits, int width, int height);
    TRasterTarget(const TRasterTarget&) = delete;
    TRasterTarget& operator=(const TRasterTarget&) = delete;
    // Moving keeps the pixel memory where it is.
    TRasterTarget(TRasterTarget&&) = default;
    TRasterTarget& operator=(TRasterTarget&&) = default;

    // Reallocates as opaque black and resets the clip to the bounds.
    void Resize(int width, int height);

    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    int BytesPerLine() const { return 4 * FWidth; }
    std::uint32_t* Bits() { return FBits; }
    const std::uint32_t* Bits() const { return FBits; }
    std::uint32_t* ScanLine(int row) { return FBits + static_cast<std::ptrdiff_t>(row) * FWidth; }
    const std::uint32_t* ScanLine(int row) const {
        return FBits + static_cast<std::ptrdiff_t>(row) * FWidth;
    }

    // The clip as set, and the part of it that lies on the surface.
    const TRect& ClipRect() const { return FClipRect; }
    TRect VisibleClipRect() const;
    void SetClipRect(const TRect& rect) { FClipRect = rect; }

    // Whole-surface access in colour values; the clip does not apply.
    TColor PixelColor(int x, int y) const { return ToColor(ScanLine(y)[x]); }
    void Fill(TColor color);

    static constexpr std::uint32_t FromColor(TColor color) {
        return 0xFF000000u | (GetRValue(color) << 16) | (GetGValue(color) << 8) | GetBValue(color);
    }
    static constexpr TColor ToColor(std::uint32_t pixel) {
        return RGB((pixel >> 16) & 0xFF, (pixel >> 8) & 0xFF, pixel & 0xFF);
    }

private:
    std::vector<std::uint32_t> FOwnBits;
    std::uint32_t* FBits = nullptr;
    int FWidth = 0;
    int FHeight = 0;
    TRect FClipRect;
};
