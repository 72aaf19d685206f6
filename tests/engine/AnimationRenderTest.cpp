#include "render/AnimationRender.h"
#include "image/PixelGraphic.h"
#include "render/RenderJob.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace {

// A small, quick render of a seeded set with a turning rotation, on 16 orbits.
TRenderSettings SmallRender(std::uint32_t seed) {
    TRenderSettings settings;
    settings.Width = 64;
    settings.Height = 48;
    settings.Steps = 64 * 48 * 4;
    settings.Orbits = TRenderSettings::DefaultOrbits;
    settings.Seed = seed;
    settings.Params.RotateIFS01 = BoolTrue;
    return settings;
}

// The set a plain render of `settings` draws, kept as a parameter file keeps it.
TRenderSettings KeptSet(const TRenderSettings& settings) {
    TRenderJob drawn(settings);
    drawn.Run();
    TRenderSettings kept = RenderSettingsOf(drawn.UsedParameters());
    kept.Width = settings.Width;
    kept.Height = settings.Height;
    kept.Steps = settings.Steps;
    kept.Orbits = settings.Orbits;
    return kept;
}

std::string PixelBytes(const TPixelGraphic& picture) {
    std::string bytes;
    for (int row = 0; row < picture.Height(); ++row)
        bytes.append(reinterpret_cast<const char*>(picture.ScanLine(row)),
                     static_cast<std::size_t>(picture.Width()) * 3);
    return bytes;
}

// The frames' pixels; a frame whose set failed is marked so.
std::map<int, std::string> RenderFrames(const TAnimationPlan& plan) {
    std::map<int, std::string> frames;
    std::vector<int> all;
    for (int frame = 0; frame < plan.Frames(); ++frame)
        all.push_back(frame);
    TAnimationRender render(plan);
    render.Run(all,
               [&](int frame, TPixelGraphic& picture) { frames[frame] = PixelBytes(picture); });
    for (const TFailedFrame& failed : render.FailedFrames())
        frames[failed.Frame] = "failed";
    return frames;
}

} // namespace

TEST(AnimationRender, FramesAreTheSameOnAnyNumberOfThreads) {
    const TRenderSettings set = KeptSet(SmallRender(4321));
    struct TCase {
        const char* Name;
        std::optional<TRenderSettings> End;
        bool Loop;
    };
    const TCase cases[] = {{"turning loop", std::nullopt, true},
                           {"morph", KeptSet(SmallRender(777)), false}};
    for (const TCase& animation : cases) {
        std::map<int, std::string> byThreads[2];
        for (const int threads : {1, 2}) {
            TRenderSettings start = set;
            start.Threads = threads;
            std::optional<TRenderSettings> end = animation.End;
            if (end)
                end->Threads = threads;
            byThreads[threads - 1] =
                RenderFrames(TAnimationPlan(start, 5, end, std::nullopt, animation.Loop));
        }
        EXPECT_EQ(byThreads[0], byThreads[1]) << animation.Name;
        // The frames differ: something moves.
        EXPECT_NE(byThreads[0].at(0), byThreads[0].at(1)) << animation.Name;
        EXPECT_NE(byThreads[0].at(0), "failed") << animation.Name;
        EXPECT_NE(byThreads[0].at(1), "failed") << animation.Name;
    }
}

TEST(AnimationRender, AMorphsEndFramesArePlainRendersOfTheTwoSets) {
    const TRenderSettings from = KeptSet(SmallRender(1000));
    TRenderSettings to = KeptSet(SmallRender(5000));
    to.Magnification *= 3.0;
    const std::map<int, std::string> frames =
        RenderFrames(TAnimationPlan(from, 4, to, std::nullopt, false));
    for (const auto& [frame, set] : {std::pair{0, from}, std::pair{3, to}}) {
        TRenderJob plain(set);
        plain.Run();
        EXPECT_EQ(frames.at(frame), PixelBytes(plain.Image())) << "frame " << frame;
    }
}

TEST(AnimationRender, AFrameWhoseSetFailsIsTheBackgroundAndListed) {
    TRenderSettings from = KeptSet(SmallRender(1000));
    // Halfway to a set that flings every point away.
    TRenderSettings to = from;
    for (int k = 1; k <= 120; ++k)
        to.Params.Coef(k) = 40.0;
    for (const bool white : {false, true}) {
        from.Params.WhiteBackground = to.Params.WhiteBackground = white ? BoolTrue : BoolFalse;
        TAnimationRender render(TAnimationPlan(from, 3, to, std::nullopt, false));
        std::map<int, std::string> frames;
        render.Run({1, 2},
                   [&](int frame, TPixelGraphic& picture) { frames[frame] = PixelBytes(picture); });
        ASSERT_EQ(render.FailedFrames().size(), 2u);
        EXPECT_EQ(render.FailedFrames()[0].Frame, 1);
        EXPECT_FALSE(render.FailedFrames()[0].Reason.empty());
        EXPECT_EQ(frames.at(2), std::string(64 * 48 * 3, white ? '\xFF' : '\0'));
    }
}
