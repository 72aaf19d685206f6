#pragma once

#include "image/PixelGraphic.h"

#include <memory>

// A true-colour picture whose pixel (x, y) is color(x, y).
template <typename ColorAt> std::unique_ptr<TPixelGraphic> Picture(int w, int h, ColorAt color) {
    auto image = std::make_unique<TPixelGraphic>();
    image->SetSize(w, h, bc24Bit);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image->SetPixel(x, y, color(x, y));
    return image;
}
