#include "engine/FractalEngine.h"
#include "engine/FractalParams.h"
#include "engine/ViewFit.h"
#include "image/PixelGraphic.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <functional>
#include <memory>

namespace {

// A document's block with the defaults, a 24-bit image and the default view.
struct TBenchDocument {
    TFractalParams Params;
    TPixelGraphic Image;
    TFractalEngine Engine;
    std::uint32_t NextSeed;
    // The loop calls its hook through this after every pass; here it does nothing.
    std::function<void()> Hook = [] {};

    explicit TBenchDocument(std::uint32_t seed, int width = 400, int height = 300)
        : NextSeed(seed) {
        TViewFit view;
        view.ResetCoordinates();
        view.PrepareRun(Params, Image, width, height);
        Engine.SetClock([this] { return NextSeed++; });
    }

    void PassWithHook() {
        Engine.Pass();
        Hook();
    }
};

void EnableEverything(TFractalParams& p) {
    for (TBool32* flag :
         {&p.UseLatoocarfian01, &p.UseLatoocarfian02, &p.UseIFS01, &p.UseIFS02, &p.UseAT01,
          &p.UseAT02, &p.RotateL01, &p.RotateL02, &p.RotateIFS01, &p.RotateIFS02, &p.RotateAT01,
          &p.RotateAT02, &p.UseRotational, &p.UseSinusoidal, &p.UseSpherical, &p.UseSwirl,
          &p.UseHorseshoe, &p.UsePolar, &p.UseBent})
        *flag = BoolTrue;
}

// The plotting phase with the defaults (IFS 01 only): one pass is one plotted step.
void BM_PlottingPhase(benchmark::State& state) {
    TBenchDocument doc(12345);
    doc.Engine.StartRun(&doc.Params);
    while (doc.Params.StepCount < TFractalEngine::FirstPlotStep)
        doc.PassWithHook();
    for (auto _ : state)
        doc.PassWithHook();
    state.SetItemsProcessed(state.iterations());
    state.counters["still_plotting"] = doc.Params.StepCount >= TFractalEngine::FirstPlotStep;
}
BENCHMARK(BM_PlottingPhase)->MinTime(2.0);

// The warm-up: one pass is two transformation steps (orbit and shadow) and the Lyapunov update.
void BM_WarmUpPhase(benchmark::State& state) {
    TBenchDocument doc(12345);
    doc.Engine.StartRun(&doc.Params);
    for (auto _ : state) {
        doc.PassWithHook();
        // Stay in the warm-up without restarting the estimate.
        if (doc.Params.StepCount >= 3000)
            doc.Params.StepCount = 100;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_WarmUpPhase)->MinTime(2.0);

// All six maps, their rotations and all seven variations. The sine maps copy the z of the
// previous IFS 01 step, which keeps the shadow far from the orbit, so such sets are rejected in
// the warm-up: this measures the warm-up with draws and restarts.
void BM_AllMapsRotationsVariations(benchmark::State& state) {
    TBenchDocument doc(12345);
    EnableEverything(doc.Params);
    int tick = 0;
    doc.Hook = [&] { doc.Params.Tick = ++tick >> 10; };
    doc.Engine.StartRun(&doc.Params);
    const std::uint32_t firstSeed = doc.NextSeed;
    for (auto _ : state)
        doc.PassWithHook();
    state.SetItemsProcessed(state.iterations());
    state.counters["sets_per_pass"] =
        static_cast<double>(doc.NextSeed - firstSeed) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_AllMapsRotationsVariations)->MinTime(2.0);

// The same without the sine maps, so the run reaches its plotting phase.
void BM_IFSAndATMapsRotationsVariations(benchmark::State& state) {
    TBenchDocument doc(12345);
    EnableEverything(doc.Params);
    doc.Params.UseLatoocarfian01 = doc.Params.UseLatoocarfian02 = BoolFalse;
    doc.Engine.StartRun(&doc.Params);
    const std::uint32_t firstSeed = doc.NextSeed;
    std::int64_t plotting = 0;
    for (auto _ : state) {
        doc.PassWithHook();
        plotting += doc.Params.StepCount >= TFractalEngine::FirstPlotStep;
    }
    state.SetItemsProcessed(state.iterations());
    state.counters["plotting_share"] =
        static_cast<double>(plotting) / static_cast<double>(state.iterations());
    state.counters["sets"] = doc.NextSeed - firstSeed;
}
BENCHMARK(BM_IFSAndATMapsRotationsVariations)->MinTime(2.0);

// ResetRun when nothing was plotted since the last clear: a rejected set in the warm-up.
void BM_ResetRunUntouched(benchmark::State& state) {
    TBenchDocument doc(12345);
    doc.Engine.StartRun(&doc.Params);
    for (auto _ : state)
        doc.Engine.ResetRun();
}
BENCHMARK(BM_ResetRunUntouched);

// ResetRun after points in two opposite corners: the whole image area and its counters.
void BM_ResetRunWholeImage(benchmark::State& state) {
    const int width = static_cast<int>(state.range(0));
    const int height = static_cast<int>(state.range(1));
    TBenchDocument doc(12345, width, height);
    doc.Params.ViewXMin = doc.Params.ViewYMin = 0.0;
    doc.Params.ViewXMax = width;
    doc.Params.ViewYMax = height;
    doc.Params.NewCoefficients = BoolFalse;
    doc.Engine.StartRun(&doc.Params);
    for (auto _ : state) {
        doc.Params.StepCount = TFractalEngine::FirstPlotStep;
        doc.Engine.SetPoint(0.4, 0.4, 0.0);
        doc.Engine.PlotPoint();
        doc.Engine.SetPoint(width - 0.6, height - 0.6, 0.0);
        doc.Engine.PlotPoint();
        doc.Engine.ResetRun();
    }
}
BENCHMARK(BM_ResetRunWholeImage)
    ->Args({400, 300})
    ->Args({1024, 768})
    ->Unit(benchmark::kMicrosecond);

// From the coefficient draw at the start of a run to its first plotted point, one seed per
// repetition; the median is the figure.
void BM_DrawToFirstPoint(benchmark::State& state) {
    static std::uint32_t seed = 1000;
    auto doc = std::make_unique<TBenchDocument>(seed++);
    doc->Engine.SetPassHook([&] {
        if (doc->Params.StepCount >= TFractalEngine::FirstPlotStep)
            doc->Params.AbortRequested = BoolTrue;
    });
    std::uint32_t sets = 0;
    for (auto _ : state) {
        const std::uint32_t firstSeed = doc->NextSeed;
        doc->Params.NewCoefficients = BoolTrue;
        doc->Params.AbortRequested = BoolFalse;
        doc->Engine.RunFractal(&doc->Params);
        sets += doc->NextSeed - firstSeed;
    }
    state.counters["sets"] = sets;
}
BENCHMARK(BM_DrawToFirstPoint)
    ->Iterations(1)
    ->Repetitions(50)
    ->ReportAggregatesOnly(true)
    ->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
