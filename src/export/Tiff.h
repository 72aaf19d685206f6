#pragma once

#include "export/FileFormatWriter.h"

#include <cstdint>

// Baseline TIFF with one image: bilevel, grey, palette, RGB or CMYK, uncompressed or PackBits,
// in either byte order. Writing seeks back into the directory, so the stream must be seekable.
class TTIFFileFormatWriter : public TFileFormatWriter {
public:
    void WriteGraphic(std::ostream& stream, TPixelGraphic& image) override;
    // The byte-order mark, 42 and an empty first-directory offset.
    void WriteHeader(std::ostream& stream) override;
    // One directory with its data and strips, linked into the previous next-directory field.
    void WriteImage(std::ostream& stream, TPixelGraphic& image) override;
    void WriteTrailer(std::ostream& stream) override;

private:
    // Stream position at which the file starts; every offset in the file is relative to it.
    std::int64_t FBase = 0;
    // Offset of the field that receives the offset of the next directory.
    std::uint32_t FNextIFDSlot = 0;
    bool FMotorolaOrder = false;
};

// The same format under the extension "tiff".
class TTIFFFileFormatWriter : public TTIFFileFormatWriter {};
