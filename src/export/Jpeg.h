#pragma once

#include "export/FileFormatWriter.h"

// JFIF files through the JPEG library: 8-bit grey images as one-component greyscale, 24-bit
// images as colour.
class TJPGFileFormatWriter : public TFileFormatWriter {
public:
    void WriteGraphic(std::ostream& stream, TPixelGraphic& image) override;
};

// The same format under the extension "jpeg".
class TJPEGFileFormatWriter : public TJPGFileFormatWriter {};

// The same format under the extension "jif".
class TJIFFileFormatWriter : public TJPGFileFormatWriter {};
