#include "image/PixelGraphic.h"

#include "image/LibraryMessages.h"
#include "image/MedianCut.h"
#include "image/PGExceptions.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>

namespace {

// Candidate pSys16 indices of each cell (red div 64, green div 64, blue div 64); a repeated
// index means fewer candidates.
constexpr std::array<std::array<std::uint8_t, 3>, 64> Sys16Candidates = {{
    {0, 0, 0},   {4, 4, 4},    {4, 4, 4},    {12, 12, 12}, {2, 2, 2},    {6, 6, 6},    {6, 6, 6},
    {6, 12, 12}, {2, 2, 2},    {6, 6, 6},    {6, 6, 6},    {6, 14, 14},  {10, 10, 10}, {6, 10, 10},
    {6, 14, 14}, {14, 14, 14}, {1, 1, 1},    {5, 5, 5},    {5, 5, 5},    {5, 12, 12},  {3, 3, 3},
    {8, 8, 8},   {8, 8, 8},    {8, 12, 12},  {3, 3, 3},    {8, 8, 8},    {8, 8, 8},    {7, 8, 14},
    {3, 10, 10}, {8, 10, 10},  {7, 8, 14},   {7, 14, 14},  {1, 1, 1},    {5, 5, 5},    {5, 5, 5},
    {5, 13, 13}, {3, 3, 3},    {8, 8, 8},    {8, 8, 8},    {7, 8, 13},   {3, 3, 3},    {8, 8, 8},
    {7, 8, 8},   {7, 7, 7},    {3, 11, 11},  {7, 8, 11},   {7, 7, 7},    {7, 7, 7},    {9, 9, 9},
    {5, 9, 9},   {5, 13, 13},  {13, 13, 13}, {3, 9, 9},    {8, 9, 9},    {7, 8, 13},   {7, 13, 13},
    {3, 11, 11}, {7, 8, 11},   {7, 7, 7},    {7, 7, 7},    {11, 11, 11}, {7, 11, 11},  {7, 7, 7},
    {7, 15, 15},
}};

int Distance(TColor a, TColor b) {
    const int dr = GetRValue(a) - GetRValue(b);
    const int dg = GetGValue(a) - GetGValue(b);
    const int db = GetBValue(a) - GetBValue(b);
    return dr * dr + dg * dg + db * db;
}

// The colour cache holds one byte per cell, so it serves palettes of up to 256 entries.
constexpr int CacheCells = 65536;
constexpr int CacheableEntries = 256;

} // namespace

int TPixelGraphic::Brightness(TColor color) const {
    const int r = GetRValue(color), g = GetGValue(color), b = GetBValue(color);
    return FRGBWeighting ? (299 * r + 587 * g + 114 * b) * 3 / 1000 : r + g + b;
}

std::uint32_t TPixelGraphic::NearestColorIndexMiss(TColor color) {
    const std::uint32_t index = NearestByIdent(color);
    FLastColor = color;
    FLastIndex = index;
    FLastIdent = FPaletteIdent;
    FLastStale = false;
    return index;
}

std::uint32_t TPixelGraphic::NearestByIdent(TColor color) {
    const int r = GetRValue(color), g = GetGValue(color), b = GetBValue(color);
    switch (FPaletteIdent) {
    case pNone:
        break;
    case pTrueColor:
        return color;
    case pUnknown:
        if (FPaletteCount == 0)
            break;
        if (FUseColorCache && FPaletteCount <= CacheableEntries)
            return NearestCached(color);
        return NearestEntry(color);
    case pBlackWhite:
        return static_cast<std::uint32_t>((Brightness(color) + 1) / 384);
    case pSysGray4: {
        const int l = Brightness(color);
        return l <= 192 ? 0 : l <= 480 ? 1 : l <= 670 ? 2 : 3;
    }
    case pSys16: {
        std::uint32_t best = 0;
        int bestDistance = INT_MAX;
        for (std::uint8_t candidate : Sys16Candidates[16 * (r / 64) + 4 * (g / 64) + b / 64]) {
            const int distance = Distance(color, FPaletteEntries[candidate]);
            if (distance < bestDistance) {
                bestDistance = distance;
                best = candidate;
            }
        }
        return best;
    }
    case pGray4:
        return static_cast<std::uint32_t>((Brightness(color) + 127) / 255);
    case pGray16:
        return static_cast<std::uint32_t>((Brightness(color) + 25) / 51);
    case pGray236: {
        // The levels ascend; the nearest to L / 3 is the first at or above it or the one
        // before, which wins ties.
        const int l = Brightness(color);
        const auto above =
            std::lower_bound(FPaletteEntries.begin(), FPaletteEntries.end(), l,
                             [](TColor entry, int value) { return 3 * GetGValue(entry) < value; });
        auto index = above - FPaletteEntries.begin();
        if (above == FPaletteEntries.end() ||
            (above != FPaletteEntries.begin() &&
             l - 3 * GetGValue(*(above - 1)) <= 3 * GetGValue(*above) - l))
            --index;
        return static_cast<std::uint32_t>(index);
    }
    case pGray256:
        return static_cast<std::uint32_t>((Brightness(color) + 1) / 3);
    case pSpecial125: {
        // 224 would round down to the 192 level although 255 is as near: it counts as 225.
        const auto level = [](int c) { return ((c == 224 ? 225 : c) + 31) / 64; };
        return static_cast<std::uint32_t>(25 * level(r) + 5 * level(g) + level(b));
    }
    case pSpecial216:
        return static_cast<std::uint32_t>(36 * ((r + 24) / 51) + 6 * ((g + 24) / 51) +
                                          (b + 24) / 51);
    case pSpecial252:
        return NearestEntry(color);
    case pOptimized252Sys16:
    case pSource:
        return 0;
    }
    throw EPGNoPalette(LibraryMessage(2));
}

std::uint32_t TPixelGraphic::NearestEntry(TColor color) const {
    const int r = GetRValue(color), g = GetGValue(color), b = GetBValue(color);
    const TColor* entries = FPaletteEntries.data();
    if (FPaletteCount <= CacheableEntries) {
        // Distance and index packed into one key (distance < 2^18, index < 2^8): the smallest
        // key is the nearest entry with the lowest index, and the loop vectorises.
        std::uint32_t best = UINT32_MAX;
        for (int i = 0; i < FPaletteCount; ++i) {
            const TColor e = entries[i];
            const int dr = static_cast<int>(e & 0xFF) - r;
            const int dg = static_cast<int>((e >> 8) & 0xFF) - g;
            const int db = static_cast<int>((e >> 16) & 0xFF) - b;
            const auto key = static_cast<std::uint32_t>(dr * dr + dg * dg + db * db) << 8 |
                             static_cast<std::uint32_t>(i);
            best = std::min(best, key);
        }
        return best & 0xFF;
    }
    std::uint32_t best = 0;
    int bestDistance = INT_MAX;
    for (int i = 0; i < FPaletteCount; ++i) {
        const int distance = Distance(color, entries[i]);
        if (distance < bestDistance) {
            best = static_cast<std::uint32_t>(i);
            bestDistance = distance;
        }
    }
    return best;
}

std::uint32_t TPixelGraphic::NearestCached(TColor color) {
    if (FColorCacheStale)
        SeedColorCache();
    const int cell = TMedianCut::CellIndex(GetRValue(color), GetGValue(color), GetBValue(color));
    std::uint64_t& word = FColorCacheValid[static_cast<std::size_t>(cell >> 6)];
    const std::uint64_t bit = std::uint64_t{1} << (cell & 63);
    if (!(word & bit)) {
        FColorCache[static_cast<std::size_t>(cell)] =
            static_cast<std::uint8_t>(NearestEntry(color));
        word |= bit;
    }
    return FColorCache[static_cast<std::size_t>(cell)];
}

// Each entry claims the cells on the surfaces of ever larger cubes around its own cell, in
// rounds, so that nearby cells answer without a search. A claimed cell keeps its entry even
// when another one lies nearer: speed matters more here than exactness.
void TPixelGraphic::SeedColorCache() {
    if (!FColorCache)
        FColorCache = std::make_unique<std::uint8_t[]>(CacheCells);
    FColorCacheValid = std::make_unique<std::uint64_t[]>(CacheCells / 64);
    std::uint64_t* valid = FColorCacheValid.get();
    std::uint8_t* cache = FColorCache.get();
    const auto claim = [valid, cache](int r, int g, int b, std::uint8_t index) {
        const int cell = (r << 11) | (g << 5) | b;
        const std::uint64_t bit = std::uint64_t{1} << (cell & 63);
        if (!(valid[cell >> 6] & bit)) {
            valid[cell >> 6] |= bit;
            cache[cell] = index;
        }
    };
    for (int round = 0; round <= 4; ++round) {
        for (int i = 0; i < FPaletteCount; ++i) {
            const TColor entry = FPaletteEntries[static_cast<std::size_t>(i)];
            const int r0 = GetRValue(entry) >> 3, g0 = GetGValue(entry) >> 2,
                      b0 = GetBValue(entry) >> 3;
            const int rLow = std::max(r0 - round, 0), rHigh = std::min(r0 + round, 31);
            const int gLow = std::max(g0 - round, 0), gHigh = std::min(g0 + round, 63);
            const int bLow = std::max(b0 - round, 0), bHigh = std::min(b0 + round, 31);
            const auto index = static_cast<std::uint8_t>(i);
            for (int r = rLow; r <= rHigh; ++r)
                for (int g = gLow; g <= gHigh; ++g) {
                    if (r == r0 - round || r == r0 + round || g == g0 - round || g == g0 + round) {
                        for (int b = bLow; b <= bHigh; ++b)
                            claim(r, g, b, index);
                        continue;
                    }
                    if (b0 - round >= 0)
                        claim(r, g, b0 - round, index);
                    if (b0 + round <= 31)
                        claim(r, g, b0 + round, index);
                }
        }
    }
    FColorCacheStale = false;
}

void TPixelGraphic::FreeColorCache() {
    FColorCache.reset();
    FColorCacheValid.reset();
    FColorCacheStale = true;
}

void TPixelGraphic::SetUseColorCache(bool value) {
    if (value == FUseColorCache)
        return;
    FUseColorCache = value;
    FLastStale = true;
    NotifyChange(this);
}

void TPixelGraphic::SetRGBWeighting(bool value) {
    if (value == FRGBWeighting)
        return;
    FRGBWeighting = value;
    FLastStale = true;
}
