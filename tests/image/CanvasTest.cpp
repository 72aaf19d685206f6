#include "image/PGCanvas.h"
#include "image/PixelGraphic.h"

#include <gtest/gtest.h>

TEST(Canvas, HandingOutTheCanvasMakesTheNextPixelAccessWait) {
    TPixelGraphic image;
    image.SetSize(5, 3, bc24Bit);
    int flushes = 0;
    image.OnFlushPendingDrawing = [&] { ++flushes; };
    EXPECT_FALSE(image.GdiPending());
    TPGCanvas& canvas = image.ImageCanvas();
    EXPECT_TRUE(image.GdiPending());
    EXPECT_EQ(&image.ImageCanvas(), &canvas);
    EXPECT_EQ(canvas.Image(), &image);

    image.GetPixel(0, 0);
    EXPECT_FALSE(image.GdiPending());
    EXPECT_EQ(flushes, 1);

    // Drawing leaves the pixels pending again until the image is read.
    canvas.FillRect({1, 0, 3, 2}, RGB(255, 0, 0));
    EXPECT_TRUE(image.GdiPending());
    EXPECT_EQ(image.GetPixel(1, 1), RGB(255, 0, 0));
    EXPECT_FALSE(image.GdiPending());
    image.SetPixel(4, 2, RGB(0, 0, 255));
    EXPECT_EQ(flushes, 2);
    EXPECT_EQ(image.GetPixel(0, 0), RGB(0, 0, 0));
    EXPECT_EQ(image.GetPixel(3, 1), RGB(0, 0, 0));
    EXPECT_EQ(image.GetPixel(2, 2), RGB(0, 0, 0));
    EXPECT_EQ(canvas.GetPixel(4, 2), RGB(0, 0, 255));
    EXPECT_EQ(canvas.GetPixel(5, 0), RGB(0, 0, 0));
}

TEST(Canvas, DrawingNotifiesTheImage) {
    TPixelGraphic image;
    image.SetSize(4, 4, bc24Bit);
    int changes = 0;
    image.OnChange = [&](TPixelGraphic& sender) {
        EXPECT_EQ(&sender, &image);
        ++changes;
    };
    image.ImageCanvas().SetPixel(1, 1, RGB(1, 2, 3));
    image.ImageCanvas().FillRect({-5, -5, 99, 99}, RGB(4, 5, 6));
    EXPECT_EQ(changes, 2);
    // Like any drawing surface the canvas clips, whatever the image says about range errors.
    image.RaiseRangeErrors = true;
    image.ImageCanvas().SetPixel(4, 0, RGB(7, 8, 9));
    EXPECT_EQ(changes, 3);
    EXPECT_EQ(image.GetPixel(0, 0), RGB(4, 5, 6));
    EXPECT_EQ(image.GetPixel(3, 3), RGB(4, 5, 6));
}

TEST(Canvas, PaletteImagesStoreTheNearestColorOfTheirTable) {
    TPixelGraphic image;
    image.SetSize(4, 2, bc8Bit);
    image.SetPaletteIdent(pGray16);
    TPGCanvas& canvas = image.ImageCanvas();
    canvas.FillRect({0, 0, 2, 2}, RGB(100, 100, 100));
    EXPECT_EQ(image.GetPixel(1, 1), 6u);
    EXPECT_EQ(canvas.GetPixel(1, 1), RGB(102, 102, 102));
    EXPECT_TRUE(canvas.HandleAllocated());

    // A new palette takes the context away, so the next drawing sees the new table.
    image.SetPaletteIdent(pBlackWhite);
    EXPECT_FALSE(canvas.HandleAllocated());
    canvas.SetPixel(3, 0, RGB(200, 200, 200));
    EXPECT_EQ(image.GetPixel(3, 0), 1u);
    canvas.SetPixel(3, 0, RGB(100, 100, 100));
    EXPECT_EQ(image.GetPixel(3, 0), 0u);
    EXPECT_TRUE(canvas.HandleAllocated());
    image.SetPaletteEntry(1, RGB(90, 90, 90));
    EXPECT_FALSE(canvas.HandleAllocated());
    canvas.SetPixel(2, 0, RGB(100, 100, 100));
    EXPECT_EQ(image.GetPixel(2, 0), 1u);

    // Slots beyond the palette hold entry 0 and never win over it.
    image.SetPaletteCount(1);
    canvas.SetPixel(0, 0, RGB(255, 255, 255));
    EXPECT_EQ(image.GetPixel(0, 0), 0u);
}

TEST(Canvas, OneContextPerImageAndAllGivenUpAtShutdown) {
    const int before = TPGCanvas::HandlesAllocated();
    TPixelGraphic image;
    image.SetSize(3, 3, bc24Bit);
    TPGCanvas& own = image.ImageCanvas();
    TPGCanvas second(&image);
    own.SetPixel(0, 0, RGB(9, 9, 9));
    EXPECT_TRUE(own.HandleAllocated());
    second.SetPixel(1, 0, RGB(8, 8, 8));
    EXPECT_TRUE(second.HandleAllocated());
    EXPECT_FALSE(own.HandleAllocated());
    EXPECT_EQ(TPGCanvas::HandlesAllocated(), before + 1);

    TPixelGraphic other;
    other.SetSize(2, 2, bc24Bit);
    other.ImageCanvas().SetPixel(0, 0, RGB(7, 7, 7));
    EXPECT_TRUE(second.HandleAllocated());
    EXPECT_EQ(TPGCanvas::HandlesAllocated(), before + 2);

    image.ReleaseCanvasHandle();
    EXPECT_TRUE(second.HandleAllocated());
    own.SetPixel(2, 0, RGB(6, 6, 6));
    TPGCanvas::ReleaseAllHandles();
    EXPECT_EQ(TPGCanvas::HandlesAllocated(), 0);
    EXPECT_FALSE(own.HandleAllocated());
    EXPECT_EQ(image.GetPixel(0, 0), RGB(9, 9, 9));
    EXPECT_EQ(image.GetPixel(1, 0), RGB(8, 8, 8));
    EXPECT_EQ(image.GetPixel(2, 0), RGB(6, 6, 6));

    TPGCanvas orphan(nullptr);
    orphan.FillRect({0, 0, 5, 5}, RGB(1, 1, 1));
    EXPECT_FALSE(orphan.HandleAllocated());
    EXPECT_EQ(orphan.GetPixel(0, 0), RGB(0, 0, 0));
}

TEST(Canvas, ImagesDrawOntoAnotherImagesCanvas) {
    // 5 x 3: a red L on blue.
    TPixelGraphic source;
    source.SetSize(5, 3, bc24Bit);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x)
            source.SetPixel(x, y, x == 0 || (y == 2 && x == 1) ? RGB(255, 0, 0) : RGB(0, 0, 255));

    TPixelGraphic target;
    target.SetSize(8, 4, bc24Bit);
    source.DrawImage(target.ImageCanvas(), {8, 1, 3, 4});
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 8; ++x) {
            const TColor expected = y == 0 || x < 3 ? RGB(0, 0, 0) : source.GetPixel(7 - x, y - 1);
            EXPECT_EQ(target.GetPixel(x, y), expected) << x << "," << y;
        }
    EXPECT_EQ(target.GetPixel(7, 3), RGB(255, 0, 0));
    EXPECT_EQ(target.GetPixel(6, 3), RGB(255, 0, 0));
    EXPECT_EQ(target.GetPixel(6, 2), RGB(0, 0, 255));

    // Into a palette image, partly off its edge, then combined by the canvas's copy mode.
    TPixelGraphic bw;
    bw.SetSize(4, 3, bc1Bit);
    bw.SetPaletteCount(2);
    bw.SetPaletteEntry(1, RGB(255, 0, 0));
    source.DrawImage(bw.ImageCanvas(), {-1, 0, 4, 3});
    EXPECT_EQ(bw.GetPixel(0, 0), 0u);
    EXPECT_EQ(bw.GetPixel(0, 2), 1u);
    EXPECT_EQ(bw.GetPixel(3, 2), 0u);
    bw.ImageCanvas().CopyMode = TPGRasterOp::SrcInvert;
    source.DrawImage(bw.ImageCanvas(), {0, 0, 5, 3});
    EXPECT_EQ(bw.GetPixel(0, 0), 1u);
    EXPECT_EQ(bw.GetPixel(1, 0), 0u);
    EXPECT_EQ(bw.GetPixel(0, 2), 0u);
    EXPECT_EQ(bw.GetPixel(1, 2), 1u);
}
