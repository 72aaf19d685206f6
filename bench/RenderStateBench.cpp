// The save and the load of the state of a large render: a 4096x3072 picture with narrow counters,
// 30% of its pixels hit a few times by one of two orbits, in no spatial order (which packs worse
// than a real attractor's).
#include "render/RenderState.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <random>
#include <string>

namespace {

TRenderState LargeState() {
    constexpr int Width = 4096;
    constexpr int Height = 3072;
    TRenderState state;
    state.Parameters = "{}";
    state.Width = Width;
    state.Height = Height;
    state.Steps = 1'000'000'000;
    state.Orbits = 2;
    state.EndOrbit = 2;
    state.OrbitStates.resize(2);
    state.Hits = std::make_unique<TSharedHits>(Width, Height, TSharedHits::TCounterWidth::Narrow16);
    std::mt19937 random(20240601);
    std::geometric_distribution<int> hits(0.4);
    for (std::size_t pixel = 0; pixel < state.Hits->Pixels(); ++pixel) {
        if (random() % 10 >= 3)
            continue;
        const int orbit = static_cast<int>(random() % 2);
        for (int group = 0; group < 3; ++group)
            for (int hit = hits(random); hit > 0; --hit)
                state.Hits->Plot<false>(pixel, group, 1, TSharedHits::KeyOf(orbit, group));
    }
    return state;
}

const TRenderState& SharedState() {
    static const TRenderState state = LargeState();
    return state;
}

std::string FileName() {
    return (std::filesystem::temp_directory_path() / "quarn-render-state-bench.qstate").string();
}

void Save(benchmark::State& state) {
    const TRenderState& render = SharedState();
    for (auto _ : state)
        SaveRenderState(render, FileName());
    state.counters["file_MiB"] =
        static_cast<double>(std::filesystem::file_size(FileName())) / (1 << 20);
}

void Load(benchmark::State& state) {
    SaveRenderState(SharedState(), FileName());
    for (auto _ : state)
        benchmark::DoNotOptimize(LoadRenderState(FileName(), std::size_t{1} << 30));
    std::filesystem::remove(FileName());
}

// The sum of two shares' counters and keys, which --merge does for each further state file.
void Add(benchmark::State& state) {
    const TSharedHits& from = *SharedState().Hits;
    TSharedHits into(from.Width(), from.Height(), from.CounterWidth());
    for (auto _ : state) {
        TSharedHits::AddCounters(from.NarrowCounters(), into.NarrowCounters(), 1);
        TSharedHits::AddKeys(from.Keys(), into.Keys());
        benchmark::ClobberMemory();
    }
}

} // namespace

BENCHMARK(Add)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(Save)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(Load)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
