#pragma once

#include "export/FileFormatWriter.h"

// PNG files through the PNG library: 256-grey images as greyscale, other palette images as
// palette colour with the image's own bit depth, 24-bit images as RGB.
class TPNGFileFormatWriter : public TFileFormatWriter {
public:
    void WriteGraphic(std::ostream& stream, TPixelGraphic& image) override;
};

// Whether a PNG file can record the gamma of pictures made for `screenGamma`: the file stores
// 1 / screenGamma as 100000 times its value rounded, which must lie within 16 .. 625000000.
bool PngCanStoreScreenGamma(long double screenGamma);
