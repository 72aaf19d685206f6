#pragma once

#include "image/PixelGraphic.h"

#include <memory>

// The picture every export benchmark saves, 1024 x 768 true colour. bench/export_vs_pillow.py
// builds the same pixels for Pillow, so the formula must stay in step with it.
inline std::unique_ptr<TPixelGraphic> BenchPicture() {
    constexpr int Width = 1024, Height = 768;
    auto image = std::make_unique<TPixelGraphic>();
    image->SetSize(Width, Height, bc24Bit);
    for (int y = 0; y < Height; ++y)
        for (int x = 0; x < Width; ++x)
            image->SetPixel(x, y,
                            RGB((x * 5 + y * 3) & 255, (x ^ (y * 2)) & 255, ((x * y) >> 4) & 255));
    return image;
}
