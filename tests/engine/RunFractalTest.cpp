#include "engine/EngineTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>

namespace {

constexpr std::uint32_t AcceptedSeed = 12345;
// A run that has not got there after this many passes has gone wrong; end it.
constexpr int PassLimit = 5000000;

// Runs with the defaults until `plotted` points of an accepted set have been plotted.
void RunUntilPlotted(TFractalEngine& engine, TDocumentBlock& block, std::int32_t plotted) {
    int passes = 0;
    engine.SetPassHook([&] {
        if (block.Params.StepCount >= TFractalEngine::WarmUpSteps + plotted || ++passes > PassLimit)
            block.Params.AbortRequested = BoolTrue;
    });
    engine.RunFractal(&block.Params);
    ASSERT_LE(passes, PassLimit);
}

void SetAllCoefficients(TFractalParams& params, double value) {
    for (int k = 1; k <= 120; ++k)
        params.Coef(k) = value;
}

} // namespace

TEST(DrawCoefficients, ReseedsFromTheClockAndDrawsInPairs) {
    TFractalEngine engine;
    TSteppingClock clock(AcceptedSeed);
    engine.SetClock(clock.Hook());
    TDocumentBlock block;
    block.Params.Tick = 17;
    block.Params.Lyapunov = 3.0;
    engine.StartRun(&block.Params);

    EXPECT_EQ(clock.Readings, 1);
    EXPECT_EQ(block.Params.NewCoefficients, BoolFalse);
    EXPECT_EQ(block.Params.Lyapunov, 1.0);
    EXPECT_EQ(block.Params.Tick, 0);
    EXPECT_EQ(block.Params.RotationLimit(), 2.0);
    TLcgRandom expected(AcceptedSeed);
    for (int i = 1; i <= 60; ++i) {
        EXPECT_EQ(block.Params.Coef(i), 2.0 * (expected.Next() - 0.5)) << i;
        EXPECT_EQ(block.Params.Coef(60 + i), 2.0 * (expected.Next() - 0.5)) << i;
    }
    EXPECT_EQ(block.Params.Coef(1), 2.0 * (0.3853505323641002 - 0.5));

    // A block without the request keeps its coefficients and the clock is not read.
    TDocumentBlock kept;
    kept.Params.NewCoefficients = BoolFalse;
    SetAllCoefficients(kept.Params, 0.125);
    kept.Params.Tick = 5;
    engine.StartRun(&kept.Params);
    EXPECT_EQ(clock.Readings, 1);
    EXPECT_EQ(kept.Params.Coef(120), 0.125);
    EXPECT_EQ(engine.Rotation(TMapFamily::AT02).LastTick(), 5);
    EXPECT_EQ(engine.Rotation(TMapFamily::AT02).Angle(), 0.0);
    EXPECT_EQ(engine.X(), 0.01);
}

TEST(RunFractal, SettlesOnAChaoticSetInsideTheImage) {
    TFractalEngine engine;
    TSteppingClock clock(AcceptedSeed);
    engine.SetClock(clock.Hook());
    TDocumentBlock block;
    bool plotting = false;
    bool stepsWentBack = false;
    std::int32_t last = 0;
    int passes = 0;
    engine.SetPassHook([&] {
        const std::int32_t steps = block.Params.StepCount;
        if (plotting && steps < last)
            stepsWentBack = true;
        plotting = plotting || steps >= TFractalEngine::FirstPlotStep;
        last = steps;
        if (steps >= TFractalEngine::FirstPlotStep + 200000 || ++passes > PassLimit)
            block.Params.AbortRequested = BoolTrue;
    });
    engine.RunFractal(&block.Params);

    EXPECT_GE(block.Params.Lyapunov, 0.5);
    EXPECT_LE(block.Params.Lyapunov, 5.0);
    EXPECT_FALSE(stepsWentBack);
    std::int64_t inside = 0;
    for (int group = 1; group <= 3; ++group)
        for (int column = 0; column < TFractalEngine::HitColumns; ++column)
            for (int row = 0; row < TFractalEngine::HitRows; ++row) {
                const std::int32_t hits = engine.Hits(group, column, row);
                if (column >= 400 || row >= 300) {
                    ASSERT_EQ(hits, 0) << column << "," << row;
                }
                inside += hits;
            }
    EXPECT_GT(inside, 40 * 100000);
}

TEST(RunFractal, SameSeedGivesTheSameBytes) {
    std::string pictures[2];
    double coefficient[2];
    for (int i = 0; i < 2; ++i) {
        TFractalEngine engine;
        TSteppingClock clock(777);
        engine.SetClock(clock.Hook());
        TDocumentBlock block;
        block.Params.UseLatoocarfian01 = BoolTrue;
        block.Params.UseIFS01 = BoolFalse;
        block.Params.UseIFS02 = BoolTrue;
        block.Params.RotateIFS02 = BoolTrue;
        block.Params.UseSwirl = BoolTrue;
        int passes = 0;
        engine.SetPassHook([&] {
            if (++passes % 1000 == 0)
                ++block.Params.Tick;
            if (block.Params.StepCount >= 50000 || passes > PassLimit)
                block.Params.AbortRequested = BoolTrue;
        });
        engine.RunFractal(&block.Params);
        pictures[i] = block.Bytes();
        coefficient[i] = block.Params.Coef(77);
    }
    EXPECT_EQ(pictures[0], pictures[1]);
    EXPECT_EQ(coefficient[0], coefficient[1]);
    EXPECT_NE(pictures[0], TDocumentBlock().Bytes());
}

TEST(RunFractal, EndsAfterThePassThatRequestedTheAbort) {
    TFractalEngine engine;
    TSteppingClock clock(AcceptedSeed);
    engine.SetClock(clock.Hook());
    TDocumentBlock block;
    RunUntilPlotted(engine, block, 1000);
    const std::string picture = block.Bytes();

    int calls = 0;
    std::int32_t stepsAtAbort = 0;
    std::string pictureAtAbort;
    block.Params.NewCoefficients = BoolFalse;
    engine.SetPassHook([&] {
        if (++calls == 5000) {
            block.Params.AbortRequested = BoolTrue;
            stepsAtAbort = block.Params.StepCount;
            engine.ColourPendingPixels();
            pictureAtAbort = block.Bytes();
        }
    });
    block.Params.AbortRequested = BoolFalse;
    engine.RunFractal(&block.Params);
    EXPECT_EQ(calls, 5000);
    EXPECT_EQ(block.Params.StepCount, stepsAtAbort);
    EXPECT_EQ(block.Bytes(), pictureAtAbort);
    EXPECT_NE(picture, TDocumentBlock().Bytes());
}

TEST(RunFractal, HandlerChangesTakeEffectAtTheNextPass) {
    TFractalEngine engine;
    TSteppingClock clock(AcceptedSeed);
    engine.SetClock(clock.Hook());
    TDocumentBlock block;
    int calls = 0;
    std::int64_t hitsWhenSilenced = -1;
    std::int64_t hitsAfterNextPass = -2;
    int silencedAt = 0;
    engine.SetPassHook([&] {
        ++calls;
        if (calls > PassLimit) {
            block.Params.AbortRequested = BoolTrue;
        } else if (silencedAt == 0 && block.Params.StepCount >= 20000) {
            block.Params.Intensity = 0.0;
            hitsWhenSilenced = TotalHits(engine);
            silencedAt = calls;
        } else if (silencedAt != 0 && calls == silencedAt + 1) {
            hitsAfterNextPass = TotalHits(engine);
            block.Params.AbortRequested = BoolTrue;
        }
    });
    engine.RunFractal(&block.Params);
    EXPECT_GT(hitsWhenSilenced, 0);
    EXPECT_EQ(hitsAfterNextPass, hitsWhenSilenced);
}

TEST(RunFractal, AnInnerRunTakesOverAndOneAbortEndsBoth) {
    TFractalEngine engine;
    TSteppingClock clock(AcceptedSeed);
    engine.SetClock(clock.Hook());
    TDocumentBlock outer;
    TDocumentBlock inner(200, 200);
    int outerPassesAfterInner = 0;
    bool innerStarted = false;
    int innerPasses = 0;
    bool innerReturned = false;
    std::int32_t outerSteps = -1;
    engine.SetPassHook([&] {
        if (innerReturned) {
            ++outerPassesAfterInner;
            return;
        }
        if (!innerStarted && outer.Params.StepCount >= 100) {
            innerStarted = true;
            outerSteps = outer.Params.StepCount;
            engine.RunFractal(&inner.Params);
            innerReturned = true;
            return;
        }
        if (innerStarted && (inner.Params.StepCount >= 30000 || ++innerPasses > PassLimit))
            inner.Params.AbortRequested = BoolTrue;
    });
    engine.RunFractal(&outer.Params);

    EXPECT_TRUE(innerReturned);
    EXPECT_EQ(outerPassesAfterInner, 0);
    EXPECT_EQ(engine.Params(), &inner.Params);
    EXPECT_EQ(outer.Params.AbortRequested, BoolFalse);
    EXPECT_EQ(outer.Params.StepCount, outerSteps);
    EXPECT_NE(inner.Bytes(), TDocumentBlock(200, 200).Bytes());
}

TEST(RunFractal, WarmUpRejectsEscapingAndTooChaoticSets) {
    TFractalEngine engine;
    TSteppingClock clock(1);
    engine.SetClock(clock.Hook());

    // An orbit that escapes at once: a new set after the first pass.
    TDocumentBlock escaping;
    escaping.Params.NewCoefficients = BoolFalse;
    escaping.Params.UseIFS01 = BoolFalse;
    escaping.Params.UseIFS02 = BoolTrue;
    SetAllCoefficients(escaping.Params, 0.0);
    for (int b : {0, 19, 39})
        escaping.Params.Coef(60 + b + 5) = 2e6;
    engine.StartRun(&escaping.Params);
    engine.Pass();
    EXPECT_EQ(clock.Readings, 1);
    EXPECT_EQ(escaping.Params.StepCount, 0);
    EXPECT_NE(escaping.Params.Coef(65), 2e6);

    // A bounded but wildly chaotic sine map: its estimate passes 20 and the set is replaced
    // once more than 10 steps have been made.
    TDocumentBlock chaotic;
    chaotic.Params.NewCoefficients = BoolFalse;
    chaotic.Params.UseIFS01 = BoolFalse;
    chaotic.Params.UseLatoocarfian01 = BoolTrue;
    SetAllCoefficients(chaotic.Params, 0.5);
    for (int b : {0, 19, 39})
        chaotic.Params.Coef(b + 1) = chaotic.Params.Coef(b + 2) = 1e9;
    engine.StartRun(&chaotic.Params);
    for (int pass = 1; pass <= 10; ++pass)
        engine.Pass();
    EXPECT_EQ(chaotic.Params.StepCount, 10);
    EXPECT_GT(chaotic.Params.Lyapunov, 20.0);
    EXPECT_EQ(clock.Readings, 1);
    engine.Pass();
    EXPECT_EQ(clock.Readings, 2);
    EXPECT_EQ(chaotic.Params.StepCount, 0);
}

TEST(RunFractal, TheGateRejectsACollapsedOrbit) {
    TFractalEngine engine;
    TSteppingClock clock(1);
    engine.SetClock(clock.Hook());
    TDocumentBlock block;
    block.Params.NewCoefficients = BoolFalse;
    SetAllCoefficients(block.Params, 0.0);
    for (int b : {0, 19, 39}) {
        block.Params.Coef(b + 10) = 0.5;
        block.Params.Coef(b + 11) = 0.25;
    }
    engine.StartRun(&block.Params);
    for (int pass = 1; pass < TFractalEngine::WarmUpSteps; ++pass)
        engine.Pass();
    // Every orbit lands on (0.5, 0.25): no divergence, estimate 0, yet no warm-up rejection.
    EXPECT_EQ(block.Params.StepCount, 3998);
    EXPECT_EQ(block.Params.Lyapunov, 0.0);
    EXPECT_EQ(clock.Readings, 0);
    EXPECT_EQ(TotalHits(engine), 0);

    // The last warm-up pass reaches the gate, which throws the set away and clears the run.
    engine.Pass();
    EXPECT_EQ(clock.Readings, 1);
    EXPECT_EQ(block.Params.StepCount, 0);
    EXPECT_EQ(TotalHits(engine), 0);
    EXPECT_EQ(block.Bytes(), TDocumentBlock().Bytes());
}

TEST(RunFractal, TheGateOpensOnAnAcceptedSet) {
    TFractalEngine engine;
    TSteppingClock clock(AcceptedSeed);
    engine.SetClock(clock.Hook());
    TDocumentBlock block;
    RunUntilPlotted(engine, block, 1);
    const int readings = clock.Readings;

    // The same set again, its points plotted: the last warm-up pass clears the run through the
    // shadow's first plotted point and makes one plotting step.
    block.Params.NewCoefficients = BoolFalse;
    engine.StartRun(&block.Params);
    for (int pass = 0; pass < PassLimit && block.Params.StepCount < 3998; ++pass)
        engine.Pass();
    engine.Pass();
    EXPECT_EQ(clock.Readings, readings);
    EXPECT_EQ(block.Params.StepCount, 4001);
    EXPECT_GT(TotalHits(engine), 0);

    // With the view moved away nothing reaches the image: the gate pass makes its plotting step
    // without clearing.
    block.Params.ViewXMin = 1000.0;
    block.Params.ViewXMax = 1001.0;
    engine.StartRun(&block.Params);
    block.Image.SetPixel(3, 3, 0x010203u);
    for (int pass = 0; pass < PassLimit && block.Params.StepCount < 3998; ++pass)
        engine.Pass();
    engine.Pass();
    EXPECT_EQ(clock.Readings, readings);
    EXPECT_EQ(block.Params.StepCount, 4000);
    EXPECT_EQ(block.Image.GetPixel(3, 3), 0x010203u);
    EXPECT_EQ(TotalHits(engine), 0);
}

TEST(RunFractal, StepCountStopsAtItsLargestValueAndPlottingGoesOn) {
    TFractalEngine engine;
    TSteppingClock clock(AcceptedSeed);
    engine.SetClock(clock.Hook());
    TDocumentBlock block;
    RunUntilPlotted(engine, block, 1000);
    const int readings = clock.Readings;

    constexpr std::int32_t largest = std::numeric_limits<std::int32_t>::max();
    block.Params.StepCount = largest - 2;
    const std::int64_t before = TotalHits(engine);
    for (int pass = 0; pass < 1000; ++pass)
        engine.Pass();
    EXPECT_EQ(block.Params.StepCount, largest);
    EXPECT_EQ(clock.Readings, readings);
    EXPECT_GT(TotalHits(engine), before);
}

TEST(RunFractal, TheEstimateFollowsAShadowOneMillionthAway) {
    TFractalEngine engine;
    TSteppingClock clock(1);
    engine.SetClock(clock.Hook());
    TDocumentBlock block;
    block.Params.NewCoefficients = BoolFalse;
    block.Params.UseIFS01 = BoolFalse;
    block.Params.UseIFS02 = BoolTrue;
    SetAllCoefficients(block.Params, 0.0);
    for (int b : {0, 19, 39}) // IFS 02 as the identity map
        block.Params.Coef(60 + b + 1) = block.Params.Coef(60 + b + 4) = 1.0;
    engine.StartRun(&block.Params);

    // The shadow starts at X + 1e-6, X + 2e-6, X + 3e-6: S = 1e12 (1e-12 + 1 + 4 + 9 e-12) = 15.
    engine.Pass();
    EXPECT_DOUBLE_EQ(engine.ShadowX(), 0.01 + 1e-6 / std::sqrt(15.0));
    EXPECT_NEAR(block.Params.Lyapunov, std::log(15.0), 1e-6);
    EXPECT_EQ(engine.X(), 0.01);
    // Renormalised to 14/15 of 1e-12 squared, plus the 1e-12 term: S = 29/15.
    engine.Pass();
    EXPECT_NEAR(block.Params.Lyapunov, std::log(29.0) / 2.0, 1e-6);
    EXPECT_EQ(clock.Readings, 0);
}
