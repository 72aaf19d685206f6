#include "image/PixelGraphic.h"

#include "image/PGCanvas.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

// One axis of a stretch: target position t (0 = the rectangle's left or top edge) shows source
// position floor(t * sourceSize / targetSize), counted from the far edge when mirrored.
int SourcePosition(std::int64_t t, std::int64_t targetSize, std::int64_t sourceSize,
                   bool mirrored) {
    if (mirrored)
        t = targetSize - 1 - t;
    return static_cast<int>(t * sourceSize / targetSize);
}

// The target words of the source columns `columns` of one source row.
void ConvertRow24(const std::uint8_t* row, const std::vector<int>& columns, bool identity,
                  std::uint32_t* out) {
    const std::size_t n = columns.size();
    if (identity) {
        const std::uint8_t* p = row + 3 * static_cast<std::ptrdiff_t>(columns[0]);
        for (std::size_t i = 0; i < n; ++i, p += 3)
            out[i] = 0xFF000000u | std::uint32_t{p[2]} << 16 | std::uint32_t{p[1]} << 8 | p[0];
        return;
    }
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint8_t* p = row + 3 * static_cast<std::ptrdiff_t>(columns[i]);
        out[i] = 0xFF000000u | std::uint32_t{p[2]} << 16 | std::uint32_t{p[1]} << 8 | p[0];
    }
}

void ConvertRowIndexed(const std::uint8_t* row, TPGBitCount bitCount,
                       const std::vector<int>& columns, const std::array<std::uint32_t, 256>& lut,
                       std::uint32_t* out) {
    const std::size_t n = columns.size();
    switch (bitCount) {
    case bc1Bit:
        for (std::size_t i = 0; i < n; ++i) {
            const int x = columns[i];
            out[i] = lut[(row[x >> 3] >> (7 - (x & 7))) & 1];
        }
        break;
    case bc4Bit:
        for (std::size_t i = 0; i < n; ++i) {
            const int x = columns[i];
            out[i] = lut[(row[x >> 1] >> ((x & 1) ? 0 : 4)) & 0x0F];
        }
        break;
    default:
        for (std::size_t i = 0; i < n; ++i)
            out[i] = lut[row[columns[i]]];
        break;
    }
}

} // namespace

void TPixelGraphic::DrawToContext(TRasterTarget& target, TRect rect, bool /*forceBackground*/,
                                  TPGRasterOp rasterOp) {
    if (FWidth <= 0 || FHeight <= 0)
        return;
    if (!Bits())
        return;
    const std::int64_t targetWidth = std::abs(std::int64_t{rect.Right} - rect.Left);
    const std::int64_t targetHeight = std::abs(std::int64_t{rect.Bottom} - rect.Top);
    const bool mirrorX = rect.Right < rect.Left;
    const bool mirrorY = rect.Bottom < rect.Top;
    const int left = std::min(rect.Left, rect.Right);
    const int top = std::min(rect.Top, rect.Bottom);
    const TRect clip = target.VisibleClipRect();
    const int x0 = static_cast<int>(std::max<std::int64_t>(left, clip.Left));
    const int x1 = static_cast<int>(std::min<std::int64_t>(left + targetWidth, clip.Right));
    const int y0 = static_cast<int>(std::max<std::int64_t>(top, clip.Top));
    const int y1 = static_cast<int>(std::min<std::int64_t>(top + targetHeight, clip.Bottom));
    if (x0 >= x1 || y0 >= y1)
        return;

    const std::size_t n = static_cast<std::size_t>(x1 - x0);
    std::vector<int> columns(n);
    for (std::size_t i = 0; i < n; ++i)
        columns[i] = SourcePosition(std::int64_t{x0} - left + static_cast<std::int64_t>(i),
                                    targetWidth, FWidth, mirrorX);
    const bool identity = targetWidth == FWidth && !mirrorX;

    // Palette pixels are shown through the header's colour table, as the platform would.
    std::array<std::uint32_t, 256> lut{};
    for (int slot = 0; slot < PaletteSlots(FBitCount); ++slot) {
        const std::uint8_t* bgr =
            &FBitmapInfo[BitmapInfoHeaderSize + 4 * static_cast<std::size_t>(slot)];
        lut[slot] = 0xFF000000u | std::uint32_t{bgr[2]} << 16 | std::uint32_t{bgr[1]} << 8 | bgr[0];
    }

    std::vector<std::uint32_t> converted(rasterOp == TPGRasterOp::SrcCopy ? 0 : n);
    const std::uint32_t* previous = nullptr;
    int previousSourceRow = -1;
    for (int y = y0; y < y1; ++y) {
        std::uint32_t* out = target.ScanLine(y) + x0;
        const int sourceRow = SourcePosition(std::int64_t{y} - top, targetHeight, FHeight, mirrorY);
        if (rasterOp == TPGRasterOp::SrcCopy && sourceRow == previousSourceRow) {
            // Enlarged pictures repeat rows: copy the row drawn just before.
            std::memcpy(out, previous, n * sizeof(std::uint32_t));
            continue;
        }
        std::uint32_t* row = rasterOp == TPGRasterOp::SrcCopy ? out : converted.data();
        const std::uint8_t* source = FBits + RowOffset(sourceRow);
        if (FBitCount == bc24Bit)
            ConvertRow24(source, columns, identity, row);
        else
            ConvertRowIndexed(source, FBitCount, columns, lut, row);
        if (rasterOp != TPGRasterOp::SrcCopy) {
            for (std::size_t i = 0; i < n; ++i)
                out[i] = CombinePixels(rasterOp, row[i], out[i]);
        }
        previous = out;
        previousSourceRow = sourceRow;
    }
}

void TPixelGraphic::DrawImage(TPGCanvas& canvas, const TRect& rect) {
    TPixelGraphic* image = canvas.Image();
    if (!image || FWidth <= 0 || FHeight <= 0)
        return;
    // Draw the part of the rectangle that lies on the canvas's image into a patch, then let the
    // canvas store it in the image's own format.
    const int left = std::max(std::min(rect.Left, rect.Right), 0);
    const int top = std::max(std::min(rect.Top, rect.Bottom), 0);
    const int right = std::min(std::max(rect.Left, rect.Right), image->Width());
    const int bottom = std::min(std::max(rect.Top, rect.Bottom), image->Height());
    if (left >= right || top >= bottom)
        return;
    TRasterTarget patch(right - left, bottom - top);
    DrawToContext(patch, {rect.Left - left, rect.Top - top, rect.Right - left, rect.Bottom - top},
                  true);
    canvas.CopyRaster(patch, left, top);
}

TPGCanvas& TPixelGraphic::ImageCanvas() {
    if (!FImageCanvas) {
        FImageCanvas.reset(new TPGCanvas(this));
        FImageCanvas->OnChange = [this] { NotifyChange(this); };
    }
    FGdiPending = true;
    return *FImageCanvas;
}

void TPixelGraphic::ReleaseCanvasHandle() {
    if (FImageCanvas)
        FImageCanvas->ReleaseHandle();
}

void TPixelGraphic::TCanvasDeleter::operator()(TPGCanvas* canvas) const {
    delete canvas;
}
