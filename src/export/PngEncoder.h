#pragma once

#include "export/CodecBridge.h"

#include <cstdint>
#include <vector>

#include <png.h>

// The PNG library's write and info structures, writing into a stream.
class TPngEncoder final : public TCodecBridge {
public:
    struct THeader {
        int BitDepth;
        int ColorType; // PNG_COLOR_TYPE_GRAY, _PALETTE or _RGB
        bool Gamma;    // write a gAMA chunk with FileGamma
        float FileGamma;
        std::vector<png_color> Palette; // palette images only
        // One opacity byte a pixel, rows from the top, for a 24-bit image written as RGBA;
        // null for none.
        const std::uint8_t* Alpha = nullptr;
    };

    // Library errors raise EPGPNGFileFormatReaderWriter.
    TPngEncoder(std::ostream& stream, TPGWarningAction warningAction, THeader header);
    // Write, for a header with an alpha plane.
    void WriteWithAlpha(TPixelGraphic& image);

private:
    bool RunLibrary() override;
    void DestroyLibrary() noexcept override;
    [[noreturn]] void ThrowLibraryError() const override;
    static void WriteData(png_structp png, png_bytep data, png_size_t length);
    static void FlushData(png_structp png);
    [[noreturn]] static void Error(png_structp png, png_const_charp message);
    static void Warning(png_structp png, png_const_charp message);

    THeader FHeader;
    png_structp FPng = nullptr;
    png_infop FInfo = nullptr;
    // The creation call that returned nothing, if any.
    const char* FFailedCall = nullptr;
    // One RGBA row, made before the library runs: its frame may hold nothing to destroy.
    std::vector<png_byte> FAlphaRow;
};
