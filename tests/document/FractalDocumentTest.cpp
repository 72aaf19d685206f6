#include "document/FractalDocument.h"
#include "image/PixelGraphic.h"

#include <gtest/gtest.h>

namespace {
// A document after its first showing, stopped before any run: default settings and view.
TFractalDocument ShownDocument() {
    TFractalDocument document;
    auto picture = document.FirstPicture();
    document.StoreDefaults();
    document.FirstShowDone();
    return document;
}
} // namespace

TEST(FractalDocument, ANewDocumentWaitsForItsFirstShowing) {
    TFractalDocument document;
    EXPECT_TRUE(document.FirstShowPending());
    EXPECT_TRUE(document.RectangleMode());
    EXPECT_EQ(document.DocWidth(), 0);
    EXPECT_NE(document.Params().NewCoefficients, BoolFalse);
    EXPECT_EQ(document.Params().AbortRequested, BoolFalse);
    // Nothing acts on a document without a picture.
    EXPECT_FALSE(document.MoveCursor(10, 10));
    EXPECT_EQ(document.CheckZoom(true), TFractalDocument::TZoomCheck::NoPicture);
}

TEST(FractalDocument, FirstShowingGivesTheDefaults) {
    TFractalDocument document;
    const auto picture = document.FirstPicture();
    EXPECT_EQ(document.Params().Image, picture.get());
    EXPECT_EQ(picture->Width(), 400);
    EXPECT_EQ(picture->Height(), 300);
    document.StoreDefaults();
    document.FirstShowDone();
    EXPECT_FALSE(document.FirstShowPending());
    EXPECT_EQ(document.DocWidth(), 400);
    EXPECT_EQ(document.DocHeight(), 300);
    EXPECT_EQ(document.Params().RedFactor, 0.7);
    EXPECT_EQ(document.View().Magnification, 0.5);
}

TEST(FractalDocument, ARunFitsTheViewAndTheCursorReadsIt) {
    TFractalDocument document = ShownDocument();
    const auto picture = document.NewPicture();
    document.Params().Tick = 7;
    document.Params().AbortRequested = BoolTrue;
    document.PrepareRun();
    EXPECT_EQ(document.Params().AbortRequested, BoolFalse);
    EXPECT_NEAR(document.Params().ViewXMin, -4.666666666667, 1e-12);
    EXPECT_DOUBLE_EQ(document.Params().ViewYMin, -3.5);
    const auto topLeft = document.MoveCursor(0, 0);
    ASSERT_TRUE(topLeft);
    EXPECT_NEAR(topLeft->X, -4.666666666667, 1e-12);
    EXPECT_DOUBLE_EQ(topLeft->Y, -3.5);

    // After a zoom the same pixel shows another point.
    document.SetView(1.0, -1.0, 2.0);
    document.PrepareRun();
    EXPECT_DOUBLE_EQ(document.FollowView().Y, -1.0 - 1.0 * 0.875);
    document.EndRun();
    EXPECT_NE(document.Params().AbortRequested, BoolFalse);
}

TEST(FractalDocument, TheCaptionShowsTheCountersAndTheTickAdvances) {
    TFractalDocument document = ShownDocument();
    const auto picture = document.NewPicture();
    EXPECT_EQ(document.Params().Tick, 0);
    document.Params().Tick = 12;
    document.Params().StepCount = 5000;
    document.Params().Lyapunov = 1.2345;
    EXPECT_EQ(document.TickCaption(), "12  5000  1.233");
    EXPECT_EQ(document.Params().Tick, 13);
}

struct TReleaseCase {
    const char* Name;
    bool RectangleMode;
    TPixelRect Selection;
    double PressX, PressY;
    TPixelRect Shown;
    double SelXMin, SelXMax, SelYMin, SelYMax, SelMagnification;
};

class FractalDocumentRelease : public testing::TestWithParam<TReleaseCase> {};

TEST_P(FractalDocumentRelease, SetsTheZoomTarget) {
    const TReleaseCase& c = GetParam();
    TFractalDocument document = ShownDocument();
    document.AdjustCoords();
    if (!c.RectangleMode)
        document.ToggleRectangleMode();
    document.Press(c.PressX, c.PressY);
    const TPixelRect shown = document.Release(c.Selection);
    EXPECT_EQ(shown.Left, c.Shown.Left);
    EXPECT_EQ(shown.Top, c.Shown.Top);
    EXPECT_EQ(shown.Width, c.Shown.Width);
    EXPECT_EQ(shown.Height, c.Shown.Height);
    EXPECT_NEAR(document.View().SelXMin, c.SelXMin, 1e-6);
    EXPECT_NEAR(document.View().SelXMax, c.SelXMax, 1e-6);
    EXPECT_NEAR(document.View().SelYMin, c.SelYMin, 1e-6);
    EXPECT_NEAR(document.View().SelYMax, c.SelYMax, 1e-6);
    EXPECT_NEAR(document.View().SelMagnification, c.SelMagnification, 1e-6);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FractalDocumentRelease,
    testing::Values(
        // A click at (200, 200): half the picture's sides around the clicked pixel.
        TReleaseCase{"ClickTakesHalfThePicture",
                     false,
                     {},
                     200,
                     200,
                     {100, 125, 200, 150},
                     -2.333333,
                     2.333333,
                     -0.583333,
                     2.916667,
                     0.979592},
        // A 100 x 10 drag becomes 63 x 47 around the same centre.
        TReleaseCase{"DragTakesThePictureProportions",
                     true,
                     {100, 100, 100, 10},
                     0,
                     0,
                     {119, 81, 63, 47},
                     -4.666667 + 119 * 7.0 / 300,
                     -4.666667 + 182 * 7.0 / 300,
                     -3.5 + 81 * 7.0 / 300,
                     -3.5 + 128 * 7.0 / 300,
                     2.0 / ((63 + 47) * 7.0 / 300 * 0.5 * 0.5)}),
    [](const testing::TestParamInfo<TReleaseCase>& info) { return info.param.Name; });

TEST(FractalDocument, ZoomIsCheckedThenGoesToTheTarget) {
    TFractalDocument document = ShownDocument();
    document.AdjustCoords();
    EXPECT_EQ(document.CheckZoom(false), TFractalDocument::TZoomCheck::NothingSelected);
    EXPECT_STREQ(TFractalDocument::ZoomRefusal(TFractalDocument::TZoomCheck::NothingSelected),
                 "there is nothing selected");
    document.Release({10, 10, 0, 0});
    EXPECT_EQ(document.CheckZoom(true), TFractalDocument::TZoomCheck::EmptyTarget);
    EXPECT_STREQ(TFractalDocument::ZoomRefusal(TFractalDocument::TZoomCheck::EmptyTarget),
                 "the selected area is empty");

    document.ToggleRectangleMode();
    document.Press(200, 200);
    document.Release({});
    EXPECT_EQ(document.CheckZoom(false), TFractalDocument::TZoomCheck::Ready);
    document.ZoomToTarget();
    EXPECT_NEAR(document.View().XCenter, 0.0, 1e-12);
    EXPECT_NEAR(document.View().YCenter, 1.166667, 1e-6);
    EXPECT_NEAR(document.View().Magnification, 0.979592, 1e-6);

    TPixelGraphic shown;
    shown.SetSize(400, 300, bc24Bit);
    const auto preview = document.ZoomPreview(shown, {100, 125, 200, 150});
    EXPECT_EQ(document.Params().Image, preview.get());
    EXPECT_EQ(preview->Width(), 400);

    document.ResetCoordinates();
    EXPECT_EQ(document.View().XCenter, 0.0);
    EXPECT_EQ(document.View().Magnification, 0.5);
}

TEST(FractalDocument, ResizeKeepsTheViewAndChangesThePicture) {
    TFractalDocument document = ShownDocument();
    document.SetView(1.0, -1.0, 0.5);
    document.Resize(200, 200);
    EXPECT_EQ(document.Params().ImageWidth, 200);
    EXPECT_EQ(document.DocHeight(), 200);
    const auto picture = document.NewPicture();
    EXPECT_EQ(picture->Width(), 200);
    document.PrepareRun();
    EXPECT_EQ(document.Params().ViewXMin, -3.0);
    EXPECT_EQ(document.Params().ViewYMax, 3.0);
}

TEST(FractalDocument, TheWindowFollowsThePictureWithinTheFrame) {
    struct TCase {
        TPixelSize Picture, Frame, Client;
    };
    const TCase cases[] = {{{404, 304}, {800, 600}, {424, 344}},
                           {{900, 700}, {800, 600}, {750, 530}}};
    for (const TCase& c : cases) {
        const TPixelSize client = TFractalDocument::ClientSizeFor(c.Picture, c.Frame);
        EXPECT_EQ(client.Width, c.Client.Width);
        EXPECT_EQ(client.Height, c.Client.Height);
    }
}
