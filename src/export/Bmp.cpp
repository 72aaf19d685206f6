#include "export/Bmp.h"

#include "image/PixelGraphic.h"

void TBMPFileFormatWriter::WriteGraphic(std::ostream& stream, TPixelGraphic& image) {
    image.SaveImageStream(stream);
}
