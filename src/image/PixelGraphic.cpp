#include "image/PixelGraphic.h"

#include "image/LibraryMessages.h"
#include "image/LittleEndian.h"
#include "image/PGExceptions.h"
#include "image/ScreenGamma.h"

#include <cstring>
#include <limits>
#include <new>

namespace {

bool Inside(int x, int y, int width, int height) {
    return static_cast<unsigned>(x) < static_cast<unsigned>(width) &&
           static_cast<unsigned>(y) < static_cast<unsigned>(height);
}

} // namespace

TPixelGraphic::TPixelGraphic() : Gamma(ScreenGamma()) {}

TPixelGraphic::~TPixelGraphic() {
    if (FGdiPending)
        FlushPendingDrawing();
    // The canvas goes before the pixel memory it may draw into.
    FImageCanvas.reset();
}

// ---- Life and geometry

void TPixelGraphic::SetSize(int width, int height, TPGBitCount bitCount) {
    if (width < 0)
        throw EPGInvalidSize(LibraryMessage(22));
    if (height < 0)
        throw EPGInvalidSize(LibraryMessage(21));
    const bool needsMemory = width > 0 && height > 0;
    // An image whose allocation failed is allocated again rather than "cleared".
    if (width == FWidth && height == FHeight && bitCount == FBitCount && (FBits || !needsMemory)) {
        Clear();
        return;
    }
    FWidth = width;
    FHeight = height;
    FBitCount = bitCount;
    if (FGdiPending)
        FlushPendingDrawing();
    ReleaseCanvasHandle();
    FreePixelMemory();

    const int slots = PaletteSlots(bitCount);
    if (slots < FPaletteCount)
        SetPaletteCount(slots);
    if (bitCount == bc24Bit)
        FPaletteIdent = pTrueColor;

    constexpr auto int32Max = std::numeric_limits<std::int32_t>::max();
    const std::int64_t bytesPerRow = (std::int64_t{BitCountNum()} * width + 31) / 32 * 4;
    const std::int64_t imageSize = bytesPerRow * height;
    if (bytesPerRow > int32Max || imageSize > int32Max)
        throw EPixelGraphic(FormatLibraryMessage(31, "CreateDIBSection"));
    FBytesPerRow = static_cast<int>(bytesPerRow);
    if (imageSize > 0) {
        FImageSize = static_cast<int>(imageSize);
        BuildBitmapInfo(slots);
        try {
            FPixelMemory = std::make_unique<std::uint8_t[]>(static_cast<std::size_t>(imageSize));
        } catch (const std::bad_alloc&) {
            FreePixelMemory();
            throw EPixelGraphic(FormatLibraryMessage(31, "CreateDIBSection"));
        }
        FBits = FPixelMemory.get();
    }
    NotifyChange(this);
}

void TPixelGraphic::FreePixelMemory() {
    FBits = nullptr;
    FPixelMemory.reset();
    FBitmapInfo.clear();
    FBitmapInfo.shrink_to_fit();
    FImageSize = 0;
    FBytesPerRow = 0;
}

void TPixelGraphic::ChangeWidth(int value) {
    if (value != FWidth)
        SetSize(value, FHeight, FBitCount);
}

void TPixelGraphic::ChangeHeight(int value) {
    if (value != FHeight)
        SetSize(FWidth, value, FBitCount);
}

void TPixelGraphic::SetBitCount(TPGBitCount value) {
    if (value != FBitCount)
        SetSize(FWidth, FHeight, value);
}

int TPixelGraphic::BitCountNum() const {
    switch (FBitCount) {
    case bc1Bit:
        return 1;
    case bc4Bit:
        return 4;
    case bc8Bit:
        return 8;
    case bc24Bit:
        break;
    }
    return 24;
}

TPGBitCount TPixelGraphic::BitCountFromNum(int num) {
    switch (num) {
    case 1:
        return bc1Bit;
    case 4:
        return bc4Bit;
    case 8:
        return bc8Bit;
    case 24:
        return bc24Bit;
    default:
        throw EPGInvalidBitCountNum(FormatLibraryMessage(20, "BitCountNum"));
    }
}

int TPixelGraphic::PaletteSlots(TPGBitCount bitCount) {
    switch (bitCount) {
    case bc1Bit:
        return 2;
    case bc4Bit:
        return 16;
    case bc8Bit:
        return 256;
    case bc24Bit:
        break;
    }
    return 0;
}

std::uint8_t* TPixelGraphic::Bits() {
    if (FGdiPending)
        FlushPendingDrawing();
    return FBits;
}

const std::uint8_t* TPixelGraphic::Bits() const {
    if (FGdiPending)
        FlushPendingDrawing();
    return FBits;
}

void TPixelGraphic::FlushPendingDrawing() const {
    // Cleared first so that the hook itself may use the image.
    FGdiPending = false;
    if (OnFlushPendingDrawing)
        OnFlushPendingDrawing();
}

// ---- Bitmap header

std::array<std::uint8_t, TPixelGraphic::BitmapInfoHeaderSize>
TPixelGraphic::InfoHeader(int colorsUsed) const {
    std::array<std::uint8_t, BitmapInfoHeaderSize> header{};
    PutLE32(&header[0], BitmapInfoHeaderSize);
    PutLE32(&header[4], static_cast<std::uint32_t>(FWidth));
    PutLE32(&header[8], static_cast<std::uint32_t>(FHeight));
    PutLE16(&header[12], 1);
    PutLE16(&header[14], static_cast<std::uint32_t>(BitCountNum()));
    PutLE32(&header[20], static_cast<std::uint32_t>(FImageSize));
    PutLE32(&header[32], static_cast<std::uint32_t>(colorsUsed));
    return header;
}

void TPixelGraphic::BuildBitmapInfo(int slots) {
    const auto header = InfoHeader(slots);
    FBitmapInfo.assign(header.begin(), header.end());
    FBitmapInfo.resize(BitmapInfoHeaderSize + 4 * static_cast<std::size_t>(slots));
    for (int slot = 0; slot < slots; ++slot) {
        const int entry = slot < FPaletteCount ? slot : 0;
        WriteColorTableSlot(slot, FPaletteCount > 0 ? FPaletteEntries[entry] : 0);
    }
}

void TPixelGraphic::WriteColorTableSlot(int slot, TColor color) {
    const std::size_t at = BitmapInfoHeaderSize + 4 * static_cast<std::size_t>(slot);
    if (slot < 0 || at + 4 > FBitmapInfo.size())
        return;
    FBitmapInfo[at] = GetBValue(color);
    FBitmapInfo[at + 1] = GetGValue(color);
    FBitmapInfo[at + 2] = GetRValue(color);
    FBitmapInfo[at + 3] = 0;
}

// ---- Pixels

std::uint32_t TPixelGraphic::GetPixel(int x, int y) const {
    if (FGdiPending)
        FlushPendingDrawing();
    if (!Inside(x, y, FWidth, FHeight) || !FBits) {
        if (RaiseRangeErrors)
            throw EPGXYIndexOutOfRange(LibraryMessage(1));
        return FBackgroundColor;
    }
    const std::uint8_t* row = FBits + RowOffset(y);
    switch (FBitCount) {
    case bc1Bit:
        return (row[x >> 3] >> (7 - (x & 7))) & 1u;
    case bc4Bit:
        return (x & 1) ? row[x >> 1] & 0x0Fu : row[x >> 1] >> 4;
    case bc8Bit:
        return row[x];
    case bc24Bit:
        break;
    }
    const std::uint8_t* p = row + 3 * static_cast<std::ptrdiff_t>(x);
    return RGB(p[2], p[1], p[0]);
}

void TPixelGraphic::SetPixelSlow(int x, int y, std::uint32_t value) {
    if (!Inside(x, y, FWidth, FHeight) || !FBits) {
        if (RaiseRangeErrors)
            throw EPGXYIndexOutOfRange(LibraryMessage(1));
        return;
    }
    std::uint8_t* row = FBits + RowOffset(y);
    switch (FBitCount) {
    case bc1Bit: {
        const auto mask = static_cast<std::uint8_t>(0x80u >> (x & 7));
        if (value == 1)
            row[x >> 3] |= mask;
        else
            row[x >> 3] &= static_cast<std::uint8_t>(~mask);
        return;
    }
    case bc4Bit: {
        std::uint8_t& byte = row[x >> 1];
        const auto nibble = static_cast<std::uint8_t>(value & 0x0Fu);
        byte = (x & 1) ? static_cast<std::uint8_t>((byte & 0xF0u) | nibble)
                       : static_cast<std::uint8_t>((byte & 0x0Fu) | nibble << 4);
        return;
    }
    case bc8Bit:
        row[x] = static_cast<std::uint8_t>(value);
        return;
    case bc24Bit:
        break;
    }
    // 24-bit pixels inside the image are written inline by SetPixel.
    std::uint8_t* p = row + 3 * static_cast<std::ptrdiff_t>(x);
    p[0] = static_cast<std::uint8_t>(value >> 16);
    p[1] = static_cast<std::uint8_t>(value >> 8);
    p[2] = static_cast<std::uint8_t>(value);
}

TColor TPixelGraphic::GetPixelColor(int x, int y) const {
    const std::uint32_t raw = GetPixel(x, y);
    return FBitCount == bc24Bit ? raw : PaletteColor(raw);
}

void TPixelGraphic::SetPixelColor(int x, int y, TColor color) {
    SetPixel(x, y, FBitCount == bc24Bit ? color : NearestColorIndex(color));
}

TColor TPixelGraphic::GetBackgroundColor() const {
    return FBitCount == bc24Bit ? FBackgroundColor : PaletteColor(FBackgroundColor);
}

void TPixelGraphic::SetBackgroundColor(TColor color) {
    FBackgroundColor = FBitCount == bc24Bit ? color : NearestColorIndex(color);
}

void TPixelGraphic::Clear() {
    if (FGdiPending)
        FlushPendingDrawing();
    if (!FBits || FWidth == 0 || FHeight == 0)
        return;
    if (FBackgroundColor == 0) {
        std::memset(FBits, 0, static_cast<std::size_t>(FImageSize));
    } else if (FBitCount == bc8Bit) {
        for (int y = 0; y < FHeight; ++y)
            std::memset(ScanLine(y), static_cast<std::uint8_t>(FBackgroundColor),
                        static_cast<std::size_t>(FWidth));
    } else {
        // Fill the top row pixel by pixel, then repeat it.
        for (int x = 0; x < FWidth; ++x)
            SetPixel(x, 0, FBackgroundColor);
        const std::uint8_t* top = ScanLine(0);
        for (int y = 1; y < FHeight; ++y)
            std::memcpy(ScanLine(y), top, static_cast<std::size_t>(FBytesPerRow));
    }
    NotifyChange(this);
}

// ---- Change and progress

void TPixelGraphic::BeginUpdate() {
    ++FUpdateCount;
}

void TPixelGraphic::EndUpdate() {
    // An unbalanced EndUpdate must not silence the listener for good.
    if (FUpdateCount > 0)
        --FUpdateCount;
    NotifyChange(this);
}

void TPixelGraphic::NotifyChange(TPixelGraphic* /*sender*/) {
    if (FUpdateCount == 0 && OnChange)
        OnChange(*this);
}

// ---- Assignment

void TPixelGraphic::AssignImage(const TPixelGraphic* source) {
    BeginUpdate();
    try {
        if (!source) {
            SetSize(0, 0, bc24Bit);
        } else if (source != this) {
            if (FGdiPending)
                FlushPendingDrawing();
            if (source->FGdiPending)
                source->FlushPendingDrawing();
            SetSize(source->FWidth, source->FHeight, source->FBitCount);
            if (FBits && source->FBits)
                std::memcpy(FBits, source->FBits, static_cast<std::size_t>(FImageSize));
            SetPaletteIdent(source->FPaletteIdent);
            SetPaletteCount(source->FPaletteCount);
            FBackgroundColor = source->FBackgroundColor;
            Dither = source->Dither;
            DitherErrorLimit = source->DitherErrorLimit;
            DitherErrorLimitAuto = source->DitherErrorLimitAuto;
            DitherErrorLimitSoft = source->DitherErrorLimitSoft;
            FUseColorCache = source->FUseColorCache;
            Gamma = source->Gamma;
            FRGBWeighting = source->FRGBWeighting;
            StretchMode = source->StretchMode;
            ReadWarningAction = source->ReadWarningAction;
            Transparent = source->Transparent;
            RaiseRangeErrors = source->RaiseRangeErrors;
            SaveColorResWarningAction = source->SaveColorResWarningAction;
            for (int i = 0; i < source->FPaletteCount; ++i)
                SetPaletteEntry(i, source->FPaletteEntries[i]);
            IdentifyPalette();
        }
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

void TPixelGraphic::ProgressStart() {
    if (OnProgressStart)
        OnProgressStart(*this);
}

bool TPixelGraphic::Progress(int step, int max) {
    bool abort = false;
    if (OnProgress)
        OnProgress(*this, step, max, abort);
    return abort;
}

void TPixelGraphic::ProgressEnd() {
    if (OnProgressEnd)
        OnProgressEnd(*this);
}
