#include "export/Targa.h"

#include "image/LibraryMessages.h"
#include "image/LittleEndian.h"
#include "image/PGExceptions.h"
#include "image/PixelGraphic.h"
#include "image/ProgressScope.h"
#include "image/StreamErrors.h"

#include <array>
#include <cstdint>
#include <limits>
#include <vector>

void TTGAFileFormatWriter::WriteGraphic(std::ostream& stream, TPixelGraphic& image) {
    // The header holds the size in 16 bits; a larger picture would come out garbled.
    constexpr int MaxSide = std::numeric_limits<std::uint16_t>::max();
    if (image.Width() > MaxSide)
        throw EPixelGraphic(FormatLibraryMessage(41, "Width"));
    if (image.Height() > MaxSide)
        throw EPixelGraphic(FormatLibraryMessage(41, "Height"));

    const bool trueColor = image.BitCount() == bc24Bit;
    const int entries = trueColor ? 0 : image.PaletteCount();
    std::array<std::uint8_t, 18> header{};
    header[1] = trueColor ? 0 : 1;
    header[2] = trueColor ? 2 : 1;
    PutLE16(&header[5], static_cast<std::uint32_t>(entries));
    header[7] = trueColor ? 0 : 24;
    PutLE16(&header[12], static_cast<std::uint32_t>(image.Width()));
    PutLE16(&header[14], static_cast<std::uint32_t>(image.Height()));
    header[16] = trueColor ? 24 : 8;
    WriteBuffer(stream, header.data(), header.size());

    if (!trueColor) {
        std::vector<std::uint8_t> colorMap;
        colorMap.reserve(3 * entries);
        for (TColor color : image.PaletteEntries()) {
            colorMap.push_back(GetBValue(color));
            colorMap.push_back(GetGValue(color));
            colorMap.push_back(GetRValue(color));
        }
        colorMap.resize(3 * entries);
        WriteBuffer(stream, colorMap.data(), colorMap.size());
    }

    if (image.Height() <= 0)
        return;
    const std::size_t rowBytes = static_cast<std::size_t>(image.Width()) * (trueColor ? 3 : 1);
    const std::uint8_t* row = image.Bits();
    const TProgressScope progress(image);
    for (int y = 0; y < image.Height(); ++y, row += image.BytesPerRow()) {
        WriteBuffer(stream, row, rowBytes);
        image.Progress(y, image.Height());
    }
}
