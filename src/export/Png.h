#pragma once

#include "export/FileFormatWriter.h"

// PNG files through the PNG library: 256-grey images as greyscale, other palette images as
// palette colour with the image's own bit depth, 24-bit images as RGB.
class TPNGFileFormatWriter : public TFileFormatWriter {
public:
    void WriteGraphic(std::ostream& stream, TPixelGraphic& image) override;
};
