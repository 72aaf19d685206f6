#include "export/Jpeg.h"

#include "export/JpegCompressor.h"
#include "export/SaveSettings.h"
#include "image/LibraryMessages.h"
#include "image/PGExceptions.h"
#include "image/PixelGraphic.h"

// The pixel memory holds blue, green, red; the library takes that order directly.
#ifndef JCS_EXTENSIONS
#error "The JPEG writer needs a JPEG library with extended colour spaces (libjpeg-turbo)"
#endif

void TJPGFileFormatWriter::WriteGraphic(std::ostream& stream, TPixelGraphic& image) {
    const TPGWriterOptions& options = WriterOptionsInForce();
    image.IdentifyPalette();
    TJpegCompressor::TSettings settings{};
    if (image.BitCount() == bc24Bit) {
        settings.Components = 3;
        settings.ColorSpace = JCS_EXT_BGR;
    } else if (image.BitCount() == bc8Bit && image.PaletteIdent() == pGray256) {
        settings.Components = 1;
        settings.ColorSpace = JCS_GRAYSCALE;
    } else {
        throw EPGJPGFileFormatReaderWriter("JPG: " + FormatLibraryMessage(20, "BitCount"));
    }
    // Only the library's three methods are meaningful; anything else would reach the library as
    // an undefined enumeration value.
    static_assert(JpegDctIntegerPrecise == JDCT_ISLOW && JpegDctIntegerFast == JDCT_IFAST &&
                  JpegDctFloat == JDCT_FLOAT);
    if (options.JPEGWriteDCTMethod > JpegDctFloat)
        throw EPGJPGFileFormatReaderWriter("JPG: " +
                                           FormatLibraryMessage(20, "JPEGWriteDCTMethod"));
    settings.Progressive = options.JPEGWriteProgressive;
    settings.Quality = options.JPEGWriteQuality;
    settings.DCTMethod = options.JPEGWriteDCTMethod;

    TJpegCompressor compressor(stream, image.ReadWarningAction, settings);
    compressor.Write(image);
}
