#include "export/WriterProgress.h"

#include "image/PixelGraphic.h"

void WriterProgressStart(TPixelGraphic& image) {
    if (image.OnProgressStart)
        image.OnProgressStart(image);
}

void WriterProgress(TPixelGraphic& image, int step, int max) {
    if (image.OnProgress) {
        bool abort = false;
        image.OnProgress(image, step, max, abort);
    }
}

void WriterProgressEnd(TPixelGraphic& image) {
    if (image.OnProgressEnd)
        image.OnProgressEnd(image);
}
