#include "image/view/StretchBox.h"

#include <cmath>

namespace {

struct TArea {
    int PictureWidth;
    int PictureHeight;
    int Width;
    int Height;
    int HBar;
    int VBar;

    long double PictureRatio() const {
        return static_cast<long double>(PictureWidth) / PictureHeight;
    }
    long double AreaRatio() const { return static_cast<long double>(Width) / Height; }
};

int Trunc(long double value) {
    return static_cast<int>(std::trunc(value));
}

TBoxSize ByHeight(const TArea& a, int height) {
    return {Trunc(static_cast<long double>(height) * a.PictureWidth / a.PictureHeight), height,
            static_cast<long double>(height) / a.PictureHeight};
}

TBoxSize ByWidth(const TArea& a, int width) {
    return {width, Trunc(width / a.PictureRatio()),
            static_cast<long double>(width) / a.PictureWidth};
}

// The largest size with the picture's aspect ratio that fits the area.
TBoxSize Fit(const TArea& a) {
    return a.PictureRatio() <= a.AreaRatio() ? ByHeight(a, a.Height) : ByWidth(a, a.Width);
}

// Fit, unless that leaves room beside a scroll bar: then the picture fills the area across and
// scrolls along its longer edge.
TBoxSize LongerEdge(const TArea& a) {
    const TBoxSize fit = Fit(a);
    if (fit.Width >= a.Width - a.VBar && fit.Height >= a.Height - a.HBar)
        return fit;
    return a.PictureRatio() < a.AreaRatio() ? ByWidth(a, a.Width - a.VBar)
                                            : ByHeight(a, a.Height - a.HBar);
}

bool ShrinkLongerEdgeApplies(const TArea& a) {
    return (a.PictureWidth > a.Width && a.PictureHeight > a.Height - a.HBar) ||
           (a.PictureWidth > a.Width - a.VBar && a.PictureHeight > a.Height);
}

TBoxSize Shrink(const TArea& a) {
    TBoxSize box{a.PictureWidth, a.PictureHeight, 1.0L};
    if (a.PictureWidth > a.Width)
        box = {a.Width, box.Height, -1.0L};
    if (a.PictureHeight > a.Height)
        box = {box.Width, a.Height, -1.0L};
    return box;
}

TBoxSize Enlarge(const TArea& a) {
    const int clientHeight = a.Height - (a.PictureWidth > a.Width ? a.HBar : 0);
    const int clientWidth = a.Width - (a.PictureHeight > a.Height ? a.VBar : 0);
    TBoxSize box{a.PictureWidth, a.PictureHeight, 1.0L};
    if (clientWidth > a.PictureWidth)
        box = {clientWidth, box.Height, -1.0L};
    if (a.PictureHeight < clientHeight)
        box = {box.Width, clientHeight, -1.0L};
    return box;
}

TBoxSize Zoomed(const TArea& a, long double zoomFactor) {
    const long double zoom = zoomFactor > 0 ? zoomFactor : 1.0L;
    return {static_cast<int>(std::nearbyint(a.PictureWidth * zoom)),
            static_cast<int>(std::nearbyint(a.PictureHeight * zoom)), zoom};
}

} // namespace

TBoxSize StretchBox(TStretch stretch, int pictureWidth, int pictureHeight, int availableWidth,
                    int availableHeight, int hScrollBarHeight, int vScrollBarWidth,
                    long double zoomFactor) {
    const TBoxSize natural{pictureWidth, pictureHeight, 1.0L};
    if (pictureWidth <= 0 || pictureHeight <= 0 || availableWidth <= 0 || availableHeight <= 0)
        return natural;
    const TArea a{pictureWidth,    pictureHeight,    availableWidth,
                  availableHeight, hScrollBarHeight, vScrollBarWidth};
    const bool larger = pictureWidth > availableWidth || pictureHeight > availableHeight;
    const bool smaller = pictureWidth < availableWidth && pictureHeight < availableHeight;
    switch (stretch) {
    case sNeverKAR:
        return natural;
    case sAlways:
        return {availableWidth, availableHeight, -1.0L};
    case sAlwaysKAR:
        return Fit(a);
    case sShrink:
        return Shrink(a);
    case sShrinkKAR:
        return larger ? Fit(a) : natural;
    case sEnlarge:
        return Enlarge(a);
    case sEnlargeKAR:
        return smaller ? Fit(a) : natural;
    case sAlwaysLongerEdgeKAR:
        return LongerEdge(a);
    case sShrinkLongerEdgeKAR:
        return ShrinkLongerEdgeApplies(a) ? LongerEdge(a) : natural;
    case sEnlargeShrinkLongerEdgeKAR:
        if (smaller)
            return Fit(a);
        return ShrinkLongerEdgeApplies(a) ? LongerEdge(a) : natural;
    case sEnlargeLongerEdgeKAR:
        return pictureWidth < availableWidth || pictureHeight < availableHeight ? LongerEdge(a)
                                                                                : natural;
    case sZoomKAR:
        return Zoomed(a, zoomFactor);
    }
    return natural;
}
