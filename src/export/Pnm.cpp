#include "export/Pnm.h"

#include "export/SaveSettings.h"
#include "image/LibraryMessages.h"
#include "image/PGExceptions.h"
#include "image/PixelGraphic.h"
#include "image/ProgressScope.h"
#include "image/StreamErrors.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>
#include <string>

namespace {

enum class TPXMKind { Bitmap, Graymap, Pixmap };

// The writer's output in blocks of BlockSize bytes: a full block goes to the stream before the
// next byte is added, the rest when the writer finishes.
class TBlockBuffer {
public:
    static constexpr std::size_t BlockSize = 1024;

    explicit TBlockBuffer(std::ostream& stream) : FStream(stream) {}

    void Put(char c) {
        if (FCount == BlockSize)
            Flush();
        FBuffer[FCount++] = c;
    }
    void Put(std::string_view text) {
        while (!text.empty()) {
            if (FCount == BlockSize)
                Flush();
            const std::size_t n = std::min(text.size(), BlockSize - FCount);
            std::memcpy(&FBuffer[FCount], text.data(), n);
            FCount += n;
            text.remove_prefix(n);
        }
    }
    void PutNumber(unsigned value) {
        // Formatted in place when the longest number fits, else carried over the block end.
        if (BlockSize - FCount >= MaxDigits) {
            FCount = std::to_chars(&FBuffer[FCount], FBuffer.data() + BlockSize, value).ptr -
                     FBuffer.data();
            return;
        }
        char digits[MaxDigits];
        const char* end = std::to_chars(digits, digits + MaxDigits, value).ptr;
        Put(std::string_view(digits, end - digits));
    }
    // A short write raises the stream's write error instead of passing for success.
    void Flush() {
        WriteBuffer(FStream, FBuffer.data(), FCount);
        FCount = 0;
    }

private:
    static constexpr std::size_t MaxDigits = 10;

    std::ostream& FStream;
    std::array<char, BlockSize> FBuffer;
    std::size_t FCount = 0;
};

bool Accepts(TPXMKind kind, const TPixelGraphic& image) {
    switch (kind) {
    case TPXMKind::Bitmap:
        return image.BitCount() == bc1Bit || image.PaletteIdent() == pBlackWhite;
    case TPXMKind::Graymap:
        return image.BitCount() == bc8Bit || image.PaletteIdent() == pGray256;
    case TPXMKind::Pixmap:
        break;
    }
    return image.BitCount() == bc24Bit;
}

// The raw value of every pixel of image row `y`, for formats the fast paths do not read.
void RawRow(const TPixelGraphic& image, int y, std::string& row) {
    row.resize(image.Width());
    for (int x = 0; x < image.Width(); ++x)
        row[x] = static_cast<char>(image.GetPixel(x, y));
}

void WriteAsciiBitmapRow(TBlockBuffer& out, const TPixelGraphic& image, int y) {
    for (int x = 0; x < image.Width(); ++x) {
        if (x > 0)
            out.Put(' ');
        out.Put(image.GetPixel(x, y) == 0 ? '1' : '0');
    }
}

void WriteBinaryBitmapRow(TBlockBuffer& out, const TPixelGraphic& image, int y,
                          std::string& scratch) {
    const int bytes = (image.Width() + 7) / 8;
    scratch.assign(bytes, '\0');
    if (image.BitCount() == bc1Bit) {
        const std::uint8_t* line = image.ScanLine(y);
        for (int i = 0; i < bytes; ++i)
            scratch[i] = static_cast<char>(~line[i]);
    } else {
        for (int x = 0; x < image.Width(); ++x)
            if (image.GetPixel(x, y) == 0)
                scratch[x / 8] = static_cast<char>(scratch[x / 8] | (0x80 >> (x % 8)));
    }
    out.Put(scratch);
}

void WriteGraymapRow(TBlockBuffer& out, const TPixelGraphic& image, int y, bool binary,
                     std::string& scratch) {
    const char* values = reinterpret_cast<const char*>(image.ScanLine(y));
    if (image.BitCount() != bc8Bit) {
        RawRow(image, y, scratch);
        values = scratch.data();
    }
    if (binary) {
        out.Put(std::string_view(values, image.Width()));
        return;
    }
    for (int x = 0; x < image.Width(); ++x) {
        if (x > 0)
            out.Put(' ');
        out.PutNumber(static_cast<std::uint8_t>(values[x]));
    }
}

// Blue-green-red pixels to red-green-blue; the buffers do not overlap.
void SwapRedBlue(const std::uint8_t* __restrict source, std::uint8_t* __restrict target,
                 std::size_t size) {
    for (std::size_t i = 0; i < size; i += 3) {
        target[i] = source[i + 2];
        target[i + 1] = source[i + 1];
        target[i + 2] = source[i];
    }
}

void WritePixmapRow(TBlockBuffer& out, const TPixelGraphic& image, int y, bool binary,
                    std::string& scratch) {
    const std::uint8_t* p = image.ScanLine(y);
    if (binary) {
        const std::size_t size = 3 * static_cast<std::size_t>(image.Width());
        scratch.resize(size);
        SwapRedBlue(p, reinterpret_cast<std::uint8_t*>(scratch.data()), size);
        out.Put(scratch);
        return;
    }
    for (int x = 0; x < image.Width(); ++x, p += 3) {
        if (x > 0)
            out.Put(' ');
        out.PutNumber(p[2]);
        out.Put(' ');
        out.PutNumber(p[1]);
        out.Put(' ');
        out.PutNumber(p[0]);
    }
}

} // namespace

void TPXMFileFormatWriter::WriteGraphic(std::ostream& stream, TPixelGraphic& image) {
    static const std::string AllPrefix = "PBM, PGM, PPM: ";
    TPXMKind kind;
    if (Extension == "pbm")
        kind = TPXMKind::Bitmap;
    else if (Extension == "pgm")
        kind = TPXMKind::Graymap;
    else if (Extension == "ppm")
        kind = TPXMKind::Pixmap;
    else
        throw EPGPxMFileFormatWriter(AllPrefix + FormatLibraryMessage(19, Extension));
    if (image.Width() < 1 || image.Height() < 1)
        throw EPGPxMFileFormatWriter(AllPrefix + LibraryMessage(35));

    const bool binary = WriterOptionsInForce().PXMWriteBinary;
    static const char* const AsciiMagic[] = {"P1\n", "P2\n", "P3\n"};
    static const char* const BinaryMagic[] = {"P4\n", "P5\n", "P6\n"};
    const auto index = static_cast<std::size_t>(kind);
    TBlockBuffer out(stream);
    out.Put(binary ? BinaryMagic[index] : AsciiMagic[index]);
    out.PutNumber(image.Width());
    out.Put(' ');
    out.PutNumber(image.Height());
    out.Put('\n');
    if (kind != TPXMKind::Bitmap)
        out.Put("255\n");

    if (!Accepts(kind, image)) {
        static const char* const Prefix[] = {"PBM: ", "PGM: ", "PPM: "};
        throw EPGPxMFileFormatWriter(Prefix[index] + LibraryMessage(36));
    }

    std::string scratch;
    {
        const TProgressScope progress(image);
        for (int y = 0; y < image.Height(); ++y) {
            switch (kind) {
            case TPXMKind::Bitmap:
                if (binary)
                    WriteBinaryBitmapRow(out, image, y, scratch);
                else
                    WriteAsciiBitmapRow(out, image, y);
                break;
            case TPXMKind::Graymap:
                WriteGraymapRow(out, image, y, binary, scratch);
                break;
            case TPXMKind::Pixmap:
                WritePixmapRow(out, image, y, binary, scratch);
                break;
            }
            if (!binary)
                out.Put('\n');
            image.Progress(y, image.Height());
        }
    }
    out.Flush();
}
