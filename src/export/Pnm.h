#pragma once

#include "export/FileFormatWriter.h"

// The portable anymaps (PBM, PGM, PPM), ASCII or binary after the writer option PXMWriteBinary;
// the variant follows the writer's extension.
class TPXMFileFormatWriter : public TFileFormatWriter {
public:
    void WriteGraphic(std::ostream& stream, TPixelGraphic& image) override;
};

class TPBMFileFormatWriter : public TPXMFileFormatWriter {};
class TPGMFileFormatWriter : public TPXMFileFormatWriter {};
class TPPMFileFormatWriter : public TPXMFileFormatWriter {};
