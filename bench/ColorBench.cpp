#include "ColorBenchPictures.h"

#include "render/RenderJob.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

// Extra options, before Google Benchmark's own:
//   --dense-out=FILE      write the dense picture (.ppm, else BMP)
//   --rendered-out=FILE   write the engine's picture
//   --dense-in=FILE.ppm   measure this picture instead of the generated dense one
namespace {

std::unique_ptr<TPixelGraphic> Dense;
std::unique_ptr<TPixelGraphic> Rendered;

// A seeded 1024 x 768 render of the default parameters: the pictures the program saves.
std::unique_ptr<TPixelGraphic> RenderedPicture() {
    TRenderSettings settings;
    settings.Width = benchpictures::Width;
    settings.Height = benchpictures::Height;
    settings.Seed = 1234;
    settings.Steps = 4000000;
    TRenderJob renderer(settings);
    renderer.Run(nullptr);
    auto image = std::make_unique<TPixelGraphic>();
    image->AssignImage(&renderer.Image());
    return image;
}

const TPixelGraphic& Picture(const benchmark::State& state) {
    return state.range(0) == 0 ? *Dense : *Rendered;
}

void Label(benchmark::State& state) {
    state.SetLabel(state.range(0) == 0 ? "dense" : "rendered");
}

// The whole conversion of a save as 256 colours: optimised palette, then dithered copy.
void BM_Convert252(benchmark::State& state) {
    const TPixelGraphic& source = Picture(state);
    TPixelGraphic target;
    target.SetSize(source.Width(), source.Height(), bc8Bit);
    for (auto _ : state) {
        TPixelGraphic::BuildOptimizedPalette(target, source, 252, true);
        target.StretchFrom(source);
        benchmark::DoNotOptimize(target.Bits());
    }
    Label(state);
}
BENCHMARK(BM_Convert252)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_BuildOptimizedPalette252(benchmark::State& state) {
    const TPixelGraphic& source = Picture(state);
    TPixelGraphic target;
    target.SetSize(source.Width(), source.Height(), bc8Bit);
    for (auto _ : state) {
        TPixelGraphic::BuildOptimizedPalette(target, source, 252, true);
        benchmark::DoNotOptimize(target.PaletteEntries().data());
    }
    Label(state);
}
BENCHMARK(BM_BuildOptimizedPalette252)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The dithered copy alone; rebuilding the palette each time frees the colour cache, so the
// cache is seeded and filled again as in a real save.
void BM_Dither252(benchmark::State& state) {
    const TPixelGraphic& source = Picture(state);
    TPixelGraphic optimized;
    optimized.SetSize(source.Width(), source.Height(), bc8Bit);
    TPixelGraphic::BuildOptimizedPalette(optimized, source, 252, true);
    TPixelGraphic target;
    target.SetSize(source.Width(), source.Height(), bc8Bit);
    const std::vector<TColor> entries = optimized.PaletteEntries();
    for (auto _ : state) {
        state.PauseTiming();
        target.SetPaletteCount(0);
        target.SetPaletteCount(static_cast<int>(entries.size()));
        for (std::size_t i = 0; i < entries.size(); ++i)
            target.SetPaletteEntry(static_cast<int>(i), entries[i]);
        state.ResumeTiming();
        target.StretchFrom(source);
        benchmark::DoNotOptimize(target.Bits());
    }
    Label(state);
}
BENCHMARK(BM_Dither252)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void ConvertTo(benchmark::State& state, TPGBitCount bits, TPaletteIdent ident) {
    const TPixelGraphic& source = Picture(state);
    TPixelGraphic target;
    target.SetSize(source.Width(), source.Height(), bits);
    target.SetPaletteIdent(ident);
    for (auto _ : state) {
        target.StretchFrom(source);
        benchmark::DoNotOptimize(target.Bits());
    }
    Label(state);
}

void BM_DitherGray256(benchmark::State& state) {
    ConvertTo(state, bc8Bit, pGray256);
}
BENCHMARK(BM_DitherGray256)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_DitherBlackWhite(benchmark::State& state) {
    ConvertTo(state, bc1Bit, pBlackWhite);
}
BENCHMARK(BM_DitherBlackWhite)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// Takes "--name=value" out of argv.
std::string TakeOption(int& argc, char** argv, const std::string& name) {
    const std::string prefix = "--" + name + "=";
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg.rfind(prefix, 0) == 0) {
            for (int j = i; j + 1 < argc; ++j)
                argv[j] = argv[j + 1];
            --argc;
            return arg.substr(prefix.size());
        }
    }
    return {};
}

} // namespace

int main(int argc, char** argv) {
    const std::string denseOut = TakeOption(argc, argv, "dense-out");
    const std::string renderedOut = TakeOption(argc, argv, "rendered-out");
    const std::string denseIn = TakeOption(argc, argv, "dense-in");
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    Dense = denseIn.empty() ? benchpictures::DensePicture() : benchpictures::ReadPPM(denseIn);
    Rendered = RenderedPicture();
    if (!denseOut.empty())
        benchpictures::WritePicture(*Dense, denseOut);
    if (!renderedOut.empty())
        benchpictures::WritePicture(*Rendered, renderedOut);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
