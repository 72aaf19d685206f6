#include "engine/ViewFit.h"

#include "engine/EngineMath.h"
#include "engine/FractalParams.h"
#include "image/PixelGraphic.h"

#include <cmath>

void TViewFit::ResetCoordinates() {
    Magnification = 0.5;
    SelMagnification = 0.5;
    XMin = YMin = SelXMin = SelYMin = -2.0;
    XMax = YMax = SelXMax = SelYMax = 2.0;
    XCenter = XMin + (XMax - XMin) * 0.5;
    YCenter = YMin + (YMax - YMin) * 0.5;
}

void TViewFit::AdjustCoords(int width, int height) {
    HalfSpanX = HalfSpanY = 2.0 / Magnification;
    const double w = width;
    const double h = height;
    AspectX = w / h;
    AspectX = AspectX + (1.0 - AspectX) * 0.5;
    AspectY = h / w;
    AspectY = AspectY + (1.0 - AspectY) * 0.5;
    XMin = XCenter - HalfSpanX * AspectX;
    XMax = XCenter + HalfSpanX * AspectX;
    YMin = YCenter - HalfSpanY * AspectY;
    YMax = YCenter + HalfSpanY * AspectY;
}

void TViewFit::CopyToParams(TFractalParams& params) const {
    params.ViewXMin = XMin;
    params.ViewYMin = YMin;
    params.ViewXMax = XMax;
    params.ViewYMax = YMax;
}

void TViewFit::PrepareRun(TFractalParams& params, TPixelGraphic& image, int width, int height) {
    image.SetSize(width, height, bc24Bit);
    params.Image = &image;
    params.ImageWidth = width;
    params.ImageHeight = height;
    AdjustCoords(width, height);
    CopyToParams(params);
}

TPixelRect TViewFit::ProportionalRect(double centreX, double centreY, int width, int height,
                                      int imageWidth, int imageHeight) {
    const double meanImageSide = (imageWidth + imageHeight) * 0.5;
    const double meanSide = (width + height) * 0.5;
    const double newWidth = imageWidth / meanImageSide * meanSide;
    const double newHeight = imageHeight / meanImageSide * meanSide;
    TPixelRect rect;
    rect.Width = RoundToInt32(newWidth);
    rect.Left = RoundToInt32(centreX - newWidth * 0.5);
    rect.Height = RoundToInt32(newHeight);
    rect.Top = RoundToInt32(centreY - newHeight * 0.5);
    return rect;
}

void TViewFit::SetZoomTarget(const TPixelRect& rect, int imageWidth, int imageHeight) {
    SelXMin = XMin + (XMax - XMin) * rect.Left / imageWidth;
    SelXMax = XMin + (XMax - XMin) * (rect.Left + rect.Width) / imageWidth;
    SelYMin = YMin + (YMax - YMin) * rect.Top / imageHeight;
    SelYMax = YMin + (YMax - YMin) * (rect.Top + rect.Height) / imageHeight;
    SelXCenter = SelXMin + (SelXMax - SelXMin) * 0.5;
    SelYCenter = SelYMin + (SelYMax - SelYMin) * 0.5;
    // The mean half extent of the target.
    const double halfExtent =
        (std::fabs(SelXMax - SelXMin) * 0.5 + std::fabs(SelYMax - SelYMin) * 0.5) * 0.5;
    SelMagnification = halfExtent != 0.0 ? 2.0 / halfExtent : 0.0;
}

void TViewFit::ZoomToTarget() {
    XMin = SelXMin;
    XMax = SelXMax;
    YMin = SelYMin;
    YMax = SelYMax;
    XCenter = XMin + (XMax - XMin) * 0.5;
    YCenter = YMin + (YMax - YMin) * 0.5;
    Magnification = SelMagnification;
}
