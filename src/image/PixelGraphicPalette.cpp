#include "image/PixelGraphic.h"

#include "image/LibraryMessages.h"
#include "image/LittleEndian.h"
#include "image/PGExceptions.h"
#include "image/PaletteTables.h"

#include <algorithm>

namespace {

bool IsGray(TColor c) {
    return GetRValue(c) == GetGValue(c) && GetGValue(c) == GetBValue(c);
}

} // namespace

TColor TPixelGraphic::PaletteColor(std::uint32_t index) const {
    if (FPaletteIdent == pTrueColor)
        return index;
    if (index >= static_cast<std::uint32_t>(FPaletteCount))
        throw EPGInvalidPaletteIndex(LibraryMessage(3));
    return FPaletteEntries[index];
}

void TPixelGraphic::SetPaletteCount(int count) {
    if (count < 0)
        throw EPGInvalidPaletteIndex(LibraryMessage(3));
    if (count != FPaletteCount) {
        if (FGdiPending)
            FlushPendingDrawing();
        ReleaseCanvasHandle();
        FPaletteEntries.resize(static_cast<std::size_t>(count), RGB(0, 0, 0));
        FPaletteCount = count;
        FPaletteIdent = count > 0 ? pUnknown : pNone;
        FLastStale = true;
        if (!FBitmapInfo.empty()) {
            // The colours-used field of the information header.
            PutLE32(&FBitmapInfo[32],
                    static_cast<std::uint32_t>(std::min(count, PaletteSlots(FBitCount))));
            RefreshColorTable();
        }
    }
    PaletteChanged();
}

void TPixelGraphic::SetPaletteEntry(int index, TColor color) {
    if (FPaletteIdent == pNone || FPaletteIdent == pTrueColor)
        throw EPGNoPalette(LibraryMessage(2));
    if (index < 0 || index >= FPaletteCount)
        throw EPGInvalidPaletteIndex(LibraryMessage(3));
    ReleaseCanvasHandle();
    FPaletteEntries[static_cast<std::size_t>(index)] = color;
    WriteColorTableSlot(index, color);
    if (index == 0) {
        // The slots beyond the palette repeat entry 0.
        for (int slot = FPaletteCount; slot < PaletteSlots(FBitCount); ++slot)
            WriteColorTableSlot(slot, color);
    }
    FPaletteIdent = pUnknown;
    FLastStale = true;
    PaletteChanged();
}

void TPixelGraphic::SetPaletteIdent(TPaletteIdent ident) {
    if (ident == FPaletteIdent)
        return;
    switch (ident) {
    case pNone:
    case pTrueColor:
        SetPaletteCount(0);
        FPaletteIdent = ident;
        break;
    case pUnknown:
        FPaletteIdent = ident;
        break;
    case pOptimized252Sys16:
    case pSource:
        // These palettes are computed from a source picture when a copy is made.
        break;
    default:
        StorePaletteEntries(StandardPalette(ident));
        FPaletteIdent = ident;
        break;
    }
    FLastStale = true;
    PaletteChanged();
}

void TPixelGraphic::CopyPalette(const TPixelGraphic& source) {
    if (&source != this)
        StorePaletteEntries(source.FPaletteEntries);
    IdentifyPalette();
}

void TPixelGraphic::StorePaletteEntries(std::span<const TColor> entries) {
    SetPaletteCount(static_cast<int>(entries.size()));
    // When the count was right already the kind may still say there is no palette.
    if (!entries.empty())
        FPaletteIdent = pUnknown;
    for (std::size_t i = 0; i < entries.size(); ++i)
        SetPaletteEntry(static_cast<int>(i), entries[i]);
}

void TPixelGraphic::IdentifyPalette() {
    FGrayPalette =
        FBitCount != bc24Bit && std::all_of(FPaletteEntries.begin(), FPaletteEntries.end(), IsGray);
    // Grey ramps before pSys16: a 16-entry grey ramp must not pass for the system colours.
    constexpr TPaletteIdent order[] = {pBlackWhite, pGray4, pSysGray4,   pGray16,     pGray236,
                                       pGray256,    pSys16, pSpecial216, pSpecial125, pSpecial252};
    const TPaletteIdent before = FPaletteIdent;
    const auto match = std::find_if(std::begin(order), std::end(order), [this](TPaletteIdent k) {
        return std::ranges::equal(FPaletteEntries, StandardPalette(k));
    });
    if (match != std::end(order))
        FPaletteIdent = *match;
    else if (FBitCount == bc24Bit && FPaletteCount == 0)
        FPaletteIdent = pTrueColor;
    else
        FPaletteIdent = FPaletteCount > 0 ? pUnknown : pNone;
    // The palette object exists only for some kinds.
    if (FPaletteIdent != before)
        FPaletteHandleStale = true;
}

std::shared_ptr<const TPGPalette> TPixelGraphic::PaletteHandle() {
    if (!FPaletteHandleStale)
        return FPaletteHandle;
    FPaletteHandle.reset();
    if (FPaletteIdent != pTrueColor && FPaletteCount > 0)
        FPaletteHandle =
            std::make_shared<const TPGPalette>(TPGPalette{FPaletteEntries, ReservedEntries});
    FPaletteHandleStale = false;
    return FPaletteHandle;
}

void TPixelGraphic::PaletteChanged() {
    FPaletteHandleStale = true;
    FreeColorCache();
}

void TPixelGraphic::RefreshColorTable() {
    const int slots = (static_cast<int>(FBitmapInfo.size()) - BitmapInfoHeaderSize) / 4;
    for (int slot = 0; slot < slots; ++slot) {
        const int entry = slot < FPaletteCount ? slot : 0;
        WriteColorTableSlot(slot, FPaletteCount > 0 ? FPaletteEntries[entry] : RGB(0, 0, 0));
    }
}
