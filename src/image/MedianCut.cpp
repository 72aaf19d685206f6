#include "image/MedianCut.h"

#include <algorithm>

TMedianCut::TMedianCut() : FHistogram(CellCount, 0) {}

void TMedianCut::CountRow(const std::uint8_t* bgr, int width) {
    std::uint16_t* histogram = FHistogram.data();
    // Runs of one cell (a plain background) are added at once rather than one increment
    // after another on the same counter.
    int cell = -1;
    std::uint32_t run = 0;
    const auto flush = [&] {
        if (run > 0) {
            // Saturates: a colour that fills the picture must not wrap round to a rare one.
            std::uint16_t& counter = histogram[cell];
            counter = static_cast<std::uint16_t>(std::min<std::uint32_t>(counter + run, 0xFFFF));
        }
    };
    for (int x = 0; x < width; ++x, bgr += 3) {
        const int next = CellIndex(bgr[2], bgr[1], bgr[0]);
        if (next != cell) {
            flush();
            cell = next;
            run = 0;
        }
        ++run;
    }
    flush();
}

bool TMedianCut::PlaneEmpty(const TBox& box, TChannel channel, int plane) const {
    int lower[3] = {box.Lower[0], box.Lower[1], box.Lower[2]};
    int upper[3] = {box.Upper[0], box.Upper[1], box.Upper[2]};
    lower[channel] = upper[channel] = plane;
    for (int r = lower[cRed]; r <= upper[cRed]; ++r)
        for (int g = lower[cGreen]; g <= upper[cGreen]; ++g)
            for (int b = lower[cBlue]; b <= upper[cBlue]; ++b)
                if (Counter(r, g, b) != 0)
                    return false;
    return true;
}

void TMedianCut::Shrink(TBox& box) const {
    for (TChannel channel : {cBlue, cGreen, cRed}) {
        int& lower = box.Lower[channel];
        int& upper = box.Upper[channel];
        while (lower < upper && PlaneEmpty(box, channel, lower))
            ++lower;
        while (lower < upper && PlaneEmpty(box, channel, upper))
            --upper;
    }
    Measure(box);
}

void TMedianCut::Measure(TBox& box) {
    const long long dr = box.Upper[cRed] - box.Lower[cRed];
    const long long dg = box.Upper[cGreen] - box.Lower[cGreen];
    const long long db = box.Upper[cBlue] - box.Lower[cBlue];
    box.Diagonal = (16 * db) * (16 * db) + (12 * dg) * (12 * dg) + (16 * dr) * (16 * dr);
    box.Volume = (dr + 1) * (dg + 1) * (db + 1);
}

// The channel with the largest extent, green counting 12 and red and blue 16 per cell.
int TMedianCut::SplitChannel(const TBox& box) {
    const int red = 16 * (box.Upper[cRed] - box.Lower[cRed]);
    const int green = 12 * (box.Upper[cGreen] - box.Lower[cGreen]);
    const int blue = 16 * (box.Upper[cBlue] - box.Lower[cBlue]);
    if (blue > green && blue > red)
        return cBlue;
    return green < red ? cRed : cGreen;
}

TColor TMedianCut::MeanColor(const TBox& box) const {
    std::uint64_t total = 0, red = 0, green = 0, blue = 0;
    for (int r = box.Lower[cRed]; r <= box.Upper[cRed]; ++r)
        for (int g = box.Lower[cGreen]; g <= box.Upper[cGreen]; ++g)
            for (int b = box.Lower[cBlue]; b <= box.Upper[cBlue]; ++b) {
                const std::uint64_t n = Counter(r, g, b);
                total += n;
                red += n * static_cast<std::uint64_t>(8 * r + 4);
                green += n * static_cast<std::uint64_t>(4 * g + 2);
                blue += n * static_cast<std::uint64_t>(8 * b + 4);
            }
    // Every box holds counted pixels: shrinking keeps a counted cell on each face, so both
    // halves of a split receive some.
    const auto mean = [total](std::uint64_t sum) {
        return static_cast<std::uint32_t>((sum + total / 2) / total);
    };
    return RGB(mean(red), mean(green), mean(blue));
}

std::vector<TColor> TMedianCut::Palette(int count) const {
    std::vector<TBox> boxes;
    boxes.reserve(static_cast<std::size_t>(std::max(count, 1)));
    boxes.push_back(TBox{{0, 0, 0}, {RedCells - 1, GreenCells - 1, BlueCells - 1}});
    Shrink(boxes.front());
    while (static_cast<int>(boxes.size()) < count) {
        // Early on the most voluminous boxes are split; for the last half the longest ones.
        const bool byDiagonal = count < 2 * static_cast<int>(boxes.size());
        std::size_t chosen = 0;
        long long best = 0;
        for (std::size_t i = 0; i < boxes.size(); ++i) {
            const TBox& box = boxes[i];
            const long long value = byDiagonal ? box.Diagonal : (box.Diagonal > 0 ? box.Volume : 0);
            if (value > best) {
                best = value;
                chosen = i;
            }
        }
        if (best == 0)
            break;
        TBox& box = boxes[chosen];
        const int channel = SplitChannel(box);
        const int middle = (box.Lower[channel] + box.Upper[channel]) / 2;
        TBox upperHalf = box;
        upperHalf.Lower[channel] = middle + 1;
        box.Upper[channel] = middle;
        Shrink(box);
        Shrink(upperHalf);
        boxes.push_back(upperHalf);
    }
    std::vector<TColor> palette;
    palette.reserve(boxes.size());
    for (const TBox& box : boxes)
        palette.push_back(MeanColor(box));
    return palette;
}
