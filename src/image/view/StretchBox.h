#pragma once

#include "image/view/PGImage.h"

// A paint-box size and the scale it shows the picture at; Zoom is -1 when the two axes are
// scaled by different factors.
struct TBoxSize {
    int Width = 0;
    int Height = 0;
    long double Zoom = 1.0L;
};

// The paint box for a picture in the available client area under a stretch rule. The scroll
// bar extents matter to the rules that decide whether a picture will scroll.
TBoxSize StretchBox(TStretch stretch, int pictureWidth, int pictureHeight, int availableWidth,
                    int availableHeight, int hScrollBarHeight, int vScrollBarWidth,
                    long double zoomFactor);
