#include "image/PixelGraphic.h"
#include "image/RasterTarget.h"

#include <benchmark/benchmark.h>

namespace {

// A 1024 x 768 picture with varied pixels, as the view shows while the engine runs.
void Fill(TPixelGraphic& image, TPGBitCount bitCount) {
    image.SetSize(1024, 768, bitCount);
    if (bitCount == bc8Bit)
        image.SetPaletteIdent(pSpecial216);
    for (int y = 0; y < image.Height(); ++y)
        for (int x = 0; x < image.Width(); ++x)
            image.SetPixel(x, y,
                           bitCount == bc24Bit ? RGB(x & 0xFF, y & 0xFF, (x ^ y) & 0xFF)
                                               : static_cast<std::uint32_t>((x + y) % 216));
}

void Draw(benchmark::State& state, TPGBitCount bitCount, int zoom) {
    TPixelGraphic image;
    Fill(image, bitCount);
    const int width = image.Width() * zoom;
    const int height = image.Height() * zoom;
    TRasterTarget target(width, height);
    for (auto _ : state) {
        image.DrawToContext(target, {0, 0, width, height}, true);
        benchmark::DoNotOptimize(target.Bits());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * width * height);
}

void BM_Draw24BitOneToOne(benchmark::State& state) {
    Draw(state, bc24Bit, 1);
}
void BM_Draw24BitZoom2(benchmark::State& state) {
    Draw(state, bc24Bit, 2);
}
void BM_Draw8BitOneToOne(benchmark::State& state) {
    Draw(state, bc8Bit, 1);
}

// The view's flip: the same picture mirrored left to right.
void BM_Draw24BitMirrored(benchmark::State& state) {
    TPixelGraphic image;
    Fill(image, bc24Bit);
    TRasterTarget target(image.Width(), image.Height());
    for (auto _ : state) {
        image.DrawToContext(target, {image.Width(), 0, 0, image.Height()}, true);
        benchmark::DoNotOptimize(target.Bits());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * image.Width() * image.Height());
}

} // namespace

BENCHMARK(BM_Draw24BitOneToOne)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Draw24BitZoom2)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Draw8BitOneToOne)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Draw24BitMirrored)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
