#pragma once

#include "export/FileFormatWriter.h"

// Uncompressed Truevision Targa: 24-bit true colour or 8-bit colour-mapped.
class TTGAFileFormatWriter : public TFileFormatWriter {
public:
    void WriteGraphic(std::ostream& stream, TPixelGraphic& image) override;
};
