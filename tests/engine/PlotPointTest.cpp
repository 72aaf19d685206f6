#include "engine/EngineTestSupport.h"
#include "engine/Variations.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

// A 400 x 300 image whose view spans 0..400 by 0..300, so a point's coordinates are its pixel
// position; the run is already in its plotting phase.
class PlotPointTest : public ::testing::Test {
protected:
    PlotPointTest() {
        Block.Params.ViewXMin = 0.0;
        Block.Params.ViewXMax = 400.0;
        Block.Params.ViewYMin = 0.0;
        Block.Params.ViewYMax = 300.0;
        Block.Params.NewCoefficients = BoolFalse;
        Engine.StartRun(&Block.Params);
        Block.Params.StepCount = TFractalEngine::FirstPlotStep;
    }

    // A point plotted and its pixel coloured at once, as if the picture were read after it.
    void PlotAt(double x, double y, int groupOffset = 0) {
        PlotUncoloured(x, y, groupOffset);
        Engine.ColourPendingPixels();
    }
    void PlotUncoloured(double x, double y, int groupOffset = 0) {
        Engine.SetGroupBase(groupOffset);
        Engine.SetPoint(x, y, 0.0);
        Engine.PlotPoint();
    }

    static std::uint32_t Colour(int red, int green, int blue) {
        return static_cast<std::uint32_t>(red + 256 * green + 65536 * blue);
    }

    TDocumentBlock Block;
    TFractalEngine Engine;
};

} // namespace

TEST_F(PlotPointTest, ColoursByIntensityFilterAndGroup) {
    // One hit with intensity 40 and the root filter: T = 40, brightness 10.
    PlotAt(10.0, 20.0);
    EXPECT_EQ(Engine.Hits(1, 10, 20), 40);
    EXPECT_EQ(Block.Image.GetPixel(10, 20), Colour(7, 8, 9));

    // Linear brightness 0.1 x T = 4: red rnd(2.8) = 3, green rnd(3.2) = 3, blue rnd(3.6) = 4.
    Block.Params.RootFilter = BoolFalse;
    PlotAt(30.0, 20.0);
    EXPECT_EQ(Block.Image.GetPixel(30, 20), Colour(3, 3, 4));

    // Groups 2 and 3 permute the factors; the brightness counts every group's hits.
    Block.Params.RootFilter = BoolTrue;
    PlotAt(50.0, 20.0, 19);
    EXPECT_EQ(Engine.Hits(2, 50, 20), 40);
    EXPECT_EQ(Block.Image.GetPixel(50, 20), Colour(9, 7, 8));
    PlotAt(50.0, 20.0, 39); // T = 80: brightness sqrt(200)
    EXPECT_EQ(Engine.Hits(3, 50, 20), 40);
    EXPECT_EQ(Block.Image.GetPixel(50, 20), Colour(11, 13, 10));

    // Rows count from the top of the image.
    EXPECT_EQ(Block.Image.GetPixel(10, 279), 0u);

    // White background inverts every channel: a channel of 0 shows as 255.
    Block.Params.WhiteBackground = BoolTrue;
    Block.Params.GreenFactor = 0.0;
    PlotAt(70.0, 20.0);
    EXPECT_EQ(Block.Image.GetPixel(70, 20), Colour(255 - 7, 255, 255 - 9));

    // Channel 300 folds to 211 through the whole plotting path.
    Block.Params.WhiteBackground = BoolFalse;
    Block.Params.RootFilter = BoolFalse;
    Block.Params.Intensity = 3000.0;
    Block.Params.RedFactor = 1.0;
    Block.Params.BlueFactor = 5.12 / 3.0; // brightness 300 x 5.12 / 3 = 512 -> 0
    PlotAt(90.0, 20.0);
    EXPECT_EQ(Block.Image.GetPixel(90, 20), Colour(211, 0, 0));
}

TEST_F(PlotPointTest, PixelsTakeTheirColoursWhenAskedFromTheSettingsThenInForce) {
    PlotUncoloured(10.0, 20.0);
    PlotUncoloured(10.0, 20.0, 19);
    PlotUncoloured(30.0, 20.0, 39);
    EXPECT_EQ(Block.Image.GetPixel(10, 20), 0u);
    // Only the latest group's colour survives, from all the hits: T = 80.
    Engine.ColourPendingPixels();
    EXPECT_EQ(Block.Image.GetPixel(10, 20), Colour(13, 10, 11));
    EXPECT_EQ(Block.Image.GetPixel(30, 20), Colour(8, 9, 7));
    // Coloured pixels keep their colours when a setting changes; pixels hit afterwards follow it.
    Block.Params.RootFilter = BoolFalse;
    PlotUncoloured(30.0, 20.0, 39);
    Engine.ColourPendingPixels();
    EXPECT_EQ(Block.Image.GetPixel(10, 20), Colour(13, 10, 11));
    EXPECT_EQ(Block.Image.GetPixel(30, 20), Colour(6, 7, 6));
    // A cleared run leaves nothing to colour.
    PlotUncoloured(50.0, 20.0);
    Engine.ResetRun();
    Engine.ColourPendingPixels();
    EXPECT_EQ(Block.Image.GetPixel(50, 20), 0u);
}

TEST_F(PlotPointTest, CountersStopAt65000) {
    Block.Params.Intensity = 40000.0;
    PlotAt(5.0, 5.0);
    PlotAt(5.0, 5.0);
    EXPECT_EQ(Engine.Hits(1, 5, 5), 80000);
    PlotAt(5.0, 5.0);
    EXPECT_EQ(Engine.Hits(1, 5, 5), 80000);
    // The other groups still add to the brightness.
    Block.Params.RootFilter = BoolFalse;
    Block.Params.RedFactor = Block.Params.GreenFactor = Block.Params.BlueFactor = 0.001;
    PlotAt(5.0, 5.0, 19);
    EXPECT_EQ(Engine.Hits(2, 5, 5), 40000);
    EXPECT_EQ(Block.Image.GetPixel(5, 5), Colour(12, 12, 12)); // rnd(12000 x 0.001)

    // Intensity is rounded, halves to even.
    Block.Params.Intensity = 2.5;
    PlotAt(6.0, 6.0);
    EXPECT_EQ(Engine.Hits(1, 6, 6), 2);
}

TEST_F(PlotPointTest, PlotsOnlyInsideTheImage) {
    PlotAt(0.0, 10.0);   // exactly on ViewXMin
    PlotAt(10.0, 0.0);   // exactly on ViewYMin
    PlotAt(399.5, 10.0); // rounds to column 400
    PlotAt(10.0, 299.5); // rounds to row 300
    PlotAt(-3.0, 10.0);
    PlotAt(1e30, 10.0);
    PlotAt(std::nan(""), 10.0);
    PlotAt(10.0, std::nan(""));
    EXPECT_EQ(TotalHits(Engine), 0);

    PlotAt(0.4, 10.0);
    EXPECT_EQ(Engine.Hits(1, 0, 10), 40);
    PlotAt(398.5, 299.4);
    EXPECT_EQ(Engine.Hits(1, 398, 299), 40);
    EXPECT_EQ(TotalHits(Engine), 80);

    // A block claiming a larger image than the hit arrays hold plots only inside them.
    Block.Params.ImageWidth = 2000;
    Block.Params.ViewXMax = 2000.0;
    PlotAt(1500.0, 10.0);
    EXPECT_EQ(TotalHits(Engine), 80);
}

TEST_F(PlotPointTest, WarmUpPlotsNothingAndTheGateClearsFirst) {
    PlotAt(100.0, 100.0);
    Block.Params.StepCount = 3998;
    PlotAt(200.0, 100.0);
    EXPECT_EQ(Engine.Hits(1, 200, 100), 0);

    // The first point after the warm-up clears the run, then plots at the position it found.
    Block.Params.StepCount = TFractalEngine::WarmUpSteps;
    PlotAt(200.0, 100.0);
    EXPECT_EQ(Block.Params.StepCount, TFractalEngine::FirstPlotStep);
    EXPECT_EQ(Engine.Hits(1, 100, 100), 0);
    EXPECT_EQ(Block.Image.GetPixel(100, 100), 0u);
    EXPECT_EQ(Engine.Hits(1, 200, 100), 40);
    EXPECT_EQ(Engine.X(), 0.01); // ResetRun restarted the point
}

TEST_F(PlotPointTest, ResetRunLeavesWhatAFullClearLeaves) {
    Block.Params.Intensity = 64.0;
    PlotAt(0.4, 0.4);
    PlotAt(399.4, 299.4, 19);
    PlotAt(123.0, 45.0, 39);
    Engine.ResetRun();
    EXPECT_EQ(TotalHits(Engine), 0);
    EXPECT_EQ(Block.Bytes(), TDocumentBlock().Bytes());
    EXPECT_EQ(Block.Params.StepCount, 0);

    // A new background colour repaints the whole image, even where nothing was plotted.
    Block.Params.WhiteBackground = BoolTrue;
    Engine.ResetRun();
    for (int row : {0, 150, 299})
        for (int column : {0, 200, 399})
            EXPECT_EQ(Block.Image.GetPixel(column, row), 0xFFFFFFu);

    // Plotted pixels go back to white; counters of an earlier image are gone too.
    Block.Params.StepCount = TFractalEngine::FirstPlotStep;
    PlotAt(10.0, 10.0);
    EXPECT_NE(Block.Image.GetPixel(10, 10), 0xFFFFFFu);
    Engine.ResetRun();
    EXPECT_EQ(Block.Image.GetPixel(10, 10), 0xFFFFFFu);

    // A different image is cleared completely at the next ResetRun.
    TPixelGraphic other;
    other.SetSize(401, 3, bc24Bit);
    other.SetPixel(400, 2, 0x123456u);
    Block.Params.Image = &other;
    Engine.ResetRun();
    EXPECT_EQ(other.GetPixel(400, 2), 0xFFFFFFu);

    // Drawing done into the image between runs is cleared by the next run.
    Block.Params.Image = &Block.Image;
    Block.Params.WhiteBackground = BoolFalse;
    Engine.ResetRun();
    Block.Image.SetPixel(250, 250, 0xABCDEFu);
    Engine.StartRun(&Block.Params);
    EXPECT_EQ(Block.Bytes(), TDocumentBlock().Bytes());
}

TEST(GroupOffset, SplitsRoundedDrawsAt18And38) {
    EXPECT_EQ(TFractalEngine::GroupOffset(0.0), 0);
    EXPECT_EQ(TFractalEngine::GroupOffset(18.5), 0);
    EXPECT_EQ(TFractalEngine::GroupOffset(18.51), 19);
    EXPECT_EQ(TFractalEngine::GroupOffset(38.5), 19);
    EXPECT_EQ(TFractalEngine::GroupOffset(38.51), 39);
    EXPECT_EQ(TFractalEngine::GroupOffset(59.9), 39);
    EXPECT_EQ(TFractalEngine::GroupOffset(60.0), 39);
}

TEST_F(PlotPointTest, TransformAppliesOnlyEnabledStepsInTheirOrder) {
    // No flag set: the point does not move; a rotation without its map does nothing.
    Block.Params.UseIFS01 = BoolFalse;
    Block.Params.RotateAT01 = BoolTrue;
    Block.Params.Tick = 3;
    Engine.SetPoint(-1.0, -2.0, 0.5);
    Engine.Transform();
    EXPECT_EQ(Engine.X(), -1.0);
    EXPECT_EQ(Engine.Y(), -2.0);
    EXPECT_EQ(Engine.Z(), 0.5);
    EXPECT_EQ(Engine.Rotation(TMapFamily::AT01).Angle(), 0.0);

    // With its map, the AT 01 rotation turns at the new tick: angle 0.1 after the map.
    Block.Params.UseAT01 = BoolTrue;
    Engine.Transform();
    EXPECT_EQ(Engine.Rotation(TMapFamily::AT01).Angle(), 0.1);
    Block.Params.UseAT01 = BoolFalse;

    // Variations compose in their fixed order, whatever the order they were enabled in.
    Block.Params.UseBent = BoolTrue;
    Block.Params.UseSinusoidal = BoolTrue;
    Engine.SetPoint(-0.3, -0.2, 0.5);
    Engine.Transform();
    double x = -0.3, y = -0.2;
    ApplySinusoidal(x, y, 0.05);
    ApplyBent(x, y, 0.05);
    EXPECT_EQ(Engine.X(), x);
    EXPECT_EQ(Engine.Y(), y);
    EXPECT_EQ(Engine.Z(), 0.5);

    // The sine maps copy the z that IFS 01 last produced; IFS 01 sets it.
    Block.Params.UseBent = Block.Params.UseSinusoidal = BoolFalse;
    Block.Params.UseLatoocarfian01 = BoolTrue;
    Block.Params.UseIFS01 = BoolTrue;
    Block.Params.Coef(10) = 0.25;
    Block.Params.Coef(11) = 0.5;
    Engine.SetGroupBase(0);
    Engine.Transform();
    EXPECT_EQ(Engine.NextZ(), 0.75);
    Block.Params.UseIFS01 = BoolFalse;
    Engine.Transform();
    EXPECT_EQ(Engine.Z(), 0.75);
}
