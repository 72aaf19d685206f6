#pragma once

class TPixelGraphic;
struct TFractalParams;

// A rectangle of image pixels.
struct TPixelRect {
    int Left = 0;
    int Top = 0;
    int Width = 0;
    int Height = 0;
};

// The plane rectangle a document shows: a centre and a magnification M (the base square has
// half side 2 / M), fitted to the image so that its pixels are square. Row 0 (the top row) of
// the image shows YMin.
//
// This is the document's zoom: Magnification and the zoom target choose which part of the
// plane is rendered. The image view's ZoomFactor is another thing; it only scales the finished
// picture on the screen.
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
    // Readies a block for a run on a fresh picture: `image` becomes a 24-bit picture of
    // width x height and the block's image, and the rectangle is fitted to it and copied in.
    void PrepareRun(TFractalParams& params, TPixelGraphic& image, int width, int height);

    // A rectangle of the same mean side as width x height, centred on (centreX, centreY), with
    // the proportions of an image of imageWidth x imageHeight pixels, so that the zoom keeps
    // square pixels. Rounding works on the unrounded products, halves to even.
    static TPixelRect ProportionalRect(double centreX, double centreY, int width, int height,
                                       int imageWidth, int imageHeight);
    // Sets the zoom target to the part of the current rectangle that `rect` covers in an image
    // of imageWidth x imageHeight pixels. A target without extent gets SelMagnification 0.
    void SetZoomTarget(const TPixelRect& rect, int imageWidth, int imageHeight);
    // A target of zero extent cannot be shown: the fitting would divide by zero.
    bool ZoomTargetHasExtent() const { return SelMagnification != 0.0; }
    // Makes the zoom target the view; the next fitting adapts it to the image.
    void ZoomToTarget();
};
