#pragma once

struct TFractalParams;

// The plane rectangle a document shows: a centre and a magnification M (the base square has
// half side 2 / M), fitted to the image so that its pixels are square. Row 0 (the top row) of
// the image shows YMin.
struct TViewFit {
    double XCenter = 0.0;
    double YCenter = 0.0;
    double Magnification = 0.5;
    double XMin = -2.0;
    double XMax = 2.0;
    double YMin = -2.0;
    double YMax = 2.0;
    double HalfSpanX = 0.0;
    double HalfSpanY = 0.0;
    double AspectX = 0.0;
    double AspectY = 0.0;
    // The zoom target: the rectangle and magnification the next zoom will show.
    double SelXMin = -2.0;
    double SelXMax = 2.0;
    double SelYMin = -2.0;
    double SelYMax = 2.0;
    double SelXCenter = 0.0;
    double SelYCenter = 0.0;
    double SelMagnification = 0.5;

    // Back to the default view, centre (0, 0) and magnification 0.5; the zoom target's centre
    // is left as it is. The rectangle itself is replaced by the next fitting.
    void ResetCoordinates();
    // Fits the rectangle around the centre to an image of width x height pixels.
    void AdjustCoords(int width, int height);
    // Copies the rectangle into the block's view fields.
    void CopyToParams(TFractalParams& params) const;
};
