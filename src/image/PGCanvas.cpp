#include "image/PGCanvas.h"

#include "image/PixelGraphic.h"

#include <algorithm>
#include <limits>
#include <vector>

namespace {

// Every canvas that currently holds a context. Whatever still holds one when the library
// shuts down gives it up then.
struct TCanvasList {
    std::vector<TPGCanvas*> Items;
    ~TCanvasList() { TPGCanvas::ReleaseAllHandles(); }
};

TCanvasList& CanvasList() {
    static TCanvasList list;
    return list;
}

int SquaredDistance(TColor a, TColor b) {
    int dr = GetRValue(a) - GetRValue(b);
    int dg = GetGValue(a) - GetGValue(b);
    int db = GetBValue(a) - GetBValue(b);
    return dr * dr + dg * dg + db * db;
}

} // namespace

TPGCanvas::TPGCanvas(TPixelGraphic* image) : FImage(image) {}

TPGCanvas::~TPGCanvas() {
    ReleaseHandle();
}

void TPGCanvas::RequireHandle() {
    if (FContext || !FImage)
        return;
    // Each image owns its pixel memory alone, so "the same pixels" means the same image.
    std::vector<TPGCanvas*> others = CanvasList().Items;
    for (TPGCanvas* other : others)
        if (other != this && other->FImage == FImage)
            other->ReleaseHandle();

    TContext context;
    if (FImage->BitCount() != bc24Bit) {
        context.Slots = 1 << FImage->BitCountNum();
        const std::vector<TColor>& entries = FImage->PaletteEntries();
        const int count = FImage->PaletteCount();
        for (int i = 0; i < context.Slots; ++i)
            context.ColorTable[i] = i < count ? entries[i] : count > 0 ? entries[0] : 0;
    }
    FContext = context;
    CanvasList().Items.push_back(this);
}

void TPGCanvas::ReleaseHandle() {
    if (!FContext)
        return;
    FContext.reset();
    std::erase(CanvasList().Items, this);
}

void TPGCanvas::ReleaseAllHandles() {
    std::vector<TPGCanvas*>& items = CanvasList().Items;
    while (!items.empty())
        items.back()->ReleaseHandle();
}

int TPGCanvas::HandlesAllocated() {
    return static_cast<int>(CanvasList().Items.size());
}

bool TPGCanvas::Begin() {
    RequireHandle();
    return FContext.has_value();
}

// Drawing goes to the platform's queue; the image waits for it before its next direct access.
void TPGCanvas::End() {
    FImage->SetGdiPending(true);
    if (OnChange)
        OnChange();
}

std::uint32_t TPGCanvas::RawValue(TColor color) {
    TContext& context = *FContext;
    if (context.Slots == 0)
        return color;
    if (context.LastValid && context.LastColor == color)
        return context.LastValue;
    std::uint32_t best = 0;
    int bestDistance = std::numeric_limits<int>::max();
    for (int i = 0; i < context.Slots; ++i) {
        int distance = SquaredDistance(color, context.ColorTable[i]);
        if (distance < bestDistance) {
            bestDistance = distance;
            best = static_cast<std::uint32_t>(i);
        }
    }
    context.LastColor = color;
    context.LastValue = best;
    context.LastValid = true;
    return best;
}

TColor TPGCanvas::ColorOf(std::uint32_t raw) const {
    return FContext->Slots == 0 ? raw : FContext->ColorTable[raw % FContext->Slots];
}

void TPGCanvas::Store(int x, int y, TColor color) {
    FImage->SetPixel(x, y, RawValue(color));
}

void TPGCanvas::FillRect(const TRect& rect, TColor color) {
    if (!Begin())
        return;
    const int left = std::max(rect.Left, 0);
    const int top = std::max(rect.Top, 0);
    const int right = std::min(rect.Right, FImage->Width());
    const int bottom = std::min(rect.Bottom, FImage->Height());
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x)
            Store(x, y, color);
    End();
}

void TPGCanvas::SetPixel(int x, int y, TColor color) {
    if (!Begin())
        return;
    if (x >= 0 && y >= 0 && x < FImage->Width() && y < FImage->Height())
        Store(x, y, color);
    End();
}

TColor TPGCanvas::GetPixel(int x, int y) {
    if (!Begin() || x < 0 || y < 0 || x >= FImage->Width() || y >= FImage->Height())
        return 0;
    return ColorOf(FImage->GetPixel(x, y));
}

void TPGCanvas::CopyRaster(const TRasterTarget& source, int x, int y) {
    if (!Begin())
        return;
    const int left = std::max(x, 0);
    const int top = std::max(y, 0);
    const int right = std::min(x + source.Width(), FImage->Width());
    const int bottom = std::min(y + source.Height(), FImage->Height());
    for (int dy = top; dy < bottom; ++dy) {
        const std::uint32_t* row = source.ScanLine(dy - y);
        for (int dx = left; dx < right; ++dx) {
            std::uint32_t pixel = row[dx - x];
            if (CopyMode != TPGRasterOp::SrcCopy)
                pixel = CombinePixels(CopyMode, pixel,
                                      TRasterTarget::FromColor(ColorOf(FImage->GetPixel(dx, dy))));
            Store(dx, dy, TRasterTarget::ToColor(pixel));
        }
    }
    End();
}
