#include "export/Tiff.h"

#include "export/PackBits.h"
#include "export/SaveSettings.h"
#include "export/TiffOutput.h"
#include "image/LibraryMessages.h"
#include "image/PGExceptions.h"
#include "image/PixelGraphic.h"
#include "image/ProgressScope.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

enum TTiffFieldType : std::uint16_t { ftShort = 3, ftLong = 4, ftRational = 5 };

// Uncompressed strips stay below 32 KB.
constexpr std::size_t MaxStripBytes = 32767;

enum TTiffPhotometric : std::uint16_t {
    phWhiteIsZero = 0,
    phBlackIsZero = 1,
    phRGB = 2,
    phPalette = 3,
    phSeparated = 5
};

// How the image's pixels become the file's samples.
struct TTiffSamples {
    int Bits;                  // bits per pixel of the image: 1, 4, 8 or 24
    std::uint16_t Photometric; // TTiffPhotometric
    std::uint16_t PerPixel;    // samples per pixel
    bool Invert;               // grey levels counted from white
    std::size_t RowBytes;
};

TTiffSamples ChooseSamples(const TPixelGraphic& image, const TPGWriterOptions& options) {
    const std::size_t width = static_cast<std::size_t>(image.Width());
    const bool whiteIsZero = options.TIFFWriteWhiteIsZero;
    const std::uint16_t grey = whiteIsZero ? phWhiteIsZero : phBlackIsZero;
    switch (image.BitCount()) {
    case bc1Bit:
        return {1, grey, 1, whiteIsZero && image.PaletteIdent() == pBlackWhite, (width + 7) / 8};
    case bc4Bit:
        if (image.PaletteIdent() == pGray16)
            return {4, grey, 1, whiteIsZero, (width + 1) / 2};
        return {4, phPalette, 1, false, (width + 1) / 2};
    case bc8Bit:
        if (image.PaletteIdent() == pGray256)
            return {8, grey, 1, whiteIsZero, width};
        return {8, phPalette, 1, false, width};
    case bc24Bit:
        break;
    }
    if (options.TIFFWriteCMYK)
        return {24, phSeparated, 4, false, 4 * width};
    return {24, phRGB, 3, false, 3 * width};
}

// Fills `row` (RowBytes long) with the file's samples of one image row.
void PackRow(const std::uint8_t* source, int width, const TTiffSamples& samples,
             std::uint8_t* row) {
    const std::size_t count = samples.RowBytes;
    switch (samples.Photometric) {
    case phRGB:
        for (int x = 0; x < width; ++x, source += 3, row += 3) {
            row[0] = source[2];
            row[1] = source[1];
            row[2] = source[0];
        }
        return;
    case phSeparated:
        for (int x = 0; x < width; ++x, source += 3, row += 4) {
            const std::uint8_t c = 255 - source[2];
            const std::uint8_t m = 255 - source[1];
            const std::uint8_t y = 255 - source[0];
            const std::uint8_t k = std::min({c, m, y});
            row[0] = c - k;
            row[1] = m - k;
            row[2] = y - k;
            row[3] = k;
        }
        return;
    default:
        break;
    }
    std::memcpy(row, source, count);
    if (samples.Invert)
        for (std::size_t i = 0; i < count; ++i)
            row[i] = static_cast<std::uint8_t>(~row[i]);
    // Pixels beyond the width in the last byte are written as zero bits.
    const int usedBits = (width * samples.Bits) % 8;
    if (usedBits != 0)
        row[count - 1] &= static_cast<std::uint8_t>(0xFF << (8 - usedBits));
}

// Writes one directory entry and returns the offset of the entry.
class TDirectoryWriter {
public:
    explicit TDirectoryWriter(TTiffOutput& out) : FOut(out) {}

    std::uint32_t Entry(std::uint16_t tag, TTiffFieldType type, std::uint32_t count,
                        std::uint32_t value) {
        const std::uint32_t position = FOut.Offset();
        FOut.Write16(tag);
        FOut.Write16(type);
        FOut.Write32(count);
        if (type == ftShort && count == 1) {
            FOut.Write16(static_cast<std::uint16_t>(value));
            FOut.Write16(0);
        } else {
            FOut.Write32(value);
        }
        ++FCount;
        return position;
    }
    std::uint16_t Count() const { return FCount; }

private:
    TTiffOutput& FOut;
    std::uint16_t FCount = 0;
};

// An entry whose value field receives the offset of data written behind the directory.
struct TDeferredOffset {
    std::uint32_t Entry;
    std::uint32_t Item;
};

void WriteValueField(TTiffOutput& out, std::uint32_t entry, std::uint32_t value) {
    out.Seek(entry + 8);
    out.Write32(value);
}

void WriteTable(TTiffOutput& out, const std::vector<std::uint32_t>& table) {
    for (std::uint32_t value : table)
        out.Write32(value);
}

} // namespace

void TTIFFileFormatWriter::WriteGraphic(std::ostream& stream, TPixelGraphic& image) {
    WriteHeader(stream);
    WriteImage(stream, image);
    WriteTrailer(stream);
}

void TTIFFileFormatWriter::WriteHeader(std::ostream& stream) {
    FMotorolaOrder = WriterOptionsInForce().TIFFWriteMotorolaOrder;
    FBase = TTiffOutput::StreamPosition(stream);
    TTiffOutput out(stream, FBase, FMotorolaOrder);
    out.WriteBytes(FMotorolaOrder ? "MM" : "II", 2);
    out.Write16(42);
    FNextIFDSlot = out.Offset();
    out.Write32(0);
}

void TTIFFileFormatWriter::WriteImage(std::ostream& stream, TPixelGraphic& image) {
    const TPGWriterOptions& options = WriterOptionsInForce();
    const int width = image.Width();
    const int height = image.Height();
    // A TIFF image needs at least one row and one column (and the strip arithmetic divides by
    // the row length).
    if (width < 1 || height < 1)
        throw EPGTIFFileFormatWriter("TIFF: " + LibraryMessage(35));

    const TTiffSamples samples = ChooseSamples(image, options);
    const std::int32_t compression = options.TIFFWriteCompression;
    const bool packBits = compression == TiffPackBitsCompression;
    const std::size_t stripUnit = packBits ? 2 * samples.RowBytes : samples.RowBytes;
    const int rowsPerStrip = static_cast<int>(
        std::clamp<std::size_t>(MaxStripBytes / stripUnit, 1, static_cast<std::size_t>(height)));
    const int strips = (height + rowsPerStrip - 1) / rowsPerStrip;
    std::vector<std::uint32_t> stripOffsets(strips);
    std::vector<std::uint32_t> stripByteCounts(strips);

    TTiffOutput out(stream, FBase, FMotorolaOrder);
    const std::uint32_t directory = out.Offset();
    out.Seek(FNextIFDSlot);
    out.Write32(directory);
    out.Seek(directory);

    out.Write16(0);
    TDirectoryWriter entries(out);
    std::vector<TDeferredOffset> deferred;
    const bool colorMap = samples.Photometric == phPalette;
    const std::uint32_t colorMapValues = colorMap ? 3u << samples.Bits : 0;
    entries.Entry(254, ftLong, 1, 0);
    entries.Entry(256, ftLong, 1, static_cast<std::uint32_t>(width));
    entries.Entry(257, ftLong, 1, static_cast<std::uint32_t>(height));
    const std::uint32_t bitsEntry =
        entries.Entry(258, ftShort, samples.PerPixel, samples.Bits == 24 ? 0 : samples.Bits);
    if (compression != TiffNoCompression && !packBits)
        throw EPGTIFFileFormatWriter("TIFF: Internal Error");
    entries.Entry(259, ftShort, 1, static_cast<std::uint32_t>(compression));
    entries.Entry(262, ftShort, 1, samples.Photometric);
    const std::uint32_t offsetsEntry = entries.Entry(273, ftLong, strips, 0);
    entries.Entry(277, ftShort, 1, samples.PerPixel);
    entries.Entry(278, ftLong, 1, static_cast<std::uint32_t>(rowsPerStrip));
    const std::uint32_t countsEntry = entries.Entry(279, ftLong, strips, 0);
    const std::uint32_t xResEntry = entries.Entry(282, ftRational, 1, 0);
    const std::uint32_t yResEntry = entries.Entry(283, ftRational, 1, 0);
    entries.Entry(296, ftShort, 1, options.TIFFWriteResUnit + 1u);
    std::uint32_t colorMapEntry = 0;
    if (colorMap)
        colorMapEntry = entries.Entry(320, ftShort, colorMapValues, 0);
    FNextIFDSlot = out.Offset();
    out.Write32(0);

    if (colorMap) {
        deferred.push_back({colorMapEntry, out.Offset()});
        const std::vector<TColor>& palette = image.PaletteEntries();
        const std::uint32_t perColor = colorMapValues / 3;
        for (int shift : {0, 8, 16})
            for (std::uint32_t i = 0; i < perColor; ++i)
                out.Write16(i < palette.size() ? ((palette[i] >> shift) & 0xFF) << 8 : 0);
    }
    if (samples.Bits == 24) {
        deferred.push_back({bitsEntry, out.Offset()});
        for (int i = 0; i < samples.PerPixel; ++i)
            out.Write16(8);
    }
    deferred.push_back({xResEntry, out.Offset()});
    out.Write32(static_cast<std::uint32_t>(options.TIFFWriteXResNumerator));
    out.Write32(static_cast<std::uint32_t>(options.TIFFWriteXResDenominator));
    deferred.push_back({yResEntry, out.Offset()});
    out.Write32(static_cast<std::uint32_t>(options.TIFFWriteYResNumerator));
    out.Write32(static_cast<std::uint32_t>(options.TIFFWriteYResDenominator));
    std::uint32_t offsetsArray = 0;
    std::uint32_t countsArray = 0;
    if (strips > 1) {
        offsetsArray = out.Offset();
        deferred.push_back({offsetsEntry, offsetsArray});
        WriteTable(out, stripOffsets);
        countsArray = out.Offset();
        deferred.push_back({countsEntry, countsArray});
        WriteTable(out, stripByteCounts);
    }

    out.Seek(directory);
    out.Write16(entries.Count());
    for (const TDeferredOffset& item : deferred)
        WriteValueField(out, item.Entry, item.Item);
    out.SeekEnd();

    std::vector<std::uint8_t> row(samples.RowBytes);
    TPackBitsEncoder encoder;
    {
        const TProgressScope progress(image);
        for (int y = 0; y < height; ++y) {
            const int strip = y / rowsPerStrip;
            if (y % rowsPerStrip == 0) {
                if (out.Offset() % 2 != 0) {
                    const std::uint8_t pad = 0;
                    out.WriteBytes(&pad, 1);
                }
                stripOffsets[strip] = out.Offset();
            }
            PackRow(image.ScanLine(y), width, samples, row.data());
            if (packBits) {
                std::size_t size = 0;
                const std::uint8_t* packed = encoder.Encode(row.data(), row.size(), size);
                out.WriteBytes(packed, size);
            } else {
                out.WriteBytes(row.data(), row.size());
            }
            if (y % rowsPerStrip == rowsPerStrip - 1 || y == height - 1)
                stripByteCounts[strip] = out.Offset() - stripOffsets[strip];
            image.Progress(y, height - 1);
        }
    }

    if (strips == 1) {
        WriteValueField(out, offsetsEntry, stripOffsets[0]);
        WriteValueField(out, countsEntry, stripByteCounts[0]);
    } else {
        out.Seek(offsetsArray);
        WriteTable(out, stripOffsets);
        out.Seek(countsArray);
        WriteTable(out, stripByteCounts);
    }
    out.SeekEnd();
}

void TTIFFileFormatWriter::WriteTrailer(std::ostream&) {}
