#include "export/Png.h"

#include "export/PngEncoder.h"
#include "export/SaveSettings.h"
#include "image/PGExceptions.h"
#include "image/PixelGraphic.h"

#include <cmath>
#include <utility>
#include <zlib.h>

namespace {

// The PNG library keeps its interface within a release series (1.6.x) and zlib within a major
// version; a library outside the series the writer was built with is refused.
bool LibrariesMatch() {
    return png_access_version_number() / 100 == PNG_LIBPNG_VER / 100 &&
           zlibVersion()[0] == ZLIB_VERSION[0];
}

} // namespace

bool PngCanStoreScreenGamma(long double screenGamma) {
    if (!(screenGamma > 0.0L))
        return false;
    // Rounded as the writer hands it to the library, and as the library rounds it.
    const double stored = std::floor(static_cast<float>(1.0L / screenGamma) * 100000.0 + 0.5);
    return stored >= 16.0 && stored <= 625000000.0;
}

void TPNGFileFormatWriter::WriteGraphic(std::ostream& stream, TPixelGraphic& image) {
    if (!LibrariesMatch())
        throw EPGPNGFileFormatReaderWriter("PNG: Invalid library version");
    TPngEncoder::THeader header{};
    if (image.BitCount() == bc24Bit) {
        header.BitDepth = 8;
        header.ColorType = PNG_COLOR_TYPE_RGB;
    } else if (image.BitCount() == bc8Bit && image.PaletteIdent() == pGray256) {
        header.BitDepth = 8;
        header.ColorType = PNG_COLOR_TYPE_GRAY;
    } else {
        header.BitDepth = image.BitCountNum();
        header.ColorType = PNG_COLOR_TYPE_PALETTE;
        const std::vector<TColor>& entries = image.PaletteEntries();
        for (int i = 0; i < image.PaletteCount(); ++i)
            header.Palette.push_back(
                {GetRValue(entries[i]), GetGValue(entries[i]), GetBValue(entries[i])});
    }
    header.Gamma = WriterOptionsInForce().WriteGamma;
    if (header.Gamma)
        header.FileGamma = static_cast<float>(1.0L / image.Gamma);

    TPngEncoder encoder(stream, image.ReadWarningAction, std::move(header));
    encoder.Write(image);
}
