#include "render/Supersampling.h"

#include "image/PixelGraphic.h"

#include <cstdint>
#include <vector>

void ReduceByBoxAverage(const TPixelGraphic& source, int factor, TPixelGraphic& target) {
    const int width = source.Width() / factor;
    const int height = source.Height() / factor;
    target.SetSize(width, height, bc24Bit);
    const std::uint32_t count = static_cast<std::uint32_t>(factor) * factor;
    // One output row's channel sums, built from its factor source rows.
    std::vector<std::uint32_t> sums(static_cast<std::size_t>(width) * 3);
    for (int y = 0; y < height; ++y) {
        std::fill(sums.begin(), sums.end(), 0u);
        for (int dy = 0; dy < factor; ++dy) {
            const std::uint8_t* row = source.ScanLine(y * factor + dy);
            for (int x = 0; x < width * factor; ++x)
                for (int channel = 0; channel < 3; ++channel)
                    sums[(x / factor) * 3 + channel] += row[x * 3 + channel];
        }
        std::uint8_t* out = target.ScanLine(y);
        for (std::size_t i = 0; i < sums.size(); ++i)
            out[i] = static_cast<std::uint8_t>((sums[i] + count / 2) / count);
    }
}
