#pragma once

#include <stdexcept>
#include <string>

// The image library's errors; each carries one text of the library's message table.
class EPixelGraphic : public std::runtime_error {
public:
    explicit EPixelGraphic(const std::string& message) : std::runtime_error(message) {}
};

#define PG_DECLARE_EXCEPTION(Name)                                                                 \
    class Name : public EPixelGraphic {                                                            \
    public:                                                                                        \
        using EPixelGraphic::EPixelGraphic;                                                        \
    }

PG_DECLARE_EXCEPTION(EPGXYIndexOutOfRange);
PG_DECLARE_EXCEPTION(EPGNoPalette);
PG_DECLARE_EXCEPTION(EPGInvalidPaletteIndex);
PG_DECLARE_EXCEPTION(EPGEmpty);
PG_DECLARE_EXCEPTION(EPGCanWriteResolutionsEmpty);
PG_DECLARE_EXCEPTION(EPGCannotWriteColorRes);
PG_DECLARE_EXCEPTION(EPGFileFormatWritersEmpty);
PG_DECLARE_EXCEPTION(EPGUnknownExtension);
PG_DECLARE_EXCEPTION(EPGUnknownFileFormat);
PG_DECLARE_EXCEPTION(EPGUnknownClipboardFormat);
PG_DECLARE_EXCEPTION(EPGBMPFileFormatReader);
PG_DECLARE_EXCEPTION(EPGJPGFileFormatReaderWriter);
PG_DECLARE_EXCEPTION(EPGPNGFileFormatReaderWriter);
PG_DECLARE_EXCEPTION(EPGPCXFileFormatReader);
PG_DECLARE_EXCEPTION(EPGPxMFileFormatReader);
PG_DECLARE_EXCEPTION(EPGPxMFileFormatWriter);
PG_DECLARE_EXCEPTION(EPGTGAFileFormatReader);
PG_DECLARE_EXCEPTION(EPGTIFFileFormatReader);
PG_DECLARE_EXCEPTION(EPGTIFFileFormatWriter);
PG_DECLARE_EXCEPTION(EPGInvalidBitCountNum);
PG_DECLARE_EXCEPTION(EPGInvalidSize);

#undef PG_DECLARE_EXCEPTION
