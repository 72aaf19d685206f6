#include "render/AnimationPlan.h"
#include "engine/Rotation.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

// A block whose IFS 01 rotation turns, with the given step and limit.
TRenderSettings TurningSet(double step, double limit) {
    TRenderSettings settings;
    settings.Params.RotateIFS01 = BoolTrue;
    settings.Params.RotationStep = step;
    settings.Params.RotationLimit() = limit;
    return settings;
}

struct TTurning {
    double Step;
    double Limit;
};
constexpr TTurning Turnings[] = {{0.1, 2.0}, {0.07, 1.0}, {0.3, 0.25}, {0.013, 3.3}};

} // namespace

TEST(AnimationPlan, HeldAnglesAreThoseTheTicksTurnTheRotationTo) {
    for (const TTurning& turning : Turnings) {
        // The window's rotation, ticked on: the angle in force in a tick is the one a second
        // point of the same tick sees, after any restart at the limit.
        TRotation ticked(EnginePi, false);
        ticked.Restart(0);
        const std::int64_t period = TRotation::Period(turning.Step, turning.Limit);
        ASSERT_GT(period, 0) << turning.Step;
        for (std::int32_t tick = 0; tick <= 3 * period + 2; ++tick) {
            double x = 1.0, y = 0.0;
            ticked.Apply(x, y, tick, turning.Step, turning.Limit);
            ticked.Apply(x, y, tick, turning.Step, turning.Limit);
            EXPECT_EQ(TRotation::AngleAtTick(tick, turning.Step, turning.Limit), ticked.Angle())
                << "step " << turning.Step << " tick " << tick;
        }
        // A held rotation turns by the held angle whatever the ticks say.
        TRotation held(EnginePi, false);
        const double angle = TRotation::AngleAtTick(period / 2, turning.Step, turning.Limit);
        held.Hold(angle);
        for (std::int32_t tick : {0, 1, 7, 1000}) {
            double x = 1.0, y = 0.0;
            held.Apply(x, y, tick, turning.Step, turning.Limit);
            EXPECT_DOUBLE_EQ(x, std::cos(EnginePi * angle));
            EXPECT_DOUBLE_EQ(y, std::sin(EnginePi * angle));
        }
    }
}

TEST(AnimationPlan, ALoopsLastFrameLeadsBackIntoItsFirst) {
    for (const TTurning& turning : Turnings)
        for (const int frames : {1, 7, 12, 30}) {
            const TRenderSettings set = TurningSet(turning.Step, turning.Limit);
            const TAnimationPlan plan(set, frames, std::nullopt, std::nullopt, true);
            const std::int64_t period = TAnimationPlan::RotationPeriod(set.Params);
            // Frame N, one past the last, is frame 0 again.
            EXPECT_EQ(plan.TickOfFrame(frames), period);
            EXPECT_EQ(
                TRotation::AngleAtTick(*plan.TickOfFrame(frames), turning.Step, turning.Limit),
                TRotation::AngleAtTick(*plan.TickOfFrame(0), turning.Step, turning.Limit));
            // The frames spread over the period, each a step of about period / N ticks.
            for (int frame = 1; frame < frames; ++frame) {
                const double even = static_cast<double>(frame) * period / frames;
                EXPECT_LE(std::abs(static_cast<double>(*plan.TickOfFrame(frame)) - even), 0.5);
                EXPECT_GE(*plan.TickOfFrame(frame), *plan.TickOfFrame(frame - 1));
            }
        }
}

TEST(AnimationPlan, FramesHoldTheTickOfTheirNumberTimesTheStep) {
    const TRenderSettings set = TurningSet(0.1, 2.0);
    const TAnimationPlan plan(set, 10, std::nullopt, 3, false);
    for (int frame = 0; frame < 10; ++frame) {
        EXPECT_EQ(plan.FrameSettings(frame).HeldRotationTick, 3 * frame);
        EXPECT_TRUE(plan.FrameSettings(frame).JudgedBefore);
    }
}

TEST(AnimationPlan, AMorphEndsExactlyAtBothSetsAndALoopComesBack) {
    TRenderSettings from, to;
    for (int k = 1; k <= 120; ++k) {
        from.Params.Coef(k) = std::sin(k * 0.37);
        to.Params.Coef(k) = std::cos(k * 0.91);
    }
    from.Magnification = 0.5;
    to.Magnification = 8.0;
    to.CenterX = 0.3;
    to.Params.RedFactor = 0.1;
    for (const bool loop : {false, true}) {
        const int frames = 9;
        const TAnimationPlan plan(from, frames, to, std::nullopt, loop);
        const int last = loop ? frames / 2 : frames - 1;
        const auto same = [](const TRenderSettings& a, const TRenderSettings& b) {
            for (int k = 0; k <= 120; ++k)
                if (a.Params.RotationLimitAndCoef[k] != b.Params.RotationLimitAndCoef[k])
                    return false;
            return a.Params.RedFactor == b.Params.RedFactor && a.CenterX == b.CenterX &&
                   a.Magnification == b.Magnification;
        };
        EXPECT_TRUE(same(plan.FrameSettings(0), from)) << loop;
        EXPECT_EQ(plan.MorphWeight(0), 0.0);
        if (!loop)
            EXPECT_TRUE(same(plan.FrameSettings(last), to));
        else
            EXPECT_EQ(plan.MorphWeight(frames), 0.0);
        // On the way: between the two, and the zoom by the same factor either side of the middle.
        for (int frame = 1; frame <= last; ++frame) {
            EXPECT_GT(plan.MorphWeight(frame), plan.MorphWeight(frame - 1));
            const double magnification = plan.FrameSettings(frame).Magnification;
            EXPECT_NEAR(std::log2(magnification / from.Magnification) / 4.0,
                        plan.MorphWeight(frame), 1e-12);
        }
    }
}
