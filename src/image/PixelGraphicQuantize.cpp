#include "image/PixelGraphic.h"

#include "image/MedianCut.h"
#include "image/OctreeQuantizer.h"
#include "image/PaletteTables.h"

#include <algorithm>
#include <array>

namespace {

// Counts the rows of `source` one by one, reporting each through target's OnProgress;
// stops after the row at which the listener asks to abort.
template <typename CountRow>
void CountRows(TPixelGraphic& target, const TPixelGraphic& source, CountRow countRow) {
    for (int y = 0; y < source.Height(); ++y) {
        countRow(y);
        if (target.Progress(y, source.Height() - 1))
            break;
    }
}

std::vector<TColor> MedianCutPalette(TPixelGraphic& target, const TPixelGraphic& source,
                                     int count) {
    TMedianCut medianCut;
    CountRows(target, source,
              [&](int y) { medianCut.CountRow(source.ScanLine(y), source.Width()); });
    return medianCut.Palette(count);
}

std::vector<TColor> OctreePalette(TPixelGraphic& target, const TPixelGraphic& source, int count) {
    std::array<std::uint64_t, 256> uses{};
    CountRows(target, source, [&](int y) {
        for (int x = 0; x < source.Width(); ++x)
            ++uses[source.GetPixel(x, y) & 0xFF];
    });
    TOctreeQuantizer octree(count);
    for (std::uint32_t index = 0; index < uses.size(); ++index)
        if (uses[index] > 0)
            octree.Insert(source.PaletteColor(index), uses[index]);
    return octree.Palette();
}

} // namespace

void TPixelGraphic::BuildOptimizedPalette(TPixelGraphic& target, const TPixelGraphic& source,
                                          int count, bool addSystemColors) {
    if (target.FGdiPending)
        target.FlushPendingDrawing();
    const int optimized = addSystemColors ? count - 16 : count;
    if (source.Width() < 1 || source.Height() < 1 || optimized < 1) {
        target.SetPaletteIdent(pSys16);
        target.SetPaletteCount(std::clamp(count, 0, 16));
        return;
    }
    // The colours are gathered before the target's palette goes, so that a failure leaves
    // the target as it was.
    const std::vector<TColor> palette = source.BitCount() == bc24Bit
                                            ? MedianCutPalette(target, source, optimized)
                                            : OctreePalette(target, source, optimized);
    target.SetPaletteCount(0);
    const std::span<const TColor> system =
        addSystemColors ? StandardPalette(pSys16) : std::span<const TColor>();
    target.SetPaletteCount(static_cast<int>(palette.size() + system.size()));
    int index = 0;
    for (TColor color : palette)
        target.SetPaletteEntry(index++, color);
    for (TColor color : system)
        target.SetPaletteEntry(index++, color);
}
