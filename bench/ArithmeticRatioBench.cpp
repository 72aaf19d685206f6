// The engine against bare loops of its own arithmetic, interleaved in one process. The engine
// runs as quarn-render runs it (the renderer's hook and step limit); the bare loops are one
// plotting step after another written straight from the iteration rules: generator, group
// choice, the enabled maps and variations, pixel rounding and hit counters, with nothing else.
// The first bare loop also colours the pixel at every step (brightness, fold, SetPixel), as
// the engine once did; the second notes the pixel's group and colours every touched pixel once
// at the end, as the engine does now. A ratio is the engine's share of a bare loop's speed.
// Cycles are the time-stamp counter's, per plotting step; the floor is the orbit alone
// (generator, group choice, maps and variations) without plotting, whose chained sines no
// plotting loop can beat.
//
// usage: ArithmeticRatioBench [STEPS [ROUNDS]]   (defaults 20000000 and 3)
#include "app/render/RenderOptions.h"
#include "engine/MapFamilies.h"
#include "engine/Rotation.h"
#include "engine/Variations.h"
#include "image/PixelGraphic.h"
#include "render/RenderJob.h"

#include <emmintrin.h>
#include <x86intrin.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

namespace {

double CpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + 1e-9 * static_cast<double>(now.tv_nsec);
}

// CPU seconds and time-stamp-counter cycles of one measured stretch.
struct TCost {
    double Seconds = 0.0;
    double Cycles = 0.0;
    TCost& operator+=(const TCost& other) {
        Seconds += other.Seconds;
        Cycles += other.Cycles;
        return *this;
    }
};

template <class TWork> TCost Measure(TWork&& work) {
    const double start = CpuSeconds();
    const std::uint64_t cycles = __rdtsc();
    work();
    return {CpuSeconds() - start, static_cast<double>(__rdtsc() - cycles)};
}

// The processor's rounding: nearest, halves to even.
int Rnd(double v) {
    return _mm_cvtsd_si32(_mm_set_sd(v));
}

struct TConfig {
    const char* Name;
    std::vector<std::string> Args;
};

const std::string FourMaps = "ifs01,ifs02,at01,at02";

const std::vector<TConfig> Configs = {
    {"defaults (IFS 01)", {}},
    {"IFS and AT maps with rotations", {"--maps", FourMaps, "--rotate", FourMaps}},
    {"IFS 01 and all variations",
     {"--variations", "rotational,sinusoidal,spherical,swirl,horseshoe,polar,bent"}},
};

TRenderOptions Options(const TConfig& config, std::int64_t steps) {
    std::vector<std::string> args = {"--seed", "1234", "--quiet", "--steps", std::to_string(steps)};
    args.insert(args.end(), config.Args.begin(), config.Args.end());
    return ParseRenderOptions(args);
}

TCost EngineCost(const TConfig& config, std::int64_t steps) {
    TRenderJob renderer(Options(config, steps));
    return Measure([&] { renderer.Run(nullptr); });
}

enum class TColouring { EveryStep, Once };

// The bare loop over the coefficient set the engine accepted for the same seed.
class TBareLoop {
public:
    TBareLoop(const TFractalParams& accepted, std::int64_t tickEvery)
        : P(accepted), TickEvery(tickEvery),
          Hits(std::make_unique<std::int32_t[]>(std::size_t{3} * 1024 * 768)),
          NarrowHits(std::make_unique<std::uint16_t[]>(std::size_t{3} * 1024 * 768)),
          Groups(std::make_unique<std::uint8_t[]>(std::size_t{1024} * 768)) {
        Image.SetSize(P.ImageWidth, P.ImageHeight, bc24Bit);
    }

    // steps plotting steps; returns the number of points that landed in the picture.
    std::int64_t Run(std::int64_t steps, TColouring colouring) {
        return colouring == TColouring::EveryStep ? Run<TColouring::EveryStep>(steps)
                                                  : Run<TColouring::Once>(steps);
    }

    // steps of the orbit alone: generator, group choice, maps and variations, no plotting.
    void RunOrbitOnly(std::int64_t steps) {
        std::uint32_t seed = 1234;
        double x = 0.01, y = 0.01, z = 0.01, nextZ = 0.0;
        for (std::int64_t step = 0; step < steps; ++step) {
            seed = seed * 134775813u + 1u;
            const int k = Rnd(60.0 * (seed * (1.0 / 4294967296.0)));
            Maps(P.RotationLimitAndCoef, k <= 18 ? 0 : k <= 38 ? 19 : 39, 0, x, y, z, nextZ);
        }
        Sink = x + y + z;
    }

private:
    template <TColouring colouring> std::int64_t Run(std::int64_t steps) {
        const double* c = P.RotationLimitAndCoef;
        const int width = P.ImageWidth, height = P.ImageHeight;
        const int intensity = Rnd(P.Intensity);
        const double factors[3][3] = {{P.RedFactor, P.GreenFactor, P.BlueFactor},
                                      {P.BlueFactor, P.RedFactor, P.GreenFactor},
                                      {P.GreenFactor, P.BlueFactor, P.RedFactor}};
        std::uint32_t seed = 1234;
        double x = 0.01, y = 0.01, z = 0.01, nextZ = 0.0;
        std::int32_t tick = 0;
        std::int64_t untilTick = TickEvery, plotted = 0;
        for (std::int64_t step = 0; step < steps; ++step) {
            if (--untilTick == 0) {
                untilTick = TickEvery;
                ++tick;
            }
            seed = seed * 134775813u + 1u;
            const int k = Rnd(60.0 * (seed * (1.0 / 4294967296.0)));
            const int group = k <= 18 ? 0 : k <= 38 ? 1 : 2;
            const int b = group == 0 ? 0 : group == 1 ? 19 : 39;
            Maps(c, b, tick, x, y, z, nextZ);
            if (std::abs(x) + std::abs(y) + std::abs(z) > 1000000.0)
                break;
            const double pixelX =
                x > P.ViewXMin ? (x - P.ViewXMin) / (P.ViewXMax - P.ViewXMin) * width : width;
            const double pixelY =
                y > P.ViewYMin ? (y - P.ViewYMin) / (P.ViewYMax - P.ViewYMin) * height : height;
            if (!(pixelX > -1.0 && pixelX < width + 1.0 && pixelY > -1.0 && pixelY < height + 1.0))
                continue;
            const int column = Rnd(pixelX), row = Rnd(pixelY);
            if (column < 0 || column >= width || row < 0 || row >= height)
                continue;
            const std::size_t pixel = static_cast<std::size_t>(column) * 768 + row;
            if constexpr (colouring == TColouring::EveryStep) {
                std::int32_t* hits = &Hits[pixel * 3];
                if (hits[group] < 65000)
                    hits[group] += intensity;
                Image.SetPixel(column, row, Colour(factors[group], hits[0] + hits[1] + hits[2]));
            } else {
                std::uint16_t* hits = &NarrowHits[pixel * 3];
                if (hits[group] < 65000)
                    hits[group] = static_cast<std::uint16_t>(hits[group] + intensity);
                Groups[pixel] = static_cast<std::uint8_t>(group + 1);
            }
            ++plotted;
        }
        if constexpr (colouring == TColouring::Once)
            for (int column = 0; column < width; ++column)
                for (int row = 0; row < height; ++row) {
                    const std::size_t pixel = static_cast<std::size_t>(column) * 768 + row;
                    if (Groups[pixel] == 0)
                        continue;
                    const std::uint16_t* hits = &NarrowHits[pixel * 3];
                    Image.SetPixel(column, row,
                                   Colour(factors[Groups[pixel] - 1], hits[0] + hits[1] + hits[2]));
                }
        return plotted;
    }

    static std::uint32_t Colour(const double* f, std::int32_t total) {
        const double brightness = std::sqrt(2.5 * total);
        const int red = Fold(Rnd(brightness * f[0]));
        const int green = Fold(Rnd(brightness * f[1]));
        const int blue = Fold(Rnd(brightness * f[2]));
        return static_cast<std::uint32_t>(red + 256 * green + 65536 * blue);
    }

    static int Fold(int c) { return (c & 255) ^ (-((c >> 8) & 1) & 255); }

    void Maps(const double* c, int b, std::int32_t tick, double& x, double& y, double& z,
              double& nextZ) {
        const double step = P.RotationStep, limit = P.RotationLimit();
        if (P.UseIFS01) {
            ApplyIFS01(c, b, x, y, z, nextZ);
            if (P.RotateIFS01)
                Rotations[0].Apply(x, y, tick, step, limit);
        }
        if (P.UseIFS02) {
            ApplyIFS02(c, b, x, y);
            if (P.RotateIFS02)
                Rotations[1].Apply(x, y, tick, step, limit);
        }
        if (P.UseAT01) {
            ApplyAT01(c, b, x, y, z);
            if (P.RotateAT01)
                Rotations[2].Apply(x, y, tick, step, limit);
        }
        if (P.UseAT02) {
            ApplyAT02(c, b, x, y, z);
            if (P.RotateAT02)
                Rotations[3].Apply(x, y, tick, step, limit);
        }
        const double w = P.VariationWeight;
        if (P.UseRotational)
            ApplyRotational(x, y);
        if (P.UseSinusoidal)
            ApplySinusoidal(x, y, w);
        if (P.UseSpherical)
            ApplySpherical(x, y, w);
        if (P.UseSwirl)
            ApplySwirl(x, y, w);
        if (P.UseHorseshoe)
            ApplyHorseshoe(x, y, w);
        if (P.UsePolar)
            ApplyPolar(x, y, w);
        if (P.UseBent)
            ApplyBent(x, y, w);
    }

    const TFractalParams P;
    const std::int64_t TickEvery;
    std::unique_ptr<std::int32_t[]> Hits;
    std::unique_ptr<std::uint16_t[]> NarrowHits;
    std::unique_ptr<std::uint8_t[]> Groups; // 0 for none, else the latest group + 1
    TPixelGraphic Image;
    double Sink = 0.0;
    TRotation Rotations[4] = {TRotation(6.28318530718, false), TRotation(3.14159265359, false),
                              TRotation(3.14159265359, true), TRotation(3.14159265359, false)};
};

TBareLoop BareLoopFor(const TConfig& config) {
    TRenderJob warmUp(Options(config, 1));
    warmUp.Run(nullptr);
    return TBareLoop(warmUp.Params(), Options(config, 1).TickEvery);
}

TCost BareCost(const TConfig& config, std::int64_t steps, TColouring colouring,
               std::int64_t* plotted) {
    TBareLoop loop = BareLoopFor(config);
    return Measure([&] { *plotted = loop.Run(steps, colouring); });
}

TCost FloorCost(const TConfig& config, std::int64_t steps) {
    TBareLoop loop = BareLoopFor(config);
    return Measure([&] { loop.RunOrbitOnly(steps); });
}

} // namespace

int main(int argc, char** argv) {
    const std::int64_t steps = argc > 1 ? std::stoll(argv[1]) : 20000000;
    const int rounds = argc > 2 ? std::stoi(argv[2]) : 3;
    std::printf("%lld plotting steps, %d interleaved rounds, CPU time; cycles are the "
                "time-stamp counter's per step\n",
                static_cast<long long>(steps), rounds);
    for (const TConfig& config : Configs) {
        TCost engine, everyStep, once, floor;
        std::int64_t plotted = 0;
        for (int round = 0; round < rounds; ++round) {
            engine += EngineCost(config, steps);
            everyStep += BareCost(config, steps, TColouring::EveryStep, &plotted);
            once += BareCost(config, steps, TColouring::Once, &plotted);
            floor += FloorCost(config, steps);
        }
        const double total = static_cast<double>(rounds) * steps;
        const auto rate = [&](const TCost& cost) { return total / cost.Seconds / 1e6; };
        const auto cycles = [&](const TCost& cost) { return cost.Cycles / total; };
        std::printf("%s (%.0f%% of the points inside the picture)\n", config.Name,
                    100.0 * plotted / steps);
        std::printf("  engine                      %6.2f M steps/s %6.1f cycles/step\n",
                    rate(engine), cycles(engine));
        std::printf("  bare loop, colour each step %6.2f M steps/s %6.1f cycles/step   "
                    "ratio %.3f (goal >= 1.15)\n",
                    rate(everyStep), cycles(everyStep), rate(engine) / rate(everyStep));
        std::printf("  bare loop, colour once      %6.2f M steps/s %6.1f cycles/step   "
                    "ratio %.3f (goal >= 0.95)\n",
                    rate(once), cycles(once), rate(engine) / rate(once));
        std::printf("  floor: the orbit alone      %6.2f M steps/s %6.1f cycles/step   "
                    "engine at %.2f x the floor\n",
                    rate(floor), cycles(floor), cycles(engine) / cycles(floor));
    }
    return 0;
}
