#pragma once

#include "image/PixelGraphic.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <memory>

// Small pictures of every pixel format, palette and content the input asks for.
namespace fuzzpictures {

constexpr int MaxSide = 12;

inline std::unique_ptr<TPixelGraphic> Picture(FuzzedDataProvider& input) {
    auto image = std::make_unique<TPixelGraphic>();
    const TPGBitCount bitCount = input.PickValueInArray({bc1Bit, bc4Bit, bc8Bit, bc24Bit});
    const int width = input.ConsumeIntegralInRange(0, MaxSide);
    const int height = input.ConsumeIntegralInRange(0, MaxSide);
    image->SetSize(width, height, bitCount);
    if (bitCount != bc24Bit) {
        const int slots = 1 << image->BitCountNum();
        image->SetPaletteCount(input.ConsumeIntegralInRange(0, slots));
        for (int i = 0; i < image->PaletteCount(); ++i)
            image->SetPaletteEntry(i, input.ConsumeIntegral<std::uint32_t>() & 0xFFFFFF);
        image->IdentifyPalette();
    }
    const std::uint32_t mask = bitCount == bc24Bit ? 0xFFFFFF : (1u << image->BitCountNum()) - 1;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image->SetPixel(x, y, input.ConsumeIntegral<std::uint32_t>() & mask);
    image->Dither = input.ConsumeBool();
    image->StretchMode = input.PickValueInArray({smFast, smMedium, smPrecise});
    return image;
}

} // namespace fuzzpictures
