#include "image/PaletteTables.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

namespace {

constexpr std::array<TColor, 16> Sys16 = {
    RGB(0, 0, 0),       RGB(128, 0, 0),   RGB(0, 128, 0),   RGB(128, 128, 0),
    RGB(0, 0, 128),     RGB(128, 0, 128), RGB(0, 128, 128), RGB(192, 192, 192),
    RGB(128, 128, 128), RGB(255, 0, 0),   RGB(0, 255, 0),   RGB(255, 255, 0),
    RGB(0, 0, 255),     RGB(255, 0, 255), RGB(0, 255, 255), RGB(255, 255, 255)};

constexpr std::array<TColor, 4> SysGray4 = {RGB(0, 0, 0), RGB(128, 128, 128), RGB(192, 192, 192),
                                            RGB(255, 255, 255)};

constexpr std::array<TColor, 2> BlackWhite = {RGB(0, 0, 0), RGB(255, 255, 255)};

constexpr TColor Gray(std::uint32_t level) {
    return RGB(level, level, level);
}

template <std::size_t N> std::array<TColor, N> GrayRamp() {
    std::array<TColor, N> ramp{};
    for (std::uint32_t i = 0; i < N; ++i)
        ramp[i] = Gray(i * 255 / (N - 1));
    return ramp;
}

std::array<TColor, 236> Gray236() {
    std::array<TColor, 236> ramp{};
    for (int i = 0; i < 236; ++i) {
        // nearbyint rounds halves to the even neighbour in the default rounding mode.
        double level = std::nearbyint((255.0 * i - 0.0851063829787234) * 0.00425531914893617);
        ramp[i] = Gray(static_cast<std::uint32_t>(level));
    }
    return ramp;
}

// Entry (N * N) r + N g + b of an N-level cube; level k is k * 255 / (N - 1) rounded up.
template <std::uint32_t N> std::array<TColor, N * N * N> ColorCube() {
    std::array<TColor, N * N * N> cube{};
    auto level = [](std::uint32_t k) { return (k * 255 + N - 2) / (N - 1); };
    for (std::uint32_t r = 0; r < N; ++r)
        for (std::uint32_t g = 0; g < N; ++g)
            for (std::uint32_t b = 0; b < N; ++b)
                cube[(r * N + g) * N + b] = RGB(level(r), level(g), level(b));
    return cube;
}

// The 16 system colours, then 236 colours of the 9 x 9 x 9 grid of the levels
// 0, 32, ..., 224, 255. Those are picked greedily for an even spread: each next one is the grid
// colour farthest (squared RGB distance) from every colour taken so far, the lowest grid index
// (81 r + 9 g + b) on ties. The system colours lie on the grid, so none is repeated.
std::array<TColor, 252> Special252() {
    constexpr std::array<int, 9> levels = {0, 32, 64, 96, 128, 160, 192, 224, 255};
    std::array<TColor, 252> table{};
    std::vector<TColor> grid;
    for (int r : levels)
        for (int g : levels)
            for (int b : levels)
                grid.push_back(RGB(r, g, b));

    auto distance = [](TColor a, TColor b) {
        int dr = GetRValue(a) - GetRValue(b);
        int dg = GetGValue(a) - GetGValue(b);
        int db = GetBValue(a) - GetBValue(b);
        return dr * dr + dg * dg + db * db;
    };
    std::vector<int> nearest(grid.size(), std::numeric_limits<int>::max());
    auto take = [&](std::size_t slot, TColor color) {
        table[slot] = color;
        for (std::size_t i = 0; i < grid.size(); ++i)
            nearest[i] = std::min(nearest[i], distance(grid[i], color));
    };
    for (std::size_t i = 0; i < Sys16.size(); ++i)
        take(i, Sys16[i]);
    for (std::size_t slot = Sys16.size(); slot < table.size(); ++slot) {
        std::size_t best = 0;
        for (std::size_t i = 1; i < grid.size(); ++i)
            if (nearest[i] > nearest[best])
                best = i;
        take(slot, grid[best]);
    }
    return table;
}

} // namespace

std::span<const TColor> StandardPalette(TPaletteIdent ident) {
    static const auto gray4 = GrayRamp<4>();
    static const auto gray16 = GrayRamp<16>();
    static const auto gray236 = Gray236();
    static const auto gray256 = GrayRamp<256>();
    static const auto special125 = ColorCube<5>();
    static const auto special216 = ColorCube<6>();
    static const auto special252 = Special252();
    switch (ident) {
    case pBlackWhite:
        return BlackWhite;
    case pSysGray4:
        return SysGray4;
    case pSys16:
        return Sys16;
    case pGray4:
        return gray4;
    case pGray16:
        return gray16;
    case pGray236:
        return gray236;
    case pGray256:
        return gray256;
    case pSpecial125:
        return special125;
    case pSpecial216:
        return special216;
    case pSpecial252:
        return special252;
    default:
        return {};
    }
}
