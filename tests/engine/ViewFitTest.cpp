#include "engine/ViewFit.h"
#include "engine/FractalParams.h"

#include <gtest/gtest.h>

TEST(ViewFit, ResetAndFittingGiveSquarePixels) {
    TViewFit view;
    view.XCenter = 3.0;
    view.Magnification = 7.0;
    view.SelXCenter = 1.5;
    view.ResetCoordinates();
    EXPECT_EQ(view.XCenter, 0.0);
    EXPECT_EQ(view.YCenter, 0.0);
    EXPECT_EQ(view.Magnification, 0.5);
    EXPECT_EQ(view.SelMagnification, 0.5);
    EXPECT_EQ(view.SelXMin, -2.0);
    EXPECT_EQ(view.SelYMax, 2.0);
    EXPECT_EQ(view.SelXCenter, 1.5); // left as it was

    view.AdjustCoords(400, 300);
    EXPECT_EQ(view.HalfSpanX, 4.0);
    EXPECT_DOUBLE_EQ(view.AspectX, (1.0 + 400.0 / 300.0) / 2.0);
    EXPECT_DOUBLE_EQ(view.AspectY, (1.0 + 300.0 / 400.0) / 2.0);
    EXPECT_NEAR(view.XMin, -4.666666666667, 1e-12);
    EXPECT_NEAR(view.XMax, 4.666666666667, 1e-12);
    EXPECT_DOUBLE_EQ(view.YMin, -3.5);
    EXPECT_DOUBLE_EQ(view.YMax, 3.5);
    EXPECT_NEAR((view.XMax - view.XMin) / 400, (view.YMax - view.YMin) / 300, 1e-15);
    EXPECT_NEAR((view.XMax - view.XMin) / 400, 0.023333, 1e-6);

    TFractalParams params;
    view.CopyToParams(params);
    EXPECT_EQ(params.ViewXMin, view.XMin);
    EXPECT_EQ(params.ViewYMin, view.YMin);
    EXPECT_EQ(params.ViewXMax, view.XMax);
    EXPECT_EQ(params.ViewYMax, view.YMax);

    // A square image keeps the centre and gets a square rectangle.
    view.XCenter = 1.0;
    view.YCenter = -1.0;
    view.AdjustCoords(200, 200);
    EXPECT_EQ(view.XMin, -3.0);
    EXPECT_EQ(view.XMax, 5.0);
    EXPECT_EQ(view.YMin, -5.0);
    EXPECT_EQ(view.YMax, 3.0);
}

TEST(ViewFit, ZoomTargetKeepsTheImageProportions) {
    TViewFit view;
    view.ResetCoordinates();
    view.AdjustCoords(400, 300);

    // A click at (200, 200) in click mode: half the image's sides around the clicked pixel.
    const TPixelRect click = TViewFit::ProportionalRect(200, 200, 200, 150, 400, 300);
    EXPECT_EQ(click.Left, 100);
    EXPECT_EQ(click.Top, 125);
    EXPECT_EQ(click.Width, 200);
    EXPECT_EQ(click.Height, 150);
    view.SetZoomTarget(click, 400, 300);
    EXPECT_NEAR(view.SelXMin, -2.333333, 1e-6);
    EXPECT_NEAR(view.SelXMax, 2.333333, 1e-6);
    EXPECT_NEAR(view.SelYMin, -0.583333, 1e-6);
    EXPECT_NEAR(view.SelYMax, 2.916667, 1e-6);
    EXPECT_NEAR(view.SelXCenter, 0.0, 1e-12);
    EXPECT_NEAR(view.SelYCenter, 1.166667, 1e-6);
    EXPECT_NEAR(view.SelMagnification, 0.979592, 1e-6);
    EXPECT_TRUE(view.ZoomTargetHasExtent());

    const double oldWidth = view.XMax - view.XMin;
    view.ZoomToTarget();
    EXPECT_NEAR(view.XCenter, 0.0, 1e-12);
    EXPECT_NEAR(view.YCenter, 1.166667, 1e-6);
    EXPECT_EQ(view.Magnification, view.SelMagnification);
    view.AdjustCoords(400, 300);
    EXPECT_NEAR(oldWidth / (view.XMax - view.XMin), 1.96, 0.01);
    EXPECT_NEAR((view.XMax - view.XMin) / 400, (view.YMax - view.YMin) / 300, 1e-15);

    // A 100 x 10 drag: the same mean side (g = 55, f = 350) around the same centre.
    const TPixelRect drag = TViewFit::ProportionalRect(150 + 50, 145 + 5, 100, 10, 400, 300);
    EXPECT_EQ(drag.Width, 63);
    EXPECT_EQ(drag.Height, 47);
    EXPECT_EQ(drag.Left, 169); // 200 - 31.43
    EXPECT_EQ(drag.Top, 126);  // 150 - 23.57

    // Halves go to the even neighbour, and the position uses the unrounded side: 3.6 - 1.25
    // gives 2, where a rounded side of 2 would give 3.
    const TPixelRect halves = TViewFit::ProportionalRect(3.6, 2.75, 3, 2, 2, 2);
    EXPECT_EQ(halves.Width, 2); // 2.5
    EXPECT_EQ(halves.Height, 2);
    EXPECT_EQ(halves.Left, 2);
    EXPECT_EQ(halves.Top, 2); // 1.5
}

TEST(ViewFit, ZoomTargetWithoutExtentAndAfterReset) {
    TViewFit view;
    view.ResetCoordinates();
    view.AdjustCoords(400, 300);
    view.SetZoomTarget({10, 20, 0, 0}, 400, 300);
    EXPECT_EQ(view.SelMagnification, 0.0);
    EXPECT_FALSE(view.ZoomTargetHasExtent());
    EXPECT_EQ(view.SelXMin, view.SelXMax);

    // Reset restores the reset target, and zooming to it gives the reset view again.
    view.ResetCoordinates();
    EXPECT_TRUE(view.ZoomTargetHasExtent());
    view.ZoomToTarget();
    EXPECT_EQ(view.XCenter, 0.0);
    EXPECT_EQ(view.YCenter, 0.0);
    EXPECT_EQ(view.Magnification, 0.5);
    view.AdjustCoords(400, 300);
    EXPECT_NEAR(view.XMin, -4.666666666667, 1e-12);
    EXPECT_DOUBLE_EQ(view.YMax, 3.5);
}

TEST(FractalParams, DefaultsAndStoredDefaults) {
    TFractalParams params;
    EXPECT_EQ(params.RotationLimit(), 2.0);
    EXPECT_EQ(&params.RotationLimit(), &params.RotationLimitAndCoef[0]);
    EXPECT_EQ(&params.Coef(120), &params.RotationLimitAndCoef[120]);
    EXPECT_EQ(params.NewCoefficients, BoolTrue);

    params.RedFactor = 0.1;
    params.UseAT02 = 1; // any non-zero value is true
    params.UseIFS01 = BoolFalse;
    params.RotationLimit() = 9.0;
    params.Coef(5) = 0.5;
    params.NewCoefficients = BoolFalse;
    params.ViewXMin = -1.0;
    params.StoreDefaults();
    EXPECT_EQ(params.RedFactor, 0.7);
    EXPECT_EQ(params.GreenFactor, 0.8);
    EXPECT_EQ(params.BlueFactor, 0.9);
    EXPECT_EQ(params.UseAT02, BoolFalse);
    EXPECT_EQ(params.UseIFS01, BoolTrue);
    EXPECT_EQ(params.RotationLimit(), 2.0);
    EXPECT_EQ(params.RotationStep, 0.1);
    EXPECT_EQ(params.NewCoefficients, BoolTrue);
    EXPECT_EQ(params.Coef(5), 0.5);
    EXPECT_EQ(params.ViewXMin, -1.0);
}
