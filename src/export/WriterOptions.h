#pragma once

#include <cstdint>

// The JPEG library's DCT methods, in its own numbering.
inline constexpr std::uint8_t JpegDctIntegerPrecise = 0;
inline constexpr std::uint8_t JpegDctIntegerFast = 1;
inline constexpr std::uint8_t JpegDctFloat = 2;

// The TIFF compression codes the writer knows.
inline constexpr std::int32_t TiffNoCompression = 1;
inline constexpr std::int32_t TiffPackBitsCompression = 32773;

// The process-wide settings that the writers read at the moment they write (and the reading
// settings edited alongside them).
struct TPGWriterOptions {
    std::uint8_t JPEGWriteDCTMethod = JpegDctFloat;
    std::uint8_t JPEGWriteQuality = 80;
    bool JPEGWriteProgressive = false;
    std::uint8_t JPEGReadDCTMethod = JpegDctIntegerPrecise;
    // Binary (true) or ASCII (false) portable anymaps.
    bool PXMWriteBinary = false;
    std::int32_t TIFFWriteCompression = TiffNoCompression;
    bool TIFFWriteCMYK = false;
    bool TIFFWriteWhiteIsZero = false;
    // Byte order "MM" (true) or "II" (false).
    bool TIFFWriteMotorolaOrder = false;
    // 0 no unit, 1 inch, 2 centimetre.
    std::uint8_t TIFFWriteResUnit = 1;
    std::int32_t TIFFWriteXResNumerator = 300;
    std::int32_t TIFFWriteXResDenominator = 1;
    std::int32_t TIFFWriteYResNumerator = 300;
    std::int32_t TIFFWriteYResDenominator = 1;
    bool WriteGamma = true;
    // The screen gamma that new images take lives with the images (image/ScreenGamma.h).
    bool GammaCorrectionOnRead = true;
};

// The one set of writer options of the process.
TPGWriterOptions& WriterOptions();

// Puts every writer option and the screen gamma back to their start-up defaults.
void ResetWriterOptions();
