#include "app/render/RenderOptions.h"
#include "engine/EngineTestSupport.h"
#include "render/RenderJob.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr std::uint32_t AcceptedSeed = 12345;

struct TCountedRun {
    int HookCalls = 0;
    std::int32_t StepCount = 0;
    TBool32 AbortRequested = BoolFalse;
    std::string Picture;
};

TCountedRun RunWithHookEvery(int passesPerCall, std::int32_t stepLimit) {
    TFractalEngine engine;
    TSteppingClock clock(AcceptedSeed);
    engine.SetClock(clock.Hook());
    TDocumentBlock block;
    TCountedRun run;
    engine.SetPassHook([&] { ++run.HookCalls; }, passesPerCall);
    engine.SetStepLimit(stepLimit);
    engine.RunFractal(&block.Params);
    run.StepCount = block.Params.StepCount;
    run.AbortRequested = block.Params.AbortRequested;
    run.Picture = block.Bytes();
    return run;
}

// The renderer's run as a hook after every single pass does it: a tick every tickEvery passes,
// the end once the requested steps are plotted.
std::string PerPassReference(const std::vector<std::string>& maps, int tickEvery,
                             std::int32_t steps) {
    TFractalEngine engine;
    TSteppingClock clock(AcceptedSeed);
    engine.SetClock(clock.Hook());
    TDocumentBlock block;
    TFractalParams& p = block.Params;
    p.UseIFS01 = BoolFalse;
    for (const std::string& map : maps) {
        if (map == "ifs01")
            p.UseIFS01 = p.RotateIFS01 = BoolTrue;
        if (map == "at01")
            p.UseAT01 = p.RotateAT01 = BoolTrue;
    }
    int untilTick = tickEvery;
    engine.SetPassHook([&] {
        if (--untilTick == 0) {
            untilTick = tickEvery;
            ++p.Tick;
        }
        if (p.StepCount >= TFractalEngine::WarmUpSteps + steps)
            p.AbortRequested = BoolTrue;
    });
    engine.RunFractal(&p);
    return block.Bytes();
}

} // namespace

TEST(RunFractal, CallsItsHookEveryNthPassAndEndsExactlyAtTheStepLimit) {
    const std::int32_t limit = TFractalEngine::WarmUpSteps + 20000;
    const TCountedRun everyPass = RunWithHookEvery(1, limit);
    EXPECT_EQ(everyPass.StepCount, limit);
    EXPECT_EQ(everyPass.AbortRequested, BoolTrue);
    // The pass that reaches the limit ends the run before its hook call.
    const int passes = everyPass.HookCalls + 1;
    ASSERT_GT(passes, limit / 2);

    for (int interval : {7, 256, 1000000}) {
        SCOPED_TRACE(interval);
        const TCountedRun batched = RunWithHookEvery(interval, limit);
        EXPECT_EQ(batched.HookCalls, (passes - 1) / interval);
        EXPECT_EQ(batched.StepCount, limit);
        EXPECT_EQ(batched.AbortRequested, BoolTrue);
        EXPECT_TRUE(batched.Picture == everyPass.Picture);
    }

    // Intervals below 1 mean every pass.
    EXPECT_EQ(RunWithHookEvery(0, limit).HookCalls, everyPass.HookCalls);
}

TEST(Renderer, TicksFallOnTheSamePassesWhateverItsHookInterval) {
    // Rotations turn on every tick, so a tick one pass early or late changes the picture. The
    // intervals: 1000 divides 250000 and 5000, a prime leaves only 1, 4096 and 3 are powers.
    for (int tickEvery : {250000, 5000, 997, 4096, 3}) {
        for (const std::vector<std::string>& maps :
             std::vector<std::vector<std::string>>{{"ifs01"}, {"at01"}}) {
            SCOPED_TRACE(std::to_string(tickEvery) + " " + maps[0]);
            TRenderJob renderer(ParseRenderOptions(
                {"--seed", std::to_string(AcceptedSeed), "--steps", "300000", "--maps", maps[0],
                 "--rotate", maps[0], "--tick-every", std::to_string(tickEvery), "--quiet"}));
            renderer.Run(nullptr);
            std::ostringstream rendered;
            renderer.Image().SaveImageStream(rendered);
            EXPECT_TRUE(rendered.str() == PerPassReference(maps, tickEvery, 300000));
        }
    }
}

TEST(RunFractal, WithoutAStepLimitRunsOnWhenTheStepCounterSaturates) {
    TFractalEngine engine;
    TSteppingClock clock(AcceptedSeed);
    engine.SetClock(clock.Hook());
    TDocumentBlock block;
    TFractalParams& p = block.Params;
    // Once the set plots, the counter jumps to just below its largest value; a window's run
    // gets there after about 100 seconds.
    constexpr std::int32_t Top = std::numeric_limits<std::int32_t>::max();
    constexpr int PassesAtTheTop = 100000;
    int passesAtTheTop = 0;
    engine.SetPassHook([&] {
        if (p.StepCount >= TFractalEngine::FirstPlotStep && p.StepCount < Top - 10)
            p.StepCount = Top - 10;
        if (p.StepCount == Top && ++passesAtTheTop == PassesAtTheTop)
            p.AbortRequested = BoolTrue;
    });
    engine.RunFractal(&p);
    // Only the hook's own abort ended the run, long after the counter stopped at the top.
    EXPECT_EQ(passesAtTheTop, PassesAtTheTop);
    EXPECT_EQ(p.StepCount, Top);
    EXPECT_EQ(clock.Readings, 1);
    // The 64-bit count goes on past the top, and a limit beyond it ends the run exactly there.
    EXPECT_EQ(engine.StepCount64(), std::int64_t{Top} + PassesAtTheTop - 1);
    const std::int64_t limit = std::int64_t{Top} + 2 * PassesAtTheTop;
    engine.SetStepLimit(limit);
    engine.SetPassHook([&] {
        if (p.StepCount >= TFractalEngine::FirstPlotStep && p.StepCount < Top - 10)
            p.StepCount = Top - 10;
    });
    p.NewCoefficients = BoolFalse;
    p.AbortRequested = BoolFalse;
    engine.RunFractal(&p);
    EXPECT_EQ(engine.StepCount64(), limit);
}
