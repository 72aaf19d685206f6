#include "image/PixelGraphic.h"

#include "image/LibraryMessages.h"
#include "image/LittleEndian.h"
#include "image/PGExceptions.h"
#include "image/StreamErrors.h"

#include <algorithm>
#include <cstring>
#include <istream>
#include <limits>
#include <ostream>

namespace {

std::uint32_t BMPFileSize(int paletteCount, int imageSize) {
    return static_cast<std::uint32_t>(TPixelGraphic::BitmapFileHeaderSize +
                                      TPixelGraphic::BitmapInfoHeaderSize) +
           4 * static_cast<std::uint32_t>(paletteCount) + static_cast<std::uint32_t>(imageSize);
}

[[noreturn]] void RaiseBMP(int row, std::string_view s1 = {}) {
    throw EPGBMPFileFormatReader(FormatLibraryMessage(row, s1));
}

} // namespace

void TPixelGraphic::WriteDIB(std::ostream& stream) const {
    if (FGdiPending)
        FlushPendingDrawing();
    const auto header = InfoHeader(FPaletteCount);
    WriteBuffer(stream, header.data(), header.size());
    std::vector<std::uint8_t> table(4 * static_cast<std::size_t>(FPaletteCount));
    for (std::size_t i = 0; i < FPaletteEntries.size(); ++i) {
        table[4 * i] = GetBValue(FPaletteEntries[i]);
        table[4 * i + 1] = GetGValue(FPaletteEntries[i]);
        table[4 * i + 2] = GetRValue(FPaletteEntries[i]);
    }
    WriteBuffer(stream, table.data(), table.size());
    if (FBits)
        WriteBuffer(stream, FBits, static_cast<std::size_t>(FImageSize));
}

void TPixelGraphic::SaveImageStream(std::ostream& stream) const {
    std::uint8_t header[BitmapFileHeaderSize] = {'B', 'M'};
    PutLE32(header + 2, BMPFileSize(FPaletteCount, FImageSize));
    PutLE32(header + 10, BMPFileSize(FPaletteCount, 0));
    WriteBuffer(stream, header, sizeof header);
    WriteDIB(stream);
}

void TPixelGraphic::WriteStoredImage(std::ostream& stream) const {
    std::uint8_t length[4];
    PutLE32(length, BMPFileSize(FPaletteCount, FImageSize));
    WriteBuffer(stream, length, sizeof length);
    SaveImageStream(stream);
}

void TPixelGraphic::ReadStoredImage(std::istream& stream) {
    std::uint8_t length[4];
    ReadBuffer(stream, length, sizeof length);
    // The length comes from the stream: grow the buffer only as far as bytes really arrive.
    constexpr std::size_t chunk = 1 << 20;
    const std::size_t total = GetLE32(length);
    std::vector<std::uint8_t> file;
    while (file.size() < total) {
        const std::size_t start = file.size();
        const std::size_t count = std::min(chunk, total - start);
        file.resize(start + count);
        ReadBuffer(stream, file.data() + start, count);
    }
    BeginUpdate();
    try {
        SetSize(0, 0, bc24Bit);
        ReadBMP(file);
        IdentifyPalette();
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

void TPixelGraphic::ReadBMP(const std::vector<std::uint8_t>& file) {
    if (file.size() < BitmapFileHeaderSize + BitmapInfoHeaderSize)
        RaiseBMP(32);
    const std::uint8_t* data = file.data();
    if (data[0] != 'B' || data[1] != 'M')
        RaiseBMP(34, "BMP");
    const std::size_t headerSize = GetLE32(data + 14);
    if (headerSize < BitmapInfoHeaderSize)
        RaiseBMP(33);
    if (headerSize > file.size() - BitmapFileHeaderSize)
        RaiseBMP(32);
    const auto width = static_cast<std::int32_t>(GetLE32(data + 18));
    const auto storedHeight = static_cast<std::int32_t>(GetLE32(data + 22));
    const std::uint32_t bitCountNum = GetLE16(data + 28);
    if (GetLE32(data + 30) != 0 ||
        (bitCountNum != 1 && bitCountNum != 4 && bitCountNum != 8 && bitCountNum != 24))
        RaiseBMP(30);
    if (width < 0 || storedHeight == std::numeric_limits<std::int32_t>::min())
        RaiseBMP(27, "BMP");
    const TPGBitCount bitCount = BitCountFromNum(static_cast<int>(bitCountNum));
    // A negative height marks rows stored top-down.
    const bool topDown = storedHeight < 0;
    const int height = topDown ? -storedHeight : storedHeight;

    const std::size_t tableStart = BitmapFileHeaderSize + headerSize;
    const std::size_t pixelStart = GetLE32(data + 10);
    if (pixelStart < tableStart || pixelStart > file.size())
        RaiseBMP(32);
    const std::size_t slots = static_cast<std::size_t>(PaletteSlots(bitCount));
    const std::size_t colorsUsed = GetLE32(data + 46);
    const std::size_t entries =
        std::min(slots, colorsUsed != 0 ? colorsUsed : (pixelStart - tableStart) / 4);
    if (entries > (pixelStart - tableStart) / 4)
        RaiseBMP(32);
    const std::uint64_t bytesPerRow =
        (std::uint64_t{bitCountNum} * static_cast<std::uint32_t>(width) + 31) / 32 * 4;
    if (bytesPerRow * static_cast<std::uint32_t>(height) > file.size() - pixelStart)
        RaiseBMP(32);

    SetSize(width, height, bitCount);
    SetPaletteCount(static_cast<int>(entries));
    for (std::size_t i = 0; i < entries; ++i) {
        const std::uint8_t* bgr = data + tableStart + 4 * i;
        SetPaletteEntry(static_cast<int>(i), RGB(bgr[2], bgr[1], bgr[0]));
    }
    if (!FBits)
        return;
    for (int row = 0; row < height; ++row) {
        // Stored row `row` is image row `row` when top-down, else counted from the bottom.
        const int imageRow = topDown ? row : height - 1 - row;
        std::memcpy(ScanLine(imageRow),
                    data + pixelStart + bytesPerRow * static_cast<std::size_t>(row),
                    static_cast<std::size_t>(FBytesPerRow));
    }
}

void TPixelGraphic::LoadImageFile(const std::string& /*fileName*/) {
    BeginUpdate();
    try {
        SetSize(0, 0, bc24Bit);
        throw EPGUnknownFileFormat(LibraryMessage(6));
    } catch (...) {
        EndUpdate();
        throw;
    }
}
