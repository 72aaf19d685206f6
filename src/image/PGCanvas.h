#pragma once

#include "image/PGTypes.h"
#include "image/RasterTarget.h"

#include <array>
#include <cstdint>
#include <functional>
#include <optional>

// The drawing surface of one image. Drawing needs a context bound to the image's pixels; the
// canvas creates it on first use and gives it up when the image reallocates its pixels or
// changes its palette. Only one canvas at a time holds a context on the same pixels.
class TPGCanvas {
public:
    explicit TPGCanvas(TPixelGraphic* image);
    ~TPGCanvas();
    TPGCanvas(const TPGCanvas&) = delete;
    TPGCanvas& operator=(const TPGCanvas&) = delete;

    TPixelGraphic* Image() const { return FImage; }
    bool HandleAllocated() const { return FContext.has_value(); }
    // Binds a context to the image unless one is held already; nothing without an image.
    void RequireHandle();
    void ReleaseHandle();
    // Makes every canvas give up its context, as when the library shuts down.
    static void ReleaseAllHandles();
    static int HandlesAllocated();

    // Called after every drawing operation.
    std::function<void()> OnChange;
    // How CopyRaster combines pixels; the image's DrawImage uses it too.
    TPGRasterOp CopyMode = TPGRasterOp::SrcCopy;

    // Drawing in colour values; a palette image stores the nearest colour of its colour table.
    // Everything outside the image is ignored, reads outside return black.
    void FillRect(const TRect& rect, TColor color);
    void SetPixel(int x, int y, TColor color);
    TColor GetPixel(int x, int y);
    // Combines `source` with CopyMode into the image with its top left corner at (x, y).
    void CopyRaster(const TRasterTarget& source, int x, int y);

private:
    // What a context remembers of the image: the colour table that its pixels index (for 1, 4
    // and 8 bits), and the last colour matched into it.
    struct TContext {
        std::array<TColor, 256> ColorTable{};
        int Slots = 0;
        TColor LastColor = 0;
        std::uint32_t LastValue = 0;
        bool LastValid = false;
    };

    bool Begin();
    void End();
    std::uint32_t RawValue(TColor color);
    TColor ColorOf(std::uint32_t raw) const;
    void Store(int x, int y, TColor color);

    TPixelGraphic* FImage;
    std::optional<TContext> FContext;
};
