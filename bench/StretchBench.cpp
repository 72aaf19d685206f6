#include "ColorBenchPictures.h"

#include <benchmark/benchmark.h>

namespace {

constexpr int SmallWidth = 400, SmallHeight = 300;

void Stretch(benchmark::State& state, int fromWidth, int fromHeight, int toWidth, int toHeight) {
    static const std::unique_ptr<TPixelGraphic> dense = benchpictures::DensePicture();
    TPixelGraphic source;
    source.SetSize(fromWidth, fromHeight, bc24Bit);
    source.StretchFrom(*dense);
    TPixelGraphic target;
    target.SetSize(toWidth, toHeight, bc24Bit);
    const auto mode = static_cast<TStretchMode>(state.range(0));
    target.StretchMode = mode;
    for (auto _ : state) {
        target.StretchFrom(source);
        benchmark::DoNotOptimize(target.Bits());
    }
    state.SetLabel(mode == smFast ? "smFast" : mode == smMedium ? "smMedium" : "smPrecise");
}

void BM_Shrink1024x768To400x300(benchmark::State& state) {
    Stretch(state, benchpictures::Width, benchpictures::Height, SmallWidth, SmallHeight);
}
BENCHMARK(BM_Shrink1024x768To400x300)->DenseRange(smFast, smPrecise)->Unit(benchmark::kMillisecond);

void BM_Enlarge400x300To1024x768(benchmark::State& state) {
    Stretch(state, SmallWidth, SmallHeight, benchpictures::Width, benchpictures::Height);
}
BENCHMARK(BM_Enlarge400x300To1024x768)
    ->DenseRange(smFast, smPrecise)
    ->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
