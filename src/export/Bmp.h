#pragma once

#include "export/FileFormatWriter.h"

// Windows bitmap files: the image's own device-independent bitmap behind a 14-byte file header.
class TBMPFileFormatWriter : public TFileFormatWriter {
public:
    void WriteGraphic(std::ostream& stream, TPixelGraphic& image) override;
};

// The same format under the extension "dib".
class TDIBFileFormatWriter : public TBMPFileFormatWriter {};
