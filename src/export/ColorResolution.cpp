#include "export/ColorResolution.h"

#include "image/LibraryMessages.h"
#include "image/PGExceptions.h"
#include "image/PixelGraphic.h"

TPGColorResolution ClassifyColorResolution(const TPixelGraphic& image) {
    const TPaletteIdent ident = image.PaletteIdent();
    switch (image.BitCount()) {
    case bc1Bit:
        return ident == pBlackWhite ? crBlackWhite : cr2Colors;
    case bc4Bit:
        if (ident == pGray16)
            return cr16Grays;
        return ident == pSys16 ? cr16SysColors : cr16Colors;
    case bc8Bit:
        return ident == pGray256 ? cr256Grays : cr256Colors;
    case bc24Bit:
        break;
    }
    return crTrueColor;
}

std::string ColorResolutionText(TPGColorResolution resolution) {
    // The message table holds the eight texts in resolution order.
    return LibraryMessage(8 + resolution);
}

const std::array<TPGColorResolution, ColorResolutionCount>&
SubstitutionRow(TPGColorResolution current) {
    using R = TPGColorResolution;
    static const std::array<std::array<R, ColorResolutionCount>, ColorResolutionCount> rows{{
        {crBlackWhite, cr2Colors, cr16Grays, cr16SysColors, cr16Colors, cr256Grays, cr256Colors,
         crTrueColor},
        {cr2Colors, cr16Colors, cr256Colors, crTrueColor, cr16SysColors, crBlackWhite, cr16Grays,
         cr256Grays},
        {cr16Grays, cr16Colors, cr256Grays, cr256Colors, crTrueColor, cr16SysColors, crBlackWhite,
         cr2Colors},
        {cr16SysColors, cr16Colors, cr256Colors, crTrueColor, cr16Grays, cr256Grays, crBlackWhite,
         cr2Colors},
        {cr16Colors, cr256Colors, crTrueColor, cr16SysColors, cr16Grays, cr256Grays, crBlackWhite,
         cr2Colors},
        {cr256Grays, cr256Colors, crTrueColor, cr16Grays, cr16Colors, cr16SysColors, crBlackWhite,
         cr2Colors},
        {cr256Colors, crTrueColor, cr16Colors, cr16SysColors, cr256Grays, cr16Grays, crBlackWhite,
         cr2Colors},
        {crTrueColor, cr256Colors, cr16Colors, cr16SysColors, cr256Grays, cr16Grays, crBlackWhite,
         cr2Colors},
    }};
    return rows[current];
}

bool ChooseColorResolution(TPGColorResolution current, TPGColorResolutions writable,
                           TPGColorResolution& chosen) {
    for (TPGColorResolution candidate : SubstitutionRow(current))
        if (ContainsColorResolution(writable, candidate)) {
            chosen = candidate;
            return true;
        }
    return false;
}

namespace {

void ApplyConversionRecipe(TPixelGraphic& image, const TPixelGraphic& source,
                           TPGColorResolution target) {
    switch (target) {
    case crBlackWhite:
        image.SetBitCount(bc1Bit);
        image.SetPaletteIdent(pBlackWhite);
        break;
    case cr2Colors:
        image.SetBitCount(bc1Bit);
        TPixelGraphic::BuildOptimizedPalette(image, source, 2, false);
        break;
    case cr16Grays:
        image.SetBitCount(bc4Bit);
        image.SetPaletteIdent(pGray16);
        break;
    case cr16SysColors:
        image.SetBitCount(bc4Bit);
        image.SetPaletteIdent(pSys16);
        break;
    case cr16Colors:
        image.SetBitCount(bc4Bit);
        TPixelGraphic::BuildOptimizedPalette(image, source, 16, false);
        break;
    case cr256Grays:
        image.SetBitCount(bc8Bit);
        image.SetPaletteIdent(pGray256);
        break;
    case cr256Colors:
        image.SetBitCount(bc8Bit);
        TPixelGraphic::BuildOptimizedPalette(image, source, 252, true);
        break;
    case crTrueColor:
        image.SetBitCount(bc24Bit);
        break;
    }
}

} // namespace

std::unique_ptr<TPixelGraphic> ConvertColorResolution(const TPixelGraphic& source,
                                                      TPGColorResolution target) {
    auto image = std::make_unique<TPixelGraphic>();
    bool aborted = false;
    if (source.OnProgress)
        image->OnProgress = [&aborted, &source](TPixelGraphic& sender, int step, int max,
                                                bool& abort) {
            source.OnProgress(sender, step, max, abort);
            aborted = aborted || abort;
        };
    image->OnProgressStart = source.OnProgressStart;
    image->OnProgressEnd = source.OnProgressEnd;
    ApplyConversionRecipe(*image, source, target);
    image->SetSize(source.Width(), source.Height(), image->BitCount());
    image->StretchFrom(source);
    image->OnProgress = source.OnProgress;
    // A half-converted picture must not pass for the whole one.
    if (aborted)
        throw EPixelGraphic(LibraryMessage(29));
    image->IdentifyPalette();
    return image;
}
