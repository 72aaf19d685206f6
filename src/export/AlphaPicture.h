#pragma once

#include "export/SaveSettings.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class TPixelGraphic;

// A 24-bit picture with an opacity for each pixel (0 transparent to 255 opaque, unassociated:
// the colour is the pixel's own, not multiplied by it), saved as 8-bit RGBA. Only PNG (through
// the PNG library) and TIFF (through libtiff) hold it.
class TAlphaPicture {
public:
    // `colour` must stay alive and keep its size; `alpha` has one byte a pixel, rows from the
    // top.
    TAlphaPicture(TPixelGraphic& colour, std::vector<std::uint8_t> alpha);

    // Whether a file of this extension ("png", "tif", ...; any case) can hold the opacity.
    static bool CanSave(std::string_view extension);
    // Saves through a temporary that replaces the file only when complete, as every save;
    // raises the library's exceptions, and EPGUnknownExtension for other formats.
    void Save(const std::string& fileName, const TPGSaveSettings& settings) const;

private:
    void WritePng(std::ostream& stream, const TPGSaveSettings& settings) const;
    void WriteTiff(std::ostream& stream, const std::string& fileName) const;

    TPixelGraphic& FColour;
    std::vector<std::uint8_t> FAlpha;
};
