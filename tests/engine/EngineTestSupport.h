#pragma once

#include "engine/FractalEngine.h"
#include "engine/FractalParams.h"
#include "engine/ViewFit.h"
#include "image/PixelGraphic.h"

#include <cstdint>
#include <sstream>
#include <string>

// A block with the defaults, a 24-bit image of the block's size and the default view fitted to
// it, as a new document prepares its first run.
struct TDocumentBlock {
    TFractalParams Params;
    TPixelGraphic Image;

    explicit TDocumentBlock(int width = 400, int height = 300) {
        TViewFit view;
        view.ResetCoordinates();
        view.PrepareRun(Params, Image, width, height);
    }

    std::string Bytes() const {
        std::ostringstream out;
        Image.SaveImageStream(out);
        return out.str();
    }
};

// A clock that starts at a fixed time of day and moves on by one millisecond per reading.
struct TSteppingClock {
    std::uint32_t Next = 0;
    int Readings = 0;

    explicit TSteppingClock(std::uint32_t start) : Next(start) {}
    TFractalEngine::TClock Hook() {
        return [this] {
            ++Readings;
            return Next++;
        };
    }
};

inline std::int64_t TotalHits(const TFractalEngine& engine) {
    std::int64_t total = 0;
    for (int group = 1; group <= 3; ++group)
        for (int column = 0; column < TFractalEngine::HitColumns; ++column)
            for (int row = 0; row < TFractalEngine::HitRows; ++row)
                total += engine.Hits(group, column, row);
    return total;
}
