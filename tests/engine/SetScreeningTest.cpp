#include "render/SetScreening.h"
#include "app/render/RenderOptions.h"
#include "render/RenderJob.h"

#include <gtest/gtest.h>

#include <algorithm>

TEST(SetScreening, MeasuresTheSetItDrewAndRepeatsFromItsParameters) {
    const TRenderOptions options = ParseRenderOptions(
        {"--seed", "31337", "--size", "160x120", "--density", "30", "--maps", "ifs01,at01"});
    const TScreenedSet screened = ScreenSet(options);
    const TSetNumbers& numbers = screened.Numbers;

    // The coverage is the share of pixels a transparent render of the set leaves opaque.
    TRenderOptions transparent = options;
    transparent.Transparent = true;
    TRenderJob job(transparent);
    job.Run();
    const auto opaque = std::count_if(job.Alpha().begin(), job.Alpha().end(),
                                      [](std::uint8_t alpha) { return alpha != 0; });
    EXPECT_DOUBLE_EQ(numbers.Coverage, static_cast<double>(opaque) / (160.0 * 120.0));
    // The fitted view fills the frame with the attractor: it reaches more of it.
    EXPECT_GT(numbers.FitCoverage, numbers.Coverage);
    ASSERT_TRUE(numbers.Dimension);
    EXPECT_GT(numbers.Dimension->Dimension, 0.5);
    EXPECT_LT(numbers.Dimension->Dimension, 2.1);

    // The set kept in its parameter file gives the same numbers again.
    TRenderSettings again = RenderSettingsOf(screened.Set);
    again.Steps = options.Steps;
    const TSetNumbers repeated = ScreenSet(again).Numbers;
    EXPECT_EQ(repeated.Coverage, numbers.Coverage);
    EXPECT_EQ(repeated.FitCoverage, numbers.FitCoverage);
    EXPECT_EQ(repeated.Dimension->Dimension, numbers.Dimension->Dimension);
    EXPECT_EQ(repeated.Lyapunov, numbers.Lyapunov);
}
