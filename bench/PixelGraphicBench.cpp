#include "image/PixelGraphic.h"

#include <benchmark/benchmark.h>

#include <sstream>

namespace {

// The engine's pattern: one 24-bit pixel at a time over the whole picture.
void BM_SetPixel24(benchmark::State& state) {
    TPixelGraphic image;
    image.SetSize(1024, 768, bc24Bit);
    std::uint32_t colour = 0;
    for (auto _ : state) {
        for (int y = 0; y < 768; ++y)
            for (int x = 0; x < 1024; ++x)
                image.SetPixel(x, y, colour++);
        benchmark::DoNotOptimize(image.Bits());
    }
    state.SetItemsProcessed(state.iterations() * 1024 * 768);
}
BENCHMARK(BM_SetPixel24);

void BM_SetPixel8(benchmark::State& state) {
    TPixelGraphic image;
    image.SetSize(1024, 768, bc8Bit);
    std::uint32_t index = 0;
    for (auto _ : state) {
        for (int y = 0; y < 768; ++y)
            for (int x = 0; x < 1024; ++x)
                image.SetPixel(x, y, index++);
        benchmark::DoNotOptimize(image.Bits());
    }
    state.SetItemsProcessed(state.iterations() * 1024 * 768);
}
BENCHMARK(BM_SetPixel8);

void BM_GetPixel24(benchmark::State& state) {
    TPixelGraphic image;
    image.SetSize(1024, 768, bc24Bit);
    for (auto _ : state) {
        std::uint32_t sum = 0;
        for (int y = 0; y < 768; ++y)
            for (int x = 0; x < 1024; ++x)
                sum += image.GetPixel(x, y);
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * 1024 * 768);
}
BENCHMARK(BM_GetPixel24);

void BM_ClearWithBackground24(benchmark::State& state) {
    TPixelGraphic image;
    image.SetSize(1024, 768, bc24Bit);
    image.SetBackgroundColor(RGB(255, 255, 255));
    for (auto _ : state) {
        image.Clear();
        benchmark::DoNotOptimize(image.Bits());
    }
}
BENCHMARK(BM_ClearWithBackground24);

void BM_StoredImageRoundTrip(benchmark::State& state) {
    TPixelGraphic image;
    image.SetSize(400, 300, bc24Bit);
    TPixelGraphic copy;
    for (auto _ : state) {
        std::stringstream stream;
        image.WriteStoredImage(stream);
        copy.ReadStoredImage(stream);
    }
    state.SetBytesProcessed(state.iterations() * image.ImageSize());
}
BENCHMARK(BM_StoredImageRoundTrip);

} // namespace

BENCHMARK_MAIN();
