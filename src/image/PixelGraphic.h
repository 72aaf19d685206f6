#pragma once

#include "image/PGPalette.h"
#include "image/PGTypes.h"
#include "image/RasterTarget.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <memory>
#include <span>
#include <string>
#include <vector>

class TPGCanvas;

struct TPGSaveSettings;

// The in-memory raster image: a device-independent bitmap of 1, 4, 8 or 24 bits per pixel,
// rows bottom-up and padded to 4 bytes, 24-bit pixels stored blue, green, red.
class TPixelGraphic final {
public:
    TPixelGraphic();
    ~TPixelGraphic();
    TPixelGraphic(const TPixelGraphic&) = delete;
    TPixelGraphic& operator=(const TPixelGraphic&) = delete;

    // ---- Life and geometry
    // The one operation that (re)allocates pixel memory; the same values only clear the image.
    void SetSize(int width, int height, TPGBitCount bitCount);
    void ChangeWidth(int value);
    void ChangeHeight(int value);
    void SetBitCount(TPGBitCount value);
    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    bool IsEmpty() const { return FBits == nullptr; }
    TPGBitCount BitCount() const { return FBitCount; }
    int BitCountNum() const;
    static TPGBitCount BitCountFromNum(int num);
    int BytesPerRow() const { return FBytesPerRow; }
    int ImageSize() const { return FImageSize; }
    std::uint8_t* Bits();
    const std::uint8_t* Bits() const;
    // Image row `row` (0 = top), or nullptr without pixel memory; `row` is not range-checked.
    std::uint8_t* ScanLine(int row) {
        if (FGdiPending)
            FlushPendingDrawing();
        return FBits ? FBits + RowOffset(row) : nullptr;
    }
    const std::uint8_t* ScanLine(int row) const {
        if (FGdiPending)
            FlushPendingDrawing();
        return FBits ? FBits + RowOffset(row) : nullptr;
    }
    // The bitmap file header, and the information header that follows it in a file and leads
    // a device-independent bitmap.
    static constexpr int BitmapFileHeaderSize = 14;
    static constexpr int BitmapInfoHeaderSize = 40;
    // The information header followed by the colour table (empty without pixel memory).
    const std::uint8_t* BitmapInfo() const { return FBitmapInfo.data(); }
    int BitmapInfoSize() const { return static_cast<int>(FBitmapInfo.size()); }

    // ---- Pixels
    // Raw values: a palette index for 1, 4 and 8 bits, a colour for 24 bits.
    std::uint32_t GetPixel(int x, int y) const;
    // The engine's hot path: touches only the bytes of one pixel, never allocates or notifies.
    void SetPixel(int x, int y, std::uint32_t value) {
        if (FGdiPending)
            FlushPendingDrawing();
        if (static_cast<unsigned>(x) < static_cast<unsigned>(FWidth) &&
            static_cast<unsigned>(y) < static_cast<unsigned>(FHeight) && FBitCount == bc24Bit &&
            FBits) {
            std::uint8_t* p = FBits + RowOffset(y) + 3 * static_cast<std::ptrdiff_t>(x);
            p[0] = static_cast<std::uint8_t>(value >> 16);
            p[1] = static_cast<std::uint8_t>(value >> 8);
            p[2] = static_cast<std::uint8_t>(value);
            return;
        }
        SetPixelSlow(x, y, value);
    }
    TColor GetPixelColor(int x, int y) const;
    void SetPixelColor(int x, int y, TColor color);
    std::uint32_t BackgroundColorRaw() const { return FBackgroundColor; }
    TColor GetBackgroundColor() const;
    void SetBackgroundColor(TColor color);
    // Fills the image with the raw background value.
    void Clear();
    bool RaiseRangeErrors = false;

    // ---- Change and progress
    void BeginUpdate();
    void EndUpdate();
    // Calls OnChange with this image unless an update bracket is open; `sender` is not passed on.
    void NotifyChange(TPixelGraphic* sender);
    int UpdateCount() const { return FUpdateCount; }
    TNotifyEvent OnChange;
    TPGProgressEvent OnProgress;
    TNotifyEvent OnProgressStart;
    TNotifyEvent OnProgressEnd;
    // Long operations report through these; Progress returns true when a listener asks to abort.
    void ProgressStart();
    bool Progress(int step, int max);
    void ProgressEnd();

    // ---- Pending drawing
    // Set while something else (a canvas) may still be drawing into the pixel memory; every
    // direct pixel access first waits for that drawing through the flush hook.
    bool GdiPending() const { return FGdiPending; }
    void SetGdiPending(bool value) { FGdiPending = value; }
    std::function<void()> OnFlushPendingDrawing;

    // ---- Settings (defaults as the library starts)
    bool Dither = true;
    std::uint8_t DitherErrorLimit = 32;
    bool DitherErrorLimitAuto = true;
    bool DitherErrorLimitSoft = true;
    bool FastPreview = false;
    bool PaletteRealized = false;
    long double Gamma;
    bool Transparent = false;
    TStretchMode StretchMode = smPrecise;
    TPGWarningAction ReadWarningAction = pgwaOKCancelBox;
    TPGWarningAction SaveColorResWarningAction = pgwaOKCancelBox;
    bool ReservedEntries = false;
    bool UseColorCache() const { return FUseColorCache; }
    bool RGBWeighting() const { return FRGBWeighting; }

    // ---- Palette
    int PaletteCount() const { return FPaletteCount; }
    TPaletteIdent PaletteIdent() const { return FPaletteIdent; }
    const std::vector<TColor>& PaletteEntries() const { return FPaletteEntries; }
    bool GrayPalette() const { return FGrayPalette; }
    TColor PaletteColor(std::uint32_t index) const;
    void SetPaletteCount(int count);
    void SetPaletteEntry(int index, TColor color);
    void SetPaletteIdent(TPaletteIdent ident);
    // Takes over the count and entries of `source`, then identifies the palette.
    void CopyPalette(const TPixelGraphic& source);
    void IdentifyPalette();
    // The palette as a shareable object, none for true colour and empty palettes; rebuilt only
    // when asked for after a change.
    std::shared_ptr<const TPGPalette> PaletteHandle();

    // ---- Colour matching and reduction
    // The palette index that stands for `color` in the current palette (the colour itself for
    // pTrueColor); raises EPGNoPalette without a palette.
    std::uint32_t NearestColorIndex(TColor color) {
        if (!FLastStale && color == FLastColor && FLastIdent == FPaletteIdent)
            return FLastIndex;
        return NearestColorIndexMiss(color);
    }
    void SetUseColorCache(bool value);
    void SetRGBWeighting(bool value);
    // Releases the pUnknown colour cache; the next match seeds it again.
    void FreeColorCache();
    // Replaces target's palette by at most `count` colours chosen for the pixels of `source`
    // (median cut for 24 bits, octree for palette images); with `addSystemColors` 16 of the
    // `count` places hold the pSys16 colours. Counting reports progress through target.
    static void BuildOptimizedPalette(TPixelGraphic& target, const TPixelGraphic& source, int count,
                                      bool addSystemColors);

    // ---- Drawing
    // The whole image stretched into `rect` of the canvas's image, combined by its CopyMode.
    void DrawImage(TPGCanvas& canvas, const TRect& rect);
    // The whole image stretched into `rect` of the target without blending: every target pixel
    // takes the source pixel its position maps to, rounded down. Right < Left or Bottom < Top
    // mirrors the picture. `forceBackground` is accepted for callers that realize palettes; a
    // 32-bit target shows palette colours as they are.
    void DrawToContext(TRasterTarget& target, TRect rect, bool forceBackground,
                       TPGRasterOp rasterOp = TPGRasterOp::SrcCopy);
    // The image's canvas; every call may be followed by drawing, so it sets GdiPending.
    TPGCanvas& ImageCanvas();
    // Makes the canvas give up its context.
    void ReleaseCanvasHandle();

    // ---- Resampling and copying
    // Resamples a rectangle of `source` into a rectangle of this image with the kernel that
    // StretchMode picks; colours go through palette matching or error diffusion.
    void StretchCopy(int destLeft, int destTop, int destWidth, int destHeight, int srcLeft,
                     int srcTop, int srcWidth, int srcHeight, const TPixelGraphic& source);
    // Copies a rectangle of `source` unscaled.
    void CopyRect(int destLeft, int destTop, int width, int height, int srcLeft, int srcTop,
                  const TPixelGraphic& source);
    // The whole of `source` into the whole of this image: the conversion between formats.
    void StretchFrom(const TPixelGraphic& source);

    // ---- Assignment
    // Takes over size, pixels, palette and settings of `source` (an empty 24-bit image for
    // nullptr); listeners and progress hooks stay as they are.
    void AssignImage(const TPixelGraphic* source);

    // ---- Streams and files
    // The 40-byte header (colours used = PaletteCount), PaletteCount table entries, the pixels.
    void WriteDIB(std::ostream& stream) const;
    // Always a BMP file.
    void SaveImageStream(std::ostream& stream) const;
    // A 4-byte little-endian length, then a BMP file of that length.
    void WriteStoredImage(std::ostream& stream) const;
    // Reads what WriteStoredImage wrote and leaves the stream just behind it.
    void ReadStoredImage(std::istream& stream);
    // No readers are built in: raises EPGUnknownFileFormat after resetting the image.
    void LoadImageFile(const std::string& fileName);

    // ---- Saving through the writers
    // Defined by the export library. The format follows the extension; an image the format
    // cannot hold is saved through a converted copy (after SaveColorResWarningAction).
    void SaveImageFile(const std::string& fileName);
    // As SaveImageFile, with the writer options and warning prompt of this save alone instead
    // of the process-wide ones: for saves that run beside others.
    void SaveImageFile(const std::string& fileName, const TPGSaveSettings& settings);
    // As SaveImageFile, into the caller's stream at its position; a leading "." is ignored.
    void SaveToStreamAs(std::ostream& stream, const std::string& extension);
    // The clipboard's device-independent bitmap: a BMP file without its 14-byte file header.
    std::vector<std::uint8_t> CopyToClipboard() const;

private:
    std::ptrdiff_t RowOffset(int row) const {
        return static_cast<std::ptrdiff_t>(FBytesPerRow) * (FHeight - 1 - row);
    }
    void SetPixelSlow(int x, int y, std::uint32_t value);
    void FlushPendingDrawing() const;
    void FreePixelMemory();
    void BuildBitmapInfo(int slots);
    // The 40-byte information header with the given colours-used field.
    std::array<std::uint8_t, BitmapInfoHeaderSize> InfoHeader(int colorsUsed) const;
    void ReadBMP(const std::vector<std::uint8_t>& file);
    // Colour-table slots of a format in the bitmap header: 2, 16, 256 or 0.
    static int PaletteSlots(TPGBitCount bitCount);
    // Stores `color` in slot `slot` of the header's colour table when the table has that slot.
    void WriteColorTableSlot(int slot, TColor color);

    // ---- Palette
    // Marks the colour memo, the colour cache and the palette object as out of date.
    void PaletteChanged();
    // Rewrites the header's colour table: entry i in slot i, entry 0 in the slots beyond.
    void RefreshColorTable();
    // Sets the count and every entry, leaving the palette's kind pUnknown (or pNone).
    void StorePaletteEntries(std::span<const TColor> entries);
    std::shared_ptr<const TPGPalette> FPaletteHandle;
    bool FPaletteHandleStale = false;

    // ---- Colour matching and reduction
    // Exact nearest palette entry by squared RGB distance; the first of equal distances wins.
    std::uint32_t NearestEntry(TColor color) const;
    std::uint32_t NearestColorIndexMiss(TColor color);
    std::uint32_t NearestByIdent(TColor color);
    std::uint32_t NearestCached(TColor color);
    void SeedColorCache();
    // Brightness 0..765, weighted by the eye's sensitivity when RGBWeighting is set.
    int Brightness(TColor color) const;
    void PrepareErrorDiffusion();
    void FreeErrorDiffusion();
    struct TErrorDiffusionRelease {
        void operator()(TPixelGraphic* image) const { image->FreeErrorDiffusion(); }
    };
    // Prepares the dithering buffers when this palette image dithers; the returned guard frees
    // them on every path out of the copy.
    std::unique_ptr<TPixelGraphic, TErrorDiffusionRelease> BeginErrorDiffusion();
    void AdvanceErrorRows();
    // Stores (r, g, b) at (x, y) and spreads the error ahead and into the next row.
    void StoreDiffused(int x, int y, int r, int g, int b);
    // Stores a colour as the copy loops do: bytes for 24 bits, else matched or diffused.
    void StoreColor(int x, int y, int r, int g, int b);
    // A palette index at a position known to lie inside the image.
    void StorePaletteIndex(int x, int y, std::uint32_t index);
    // Error-diffuses columns xFirst..xLast of row y from 24-bit pixels (blue, green, red from
    // `bgr`, which points at the pixel for xFirst), in the row's serpentine direction.
    void DiffuseRow(int y, int xFirst, int xLast, const std::uint8_t* bgr);

    // One-entry memo of NearestColorIndex; every palette change sets FLastStale. The kind it
    // was computed for is kept too, as IdentifyPalette and SetSize change the kind alone.
    TColor FLastColor = 0;
    std::uint32_t FLastIndex = 0;
    bool FLastStale = true;
    TPaletteIdent FLastIdent = pNone;
    // pUnknown inverse colour map: one index per 5-6-5 cell and a bit set of the valid cells.
    std::unique_ptr<std::uint8_t[]> FColorCache;
    std::unique_ptr<std::uint64_t[]> FColorCacheValid;
    bool FColorCacheStale = true;
    // Error diffusion: the current and next row of errors (16 times too large, three channels
    // per pixel, one guard pixel at each end) and the limit table for errors -255..255.
    std::unique_ptr<std::int32_t[]> FErrorRowCurrent;
    std::unique_ptr<std::int32_t[]> FErrorRowNext;
    std::unique_ptr<std::int32_t[]> FErrorLimit;
    // The limit table applied to stored (sixteenfold) errors, so that the row loops skip the
    // division: entry 16 x 255 + s holds T[s / 16 rounded].
    std::unique_ptr<std::int16_t[]> FStoredErrorLimit;
    // For the fixed grey palettes: index (low byte) and grey level (high byte) of each grey.
    std::unique_ptr<std::uint16_t[]> FGreyMatch;

    // ---- Drawing
    struct TCanvasDeleter {
        void operator()(TPGCanvas* canvas) const;
    };
    std::unique_ptr<TPGCanvas, TCanvasDeleter> FImageCanvas;

    // ---- Resampling and copying

    // ---- Saving through the writers

    std::uint32_t FBackgroundColor = 0;
    TPGBitCount FBitCount = bc24Bit;
    std::uint8_t* FBits = nullptr;
    std::unique_ptr<std::uint8_t[]> FPixelMemory;
    std::vector<std::uint8_t> FBitmapInfo;
    int FHeight = 0;
    int FWidth = 0;
    int FImageSize = 0;
    int FBytesPerRow = 0;
    int FPaletteCount = 0;
    std::vector<TColor> FPaletteEntries;
    TPaletteIdent FPaletteIdent = pTrueColor;
    bool FGrayPalette = false;
    bool FRGBWeighting = true;
    bool FUseColorCache = true;
    int FUpdateCount = 0;
    mutable bool FGdiPending = false;
};
