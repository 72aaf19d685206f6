// quarn-render's plotting speed with one thread (the single orbit) and with N threads (the 16
// orbits of a multi-threaded run), side by side: each repetition renders the same seeded set at
// the same size and steps, timed on the wall clock. Run with --benchmark_repetitions=3 on an
// otherwise idle machine; the ratio of the steps_per_second counters is the speed-up of
// --threads N.
#include "app/render/RenderOptions.h"
#include "render/RenderJob.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

void BM_RenderOrbits(benchmark::State& state) {
    const int threads = static_cast<int>(state.range(0));
    const std::string size = state.range(1) == 0 ? "400x300" : "1024x768";
    const TRenderOptions options =
        ParseRenderOptions({"--seed", "1234", "--size", size, "--steps", "20000000", "--threads",
                            std::to_string(threads)});
    std::int64_t steps = 0;
    for (auto _ : state) {
        TRenderJob renderer(options);
        steps += renderer.Run(nullptr).Steps;
    }
    state.counters["steps_per_second"] =
        benchmark::Counter(static_cast<double>(steps), benchmark::Counter::kIsRate);
}

} // namespace

BENCHMARK(BM_RenderOrbits)
    ->ArgsProduct({{1, 2}, {0, 1}})
    ->ArgNames({"threads", "large"})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(2);

BENCHMARK_MAIN();
