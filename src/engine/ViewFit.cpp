#include "engine/ViewFit.h"

#include "engine/FractalParams.h"

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
