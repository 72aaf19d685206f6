#pragma once

#include <cstdint>

// The process-wide settings that the writers read at the moment they write (and the reading
// settings edited alongside them).
struct TPGWriterOptions {
    // The JPEG library's DCT method numbering: 0 integer precise, 1 integer fast, 2 floating point.
    std::uint8_t JPEGWriteDCTMethod = 2;
    std::uint8_t JPEGWriteQuality = 80;
    bool JPEGWriteProgressive = false;
    std::uint8_t JPEGReadDCTMethod = 0;
    // Binary (true) or ASCII (false) portable anymaps.
    bool PXMWriteBinary = false;
    // A TIFF compression code: 1 none, 32773 PackBits.
    std::int32_t TIFFWriteCompression = 1;
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
