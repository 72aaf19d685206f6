#pragma once

#include "image/PixelGraphic.h"

#include <memory>
#include <stdexcept>

// Sets every pixel (x, y) of the image to value(x, y): a colour at 24 bits, an index below.
template <typename ValueAt> void FillPixels(TPixelGraphic& image, ValueAt value) {
    for (int y = 0; y < image.Height(); ++y)
        for (int x = 0; x < image.Width(); ++x)
            image.SetPixel(x, y, value(x, y));
}

// A true-colour picture whose pixel (x, y) is color(x, y).
template <typename ColorAt> std::unique_ptr<TPixelGraphic> Picture(int w, int h, ColorAt color) {
    auto image = std::make_unique<TPixelGraphic>();
    image->SetSize(w, h, bc24Bit);
    FillPixels(*image, color);
    return image;
}

// Counts the starts and ends of an image's long operations; its progress listener throws
// std::runtime_error at row `failingStep`, as a failing disk or a broken listener would.
struct TFailingProgress {
    int Starts = 0;
    int Ends = 0;

    TFailingProgress(TPixelGraphic& image, int failingStep) {
        image.OnProgressStart = [this](TPixelGraphic&) { ++Starts; };
        image.OnProgressEnd = [this](TPixelGraphic&) { ++Ends; };
        image.OnProgress = [failingStep](TPixelGraphic&, int step, int, bool&) {
            if (step == failingStep)
                throw std::runtime_error("progress listener");
        };
    }
    // The image's hooks point here.
    TFailingProgress(const TFailingProgress&) = delete;
    TFailingProgress& operator=(const TFailingProgress&) = delete;
};
