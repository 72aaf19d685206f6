#include "document/FractalDocument.h"
#include "engine/FractalEngine.h"
#include "image/PixelGraphic.h"
#include "render/AttractorFit.h"
#include "render/RenderJob.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <memory>
#include <vector>

namespace {
// A shown document and the engine that renders it, with a clock the test sets.
class FractalDocumentHistory : public ::testing::Test {
protected:
    FractalDocumentHistory() {
        FFirst = FDocument.FirstPicture();
        FDocument.StoreDefaults();
        FDocument.FirstShowDone();
        // A rejected set is drawn again from the next clock value, as time goes on.
        FEngine.SetClock([this] { return FDrawn = FClock++; });
    }

    // A run of `steps` steps on a fresh picture; a set drawn in it is accepted as the window's
    // session would accept it.
    void Render(std::int64_t steps = TFractalEngine::FirstPlotStep + 20000) {
        FPicture = FDocument.NewPicture();
        FDocument.PrepareRun();
        if (const auto seed = FDocument.TakeOrbitSeed())
            FEngine.SetRandomSeed(*seed);
        const bool drawing = FDocument.Params().NewCoefficients != BoolFalse;
        FEngine.SetStepLimit(steps);
        FEngine.RunFractal(&FDocument.Params());
        if (drawing && FDocument.Params().StepCount > TFractalEngine::FirstPlotStep)
            FDocument.SetAccepted(FDrawn);
    }

    // The clock value of the set drawn and accepted.
    std::uint32_t Draw(std::uint32_t clock) {
        FClock = clock;
        FDocument.RequestNewCoefficients();
        Render();
        return FDrawn;
    }

    // A click-mode zoom around the picture's centre: half its sides.
    void Zoom() {
        if (FDocument.RectangleMode())
            FDocument.ToggleRectangleMode();
        FDocument.Press(200, 150);
        FDocument.Release({});
        FDocument.ZoomToTarget();
    }

    std::vector<std::uint32_t> Pixels() const {
        std::vector<std::uint32_t> pixels;
        for (int y = 0; y < FPicture->Height(); ++y)
            for (int x = 0; x < FPicture->Width(); ++x)
                pixels.push_back(FPicture->GetPixel(x, y));
        return pixels;
    }

    TFractalDocument FDocument;
    TFractalEngine FEngine;
    std::uint32_t FClock = 0;
    std::uint32_t FDrawn = 0;
    std::unique_ptr<TPixelGraphic> FFirst;
    std::unique_ptr<TPixelGraphic> FPicture;
};

bool SameCoefficients(const TFractalParams& a, const TFractalParams& b) {
    for (int k = 0; k <= 120; ++k)
        if (std::bit_cast<std::uint64_t>(a.RotationLimitAndCoef[k]) !=
            std::bit_cast<std::uint64_t>(b.RotationLimitAndCoef[k]))
            return false;
    return true;
}
} // namespace

TEST_F(FractalDocumentHistory, NothingIsRecordedBeforeTheFirstSet) {
    FDocument.ResetCoordinates();
    FDocument.Resize(320, 240);
    Zoom();
    EXPECT_TRUE(FDocument.History().Empty());
    EXPECT_FALSE(FDocument.GoBack());
    EXPECT_FALSE(FDocument.GoForward());
}

TEST_F(FractalDocumentHistory, SetsZoomsResetsAndSizesAreRecordedInTurn) {
    const std::uint32_t firstClock = Draw(1000);
    const TFractalParams first = FDocument.Params();
    Zoom();
    const TViewFit zoomed = FDocument.View();
    FDocument.ResetCoordinates();
    FDocument.Resize(320, 240);
    const std::uint32_t secondClock = Draw(2000);
    ASSERT_EQ(FDocument.History().Size(), 5u);
    EXPECT_FALSE(FDocument.GoForward());

    // Back to the zoom: the first set, bit for bit, with its clock, the zoomed view and the
    // first size.
    for (int back = 0; back < 3; ++back)
        ASSERT_TRUE(FDocument.GoBack());
    EXPECT_TRUE(SameCoefficients(FDocument.Params(), first));
    EXPECT_EQ(FDocument.KeptDrawClock(), firstClock);
    EXPECT_EQ(FDocument.View().XCenter, zoomed.XCenter);
    EXPECT_EQ(FDocument.View().YCenter, zoomed.YCenter);
    EXPECT_EQ(FDocument.View().Magnification, zoomed.Magnification);
    EXPECT_EQ(FDocument.DocWidth(), 400);
    EXPECT_EQ(FDocument.Params().ImageHeight, 300);
    EXPECT_EQ(FDocument.Params().NewCoefficients, BoolFalse);
    EXPECT_EQ(FDocument.TakeOrbitSeed(), TFractalEngine::OrbitStreamStart(firstClock, 0, 1));

    ASSERT_TRUE(FDocument.GoBack());
    EXPECT_EQ(FDocument.View().Magnification, 0.5);
    EXPECT_FALSE(FDocument.GoBack());

    // The last entry: the second set at the new size.
    while (FDocument.GoForward()) {
    }
    EXPECT_EQ(FDocument.KeptDrawClock(), secondClock);
    EXPECT_EQ(FDocument.DocWidth(), 320);
    EXPECT_EQ(FDocument.DocHeight(), 240);
    EXPECT_FALSE(SameCoefficients(FDocument.Params(), first));
}

TEST_F(FractalDocumentHistory, ANewStepAfterBackDropsTheEntriesAhead) {
    const std::uint32_t firstClock = Draw(1000);
    Draw(2000);
    Draw(3000);
    ASSERT_TRUE(FDocument.GoBack());
    ASSERT_TRUE(FDocument.GoBack());
    Render();
    // Rendering the restored set again is no new step.
    EXPECT_EQ(FDocument.History().Size(), 3u);
    Zoom();
    EXPECT_EQ(FDocument.History().Size(), 2u);
    EXPECT_FALSE(FDocument.GoForward());
    ASSERT_TRUE(FDocument.GoBack());
    EXPECT_EQ(FDocument.KeptDrawClock(), firstClock);
}

TEST_F(FractalDocumentHistory, ASetIsRecordedOnlyOnceItIsAccepted) {
    Draw(1000);
    // Draw pressed: the view changes before the new set exists.
    FDocument.RequestNewCoefficients();
    FDocument.ResetCoordinates();
    EXPECT_EQ(FDocument.History().Size(), 1u);
    // Drawn, but stopped in its warm-up.
    FClock = 2000;
    Render(100);
    ASSERT_LT(FDocument.Params().StepCount, TFractalEngine::FirstPlotStep);
    Zoom();
    FDocument.Resize(320, 240);
    EXPECT_EQ(FDocument.History().Size(), 1u);
    // Once accepted it is recorded with the view and size then shown.
    FDocument.SetAccepted(FDrawn);
    ASSERT_EQ(FDocument.History().Size(), 2u);
    EXPECT_EQ(FDocument.History().Current().Params.ImageWidth, 320);
    EXPECT_EQ(FDocument.History().Current().DrawClock, FDrawn);
    EXPECT_TRUE(SameCoefficients(FDocument.History().Current().Params, FDocument.Params()));
}

TEST_F(FractalDocumentHistory, ARestoredSetGrowsTheSamePictureAsItsDraw) {
    Draw(1000);
    const std::vector<std::uint32_t> drawn = Pixels();
    Draw(2000);
    ASSERT_NE(Pixels(), drawn);
    ASSERT_TRUE(FDocument.GoBack());
    TPixelGraphic* const shown = FDocument.Params().Image;
    Render();
    EXPECT_EQ(Pixels(), drawn);
    // The restore itself left the picture a run may still be finishing.
    EXPECT_NE(shown, nullptr);
}

TEST_F(FractalDocumentHistory, AnOpenedDocumentStartsWithItsFile) {
    Draw(1000);
    Zoom();
    const TParameterFile saved = FDocument.ToParameterFile(FDrawn);
    TFractalDocument opened(saved);
    ASSERT_EQ(opened.History().Size(), 1u);
    EXPECT_EQ(opened.History().Current().ToJson(), [&] {
        TParameterFile file = saved;
        file.Params.Tick = 0;
        // An entry keeps the set and view, not how far the picture had grown.
        file.PlottedSteps.reset();
        file.TickEvery.reset();
        return file.ToJson();
    }());
    EXPECT_FALSE(opened.GoBack());
}

TEST_F(FractalDocumentHistory, ItsParameterFileRendersThePictureItShowsByteForByte) {
    for (const std::uint32_t clock : {1000u, 5000u}) {
        // The first run of a drawn set, as the window grows it after Draw.
        FClock = clock;
        FDocument.RequestNewCoefficients();
        Render(TFractalEngine::FirstPlotStep + 37000);
        const TParameterFile file = FDocument.ToParameterFile(FDrawn);
        ASSERT_EQ(file.PlottedSteps, 37001);
        TRenderJob job(RenderSettingsOf(file));
        job.Run();
        std::vector<std::uint32_t> rendered;
        for (int y = 0; y < job.Image().Height(); ++y)
            for (int x = 0; x < job.Image().Width(); ++x)
                rendered.push_back(job.Image().GetPixel(x, y));
        EXPECT_EQ(rendered, Pixels()) << clock;
        EXPECT_GT(std::count_if(rendered.begin(), rendered.end(),
                                [](std::uint32_t pixel) { return pixel != 0; }),
                  1000);
    }
}

TEST_F(FractalDocumentHistory, FitShowsTheAttractorWholeAndIsRecorded) {
    EXPECT_FALSE(FDocument.FitToAttractor(std::nullopt));
    const std::uint32_t drawn = Draw(3000);
    const std::size_t entries = FDocument.History().Size();
    ASSERT_TRUE(FDocument.FitToAttractor(drawn));
    const TViewFit& view = FDocument.View();
    EXPECT_NE(view.Magnification, 0.5);
    const std::optional<TAttractorBox> box =
        TAttractorBox::Of(SampleOrbit(FDocument.Params(), drawn, 100000));
    ASSERT_TRUE(box.has_value());
    EXPECT_NEAR(box->FrameShare(view.XCenter, view.YCenter, view.Magnification, 400, 300), 0.9,
                1e-9);
    EXPECT_EQ(FDocument.History().Size(), entries + 1);
    // The set stays: the next run renders it in the new view without drawing.
    EXPECT_EQ(FDocument.Params().NewCoefficients, BoolFalse);
}
