#include "image/PixelGraphic.h"

#include "image/ErrorLimitTable.h"
#include "image/MedianCut.h"

#include <algorithm>
#include <cstring>

namespace {

// A sixteenfold error divided by 16, halves rounded away from zero.
inline int Unscale(std::int32_t error) {
    return (error + 8 - (error < 0)) >> 4;
}

// A pixel receives errors of at most 255 with weights that add up to 16.
constexpr int MaxStoredError = 16 * TErrorLimitTable::MaxError;

inline int Clamp255(int v) {
    return v < 0 ? 0 : v > 255 ? 255 : v;
}

// Floyd-Steinberg weights: 7 ahead in this row, 5 below, 3 below behind, 1 below ahead.
inline void SpreadBelow(std::int32_t* next, int ahead, int error) {
    next[0] += 5 * error;
    next[-ahead] += 3 * error;
    next[ahead] += error;
}

inline void Spread(std::int32_t* current, std::int32_t* next, int ahead, int error) {
    current[ahead] += 7 * error;
    SpreadBelow(next, ahead, error);
}

template <int Bits> inline void PutIndex(std::uint8_t* row, int x, std::uint32_t index) {
    if constexpr (Bits == 8) {
        row[x] = static_cast<std::uint8_t>(index);
    } else if constexpr (Bits == 4) {
        std::uint8_t& byte = row[x >> 1];
        byte = (x & 1) ? static_cast<std::uint8_t>((byte & 0xF0) | (index & 0x0F))
                       : static_cast<std::uint8_t>((byte & 0x0F) | ((index & 0x0F) << 4));
    } else {
        std::uint8_t& byte = row[x >> 3];
        const auto mask = static_cast<std::uint8_t>(0x80 >> (x & 7));
        byte = index == 1 ? static_cast<std::uint8_t>(byte | mask)
                          : static_cast<std::uint8_t>(byte & ~mask);
    }
}

// The pixels of one row in visiting order: errors of the current and the next row at the
// pixel's column, the source pixel and the destination column.
struct TRowWalk {
    std::int32_t* Current;
    std::int32_t* Next;
    const std::uint8_t* Source;
    int X;
    int Step; // +1 or -1
    int Count;
};

// The share of an error that goes to the next pixel in this row travels in `carry` rather
// than through memory, which keeps the row's dependency chain short; the current row's stored
// errors are read only, and the whole row is discarded when the rows advance.
template <int Bits, typename Match>
void DiffuseGreyRow(TRowWalk walk, std::uint8_t* out, const std::int16_t* limit, bool weighted,
                    Match match) {
    const int ahead = 3 * walk.Step;
    int carry = 0;
    for (int n = 0; n < walk.Count; ++n) {
        const int r = walk.Source[2], g = walk.Source[1], b = walk.Source[0];
        const int level = weighted ? (299 * r + 587 * g + 114 * b) / 1000 : (r + g + b) / 3;
        const int v = Clamp255(level + limit[walk.Current[1] + carry]);
        const std::uint32_t found = match(v);
        PutIndex<Bits>(out, walk.X, found & 0xFF);
        const int error = v - static_cast<int>(found >> 8);
        carry = 7 * error;
        SpreadBelow(walk.Next + 1, ahead, error);
        walk.Current += ahead;
        walk.Next += ahead;
        walk.Source += ahead;
        walk.X += walk.Step;
    }
}

template <int Bits, typename Nearest, typename Entry>
void DiffuseColourRow(TRowWalk walk, std::uint8_t* out, const std::int16_t* limit, Nearest nearest,
                      Entry entry) {
    const int ahead = 3 * walk.Step;
    int carryR = 0, carryG = 0, carryB = 0;
    // Runs of one colour (a plain background, where the errors vanish) reuse the last match.
    TColor last = 0xFFFFFFFF;
    std::uint32_t index = 0;
    TColor chosen = 0;
    for (int n = 0; n < walk.Count; ++n) {
        const int r = Clamp255(walk.Source[2] + limit[walk.Current[0] + carryR]);
        const int g = Clamp255(walk.Source[1] + limit[walk.Current[1] + carryG]);
        const int b = Clamp255(walk.Source[0] + limit[walk.Current[2] + carryB]);
        if (RGB(r, g, b) != last) {
            last = RGB(r, g, b);
            index = nearest(r, g, b);
            chosen = entry(index);
        }
        PutIndex<Bits>(out, walk.X, index);
        const int errorR = r - GetRValue(chosen), errorG = g - GetGValue(chosen),
                  errorB = b - GetBValue(chosen);
        carryR = 7 * errorR;
        carryG = 7 * errorG;
        carryB = 7 * errorB;
        SpreadBelow(walk.Next, ahead, errorR);
        SpreadBelow(walk.Next + 1, ahead, errorG);
        SpreadBelow(walk.Next + 2, ahead, errorB);
        walk.Current += ahead;
        walk.Next += ahead;
        walk.Source += ahead;
        walk.X += walk.Step;
    }
}

} // namespace

void TPixelGraphic::PrepareErrorDiffusion() {
    const std::size_t rowSize = 3 * (static_cast<std::size_t>(FWidth) + 2);
    FErrorRowCurrent = std::make_unique<std::int32_t[]>(rowSize);
    FErrorRowNext = std::make_unique<std::int32_t[]>(rowSize);
    FErrorLimit = std::make_unique<std::int32_t[]>(TErrorLimitTable::Size);
    FGrayPalette = FBitCount != bc24Bit &&
                   std::all_of(FPaletteEntries.begin(), FPaletteEntries.end(), [](TColor c) {
                       return GetRValue(c) == GetGValue(c) && GetGValue(c) == GetBValue(c);
                   });
    const bool soft = DitherErrorLimitAuto || DitherErrorLimitSoft;
    const int limit =
        DitherErrorLimitAuto ? TErrorLimitTable::AutoLimit(FPaletteIdent) : DitherErrorLimit;
    TErrorLimitTable::Fill(FErrorLimit.get(), limit, soft);
    FStoredErrorLimit = std::make_unique<std::int16_t[]>(2 * MaxStoredError + 1);
    for (int e = -MaxStoredError; e <= MaxStoredError; ++e) {
        // Both tables start at their most negative error.
        const int stored = e + MaxStoredError;
        const int limited = Unscale(e) + TErrorLimitTable::MaxError;
        FStoredErrorLimit[stored] = static_cast<std::int16_t>(FErrorLimit[limited]);
    }
    FGreyMatch.reset();
    // The fixed grey kinds answer a grey by its level alone, so their answers can be listed
    // once per copy; arbitrary grey palettes keep asking, for their cache learns as it goes.
    if (FGrayPalette && FPaletteIdent >= pBlackWhite && FPaletteIdent <= pGray256 &&
        FPaletteIdent != pSys16) {
        FGreyMatch = std::make_unique<std::uint16_t[]>(256);
        for (int v = 0; v < 256; ++v) {
            const std::uint32_t index = NearestColorIndex(RGB(v, v, v));
            FGreyMatch[static_cast<std::size_t>(v)] =
                static_cast<std::uint16_t>(index | GetGValue(PaletteColor(index)) << 8);
        }
    }
}

void TPixelGraphic::FreeErrorDiffusion() {
    FErrorRowCurrent.reset();
    FErrorRowNext.reset();
    FErrorLimit.reset();
    FStoredErrorLimit.reset();
    FGreyMatch.reset();
}

std::unique_ptr<TPixelGraphic, TPixelGraphic::TErrorDiffusionRelease>
TPixelGraphic::BeginErrorDiffusion() {
    if (Dither && FBitCount != bc24Bit)
        PrepareErrorDiffusion();
    else
        FreeErrorDiffusion();
    return std::unique_ptr<TPixelGraphic, TErrorDiffusionRelease>(this);
}

void TPixelGraphic::AdvanceErrorRows() {
    std::swap(FErrorRowCurrent, FErrorRowNext);
    std::memset(FErrorRowNext.get(), 0,
                3 * (static_cast<std::size_t>(FWidth) + 2) * sizeof(std::int32_t));
}

void TPixelGraphic::StoreDiffused(int x, int y, int r, int g, int b) {
    // Odd rows run from right to left, so "ahead" is the next pixel in visiting order.
    const int ahead = (y & 1) ? -3 : 3;
    std::int32_t* current = FErrorRowCurrent.get() + 3 * (x + 1);
    std::int32_t* next = FErrorRowNext.get() + 3 * (x + 1);
    const std::int32_t* limit = FErrorLimit.get() + TErrorLimitTable::MaxError;
    if (FGrayPalette) {
        const int v = Clamp255(Brightness(RGB(r, g, b)) / 3 + limit[Unscale(current[1])]);
        const std::uint32_t index = NearestColorIndex(RGB(v, v, v));
        StorePaletteIndex(x, y, index);
        Spread(current + 1, next + 1, ahead, v - GetGValue(PaletteColor(index)));
        return;
    }
    const int rv = Clamp255(r + limit[Unscale(current[0])]);
    const int gv = Clamp255(g + limit[Unscale(current[1])]);
    const int bv = Clamp255(b + limit[Unscale(current[2])]);
    const std::uint32_t index = NearestColorIndex(RGB(rv, gv, bv));
    StorePaletteIndex(x, y, index);
    const TColor chosen = PaletteColor(index);
    Spread(current, next, ahead, rv - GetRValue(chosen));
    Spread(current + 1, next + 1, ahead, gv - GetGValue(chosen));
    Spread(current + 2, next + 2, ahead, bv - GetBValue(chosen));
}

void TPixelGraphic::DiffuseRow(int y, int xFirst, int xLast, const std::uint8_t* bgr) {
    const bool leftToRight = (y & 1) == 0;
    const int x = leftToRight ? xFirst : xLast;
    const TRowWalk walk{FErrorRowCurrent.get() + 3 * (x + 1),
                        FErrorRowNext.get() + 3 * (x + 1),
                        bgr + 3 * (x - xFirst),
                        x,
                        leftToRight ? 1 : -1,
                        xLast - xFirst + 1};
    std::uint8_t* out = FBits + RowOffset(y);
    const std::int16_t* limit = FStoredErrorLimit.get() + MaxStoredError;
    const auto run = [&]<int Bits>() {
        if (FGrayPalette) {
            const auto ask = [this](int v) {
                // Only the low byte is stored; a palette without entries may answer with a
                // colour value, whose upper bits must not pass for the grey level.
                const std::uint32_t index = NearestColorIndex(RGB(v, v, v));
                return (index & 0xFF) | static_cast<std::uint32_t>(GetGValue(PaletteColor(index)))
                                            << 8;
            };
            if (FGreyMatch) {
                const std::uint16_t* table = FGreyMatch.get();
                DiffuseGreyRow<Bits>(walk, out, limit, FRGBWeighting,
                                     [table](int v) -> std::uint32_t { return table[v]; });
            } else {
                DiffuseGreyRow<Bits>(walk, out, limit, FRGBWeighting, ask);
            }
            return;
        }
        const TColor* entries = FPaletteEntries.data();
        const auto count = static_cast<std::uint32_t>(FPaletteCount);
        const auto entry = [this, entries, count](std::uint32_t index) {
            return index < count ? entries[index] : PaletteColor(index);
        };
        if (FPaletteIdent == pUnknown && FUseColorCache) {
            // The cache's valid cells answer inline; everything else takes the full path,
            // which also fills the cache.
            const auto nearest = [this](int r, int g, int b) -> std::uint32_t {
                const int cell = TMedianCut::CellIndex(r, g, b);
                const std::uint8_t* cache = FColorCache.get();
                if (cache &&
                    (FColorCacheValid[static_cast<std::size_t>(cell >> 6)] >> (cell & 63)) & 1)
                    return cache[cell];
                return NearestColorIndex(RGB(r, g, b));
            };
            DiffuseColourRow<Bits>(walk, out, limit, nearest, entry);
        } else {
            DiffuseColourRow<Bits>(
                walk, out, limit,
                [this](int r, int g, int b) { return NearestColorIndex(RGB(r, g, b)); }, entry);
        }
    };
    switch (FBitCount) {
    case bc1Bit:
        run.operator()<1>();
        break;
    case bc4Bit:
        run.operator()<4>();
        break;
    default:
        run.operator()<8>();
        break;
    }
}

void TPixelGraphic::StorePaletteIndex(int x, int y, std::uint32_t index) {
    if (FBitCount == bc8Bit)
        FBits[RowOffset(y) + x] = static_cast<std::uint8_t>(index);
    else
        SetPixel(x, y, index);
}

void TPixelGraphic::StoreColor(int x, int y, int r, int g, int b) {
    if (FBitCount == bc24Bit) {
        std::uint8_t* p = FBits + RowOffset(y) + 3 * static_cast<std::ptrdiff_t>(x);
        p[0] = static_cast<std::uint8_t>(b);
        p[1] = static_cast<std::uint8_t>(g);
        p[2] = static_cast<std::uint8_t>(r);
    } else if (FErrorLimit) {
        StoreDiffused(x, y, r, g, b);
    } else {
        SetPixelColor(x, y, RGB(r, g, b));
    }
}
