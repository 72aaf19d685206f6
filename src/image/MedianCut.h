#pragma once

#include "image/PGTypes.h"

#include <cstdint>
#include <vector>

// Median-cut palette of a true-colour picture, built from a 5-6-5 bit histogram of its pixels.
class TMedianCut {
public:
    TMedianCut();

    // Counts `width` pixels stored blue, green, red.
    void CountRow(const std::uint8_t* bgr, int width);
    // At most `count` colours: boxes of histogram cells split until there are `count` of them
    // or none can be split, each giving the count-weighted mean of its cells.
    std::vector<TColor> Palette(int count) const;

    static constexpr int RedCells = 32;
    static constexpr int GreenCells = 64;
    static constexpr int BlueCells = 32;
    static constexpr int CellCount = RedCells * GreenCells * BlueCells;
    static int CellIndex(int red, int green, int blue) {
        return ((red >> 3) << 11) | ((green >> 2) << 5) | (blue >> 3);
    }

private:
    enum TChannel { cRed, cGreen, cBlue };
    struct TBox {
        int Lower[3];
        int Upper[3];
        long long Diagonal = 0;
        long long Volume = 0;
    };

    std::uint16_t Counter(int red, int green, int blue) const {
        return FHistogram[(red << 11) | (green << 5) | blue];
    }
    bool PlaneEmpty(const TBox& box, TChannel channel, int plane) const;
    void Shrink(TBox& box) const;
    static void Measure(TBox& box);
    static int SplitChannel(const TBox& box);
    TColor MeanColor(const TBox& box) const;

    std::vector<std::uint16_t> FHistogram;
};
