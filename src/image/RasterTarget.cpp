#include "image/RasterTarget.h"

#include <algorithm>

TRasterTarget::TRasterTarget(int width, int height) {
    Resize(width, height);
}

TRasterTarget::TRasterTarget(std::uint32_t* bits, int width, int height)
    : FBits(bits), FWidth(width), FHeight(height), FClipRect{0, 0, width, height} {}

void TRasterTarget::Resize(int width, int height) {
    width = std::max(width, 0);
    height = std::max(height, 0);
    FOwnBits.assign(static_cast<std::size_t>(width) * height, FromColor(RGB(0, 0, 0)));
    FBits = FOwnBits.data();
    FWidth = width;
    FHeight = height;
    FClipRect = {0, 0, width, height};
}

TRect TRasterTarget::VisibleClipRect() const {
    TRect r{std::max(FClipRect.Left, 0), std::max(FClipRect.Top, 0),
            std::min(FClipRect.Right, FWidth), std::min(FClipRect.Bottom, FHeight)};
    if (r.Right < r.Left)
        r.Right = r.Left;
    if (r.Bottom < r.Top)
        r.Bottom = r.Top;
    return r;
}

void TRasterTarget::Fill(TColor color) {
    std::fill_n(FBits, static_cast<std::size_t>(FWidth) * FHeight, FromColor(color));
}
