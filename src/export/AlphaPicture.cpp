#include "export/AlphaPicture.h"

#include "export/FileFormatWriters.h"
#include "export/PngEncoder.h"
#include "export/ReplacingFile.h"
#include "image/LibraryMessages.h"
#include "image/PGExceptions.h"
#include "image/PixelGraphic.h"
#include "image/StreamErrors.h"

#include <tiffio.h>
#include <tiffio.hxx>

#include <memory>
#include <ostream>
#include <utility>

namespace {

struct TTiffCloser {
    void operator()(TIFF* tiff) const { TIFFClose(tiff); }
};

} // namespace

TAlphaPicture::TAlphaPicture(TPixelGraphic& colour, std::vector<std::uint8_t> alpha)
    : FColour(colour), FAlpha(std::move(alpha)) {}

bool TAlphaPicture::CanSave(std::string_view extension) {
    const std::string lower = LowerCase(extension);
    return lower == "png" || lower == "tif" || lower == "tiff";
}

void TAlphaPicture::Save(const std::string& fileName, const TPGSaveSettings& settings) const {
    const std::string extension = LowerCase(FileNameExtension(fileName));
    if (!CanSave(extension))
        throw EPGUnknownExtension(FormatLibraryMessage(19, extension));
    const TSaveSettingsScope scope(settings);
    TReplacingFile file(fileName);
    if (extension == "png")
        WritePng(file.Stream(), settings);
    else
        WriteTiff(file.Stream(), fileName);
    file.Commit();
}

void TAlphaPicture::WritePng(std::ostream& stream, const TPGSaveSettings& settings) const {
    TPngEncoder::THeader header{};
    header.BitDepth = 8;
    header.ColorType = PNG_COLOR_TYPE_RGB_ALPHA;
    header.Gamma = settings.Writer.WriteGamma;
    if (header.Gamma)
        header.FileGamma = static_cast<float>(1.0L / FColour.Gamma);
    header.Alpha = FAlpha.data();
    TPngEncoder encoder(stream, FColour.ReadWarningAction, std::move(header));
    encoder.WriteWithAlpha(FColour);
}

void TAlphaPicture::WriteTiff(std::ostream& stream, const std::string& fileName) const {
    const std::unique_ptr<TIFF, TTiffCloser> tiff(TIFFStreamOpen(fileName.c_str(), &stream));
    if (!tiff)
        throw EPGTIFFileFormatWriter("TIFF: cannot start the file \"" + fileName + "\"");
    const auto width = static_cast<std::uint32_t>(FColour.Width());
    const auto height = static_cast<std::uint32_t>(FColour.Height());
    const std::uint16_t extra[] = {EXTRASAMPLE_UNASSALPHA};
    TIFF* t = tiff.get();
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, width);
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, height);
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 4);
    TIFFSetField(t, TIFFTAG_EXTRASAMPLES, 1, extra);
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_NONE);
    TIFFSetField(t, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
    TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(t, 0));
    std::vector<std::uint8_t> row(static_cast<std::size_t>(width) * 4);
    for (std::uint32_t y = 0; y < height; ++y) {
        const std::uint8_t* bgr = FColour.ScanLine(static_cast<int>(y));
        const std::uint8_t* alpha = FAlpha.data() + static_cast<std::size_t>(y) * width;
        for (std::uint32_t x = 0; x < width; ++x) {
            row[x * 4] = bgr[x * 3 + 2];
            row[x * 4 + 1] = bgr[x * 3 + 1];
            row[x * 4 + 2] = bgr[x * 3];
            row[x * 4 + 3] = alpha[x];
        }
        if (TIFFWriteScanline(t, row.data(), y, 0) < 0)
            throw EPGTIFFileFormatWriter("TIFF: cannot write row " + std::to_string(y) + " of \"" +
                                         fileName + "\"");
    }
    if (!TIFFWriteDirectory(t))
        throw EPGTIFFileFormatWriter("TIFF: cannot finish \"" + fileName + "\"");
    // A stream that failed underneath libtiff is the save's failure.
    stream.flush();
    if (!stream)
        throw EWriteError();
}
