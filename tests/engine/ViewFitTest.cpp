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
