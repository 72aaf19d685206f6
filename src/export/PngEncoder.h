#pragma once

#include "image/PGTypes.h"

#include <csetjmp>
#include <exception>
#include <iosfwd>
#include <vector>

#include <png.h>

// The PNG library's write and info structures, writing into a stream. The library leaves its
// errors through a long jump; every library call therefore runs inside one C-style function
// that has no C++ objects to unwind, and the error becomes an exception only after the jump
// has landed and the structures are destroyed.
class TPngEncoder {
public:
    struct THeader {
        int BitDepth;
        int ColorType; // PNG_COLOR_TYPE_GRAY, _PALETTE or _RGB
        bool Gamma;    // write a gAMA chunk with FileGamma
        float FileGamma;
        std::vector<png_color> Palette; // palette images only
    };

    TPngEncoder(std::ostream& stream, TPGWarningAction warningAction);
    ~TPngEncoder();
    TPngEncoder(const TPngEncoder&) = delete;
    TPngEncoder& operator=(const TPngEncoder&) = delete;

    // Writes the file, rows from the top straight from the image's pixel memory. Library errors
    // raise EPGPNGFileFormatReaderWriter; a stream's own exception passes unchanged.
    void Encode(TPixelGraphic& image, const THeader& header);

private:
    static bool Run(TPngEncoder* self);
    static void WriteData(png_structp png, png_bytep data, png_size_t length);
    static void FlushData(png_structp png);
    [[noreturn]] static void Error(png_structp png, png_const_charp message);
    static void Warning(png_structp png, png_const_charp message);
    // Writes (and with `flush` flushes) without letting an exception into the library; false
    // when the stream falls short.
    bool WriteOut(const png_byte* data, std::size_t count, bool flush) noexcept;
    bool AcceptWarning(png_const_charp message) noexcept;
    void Destroy() noexcept;
    void EndProgress();

    std::ostream& FStream;
    TPGWarningAction FWarningAction;
    TPixelGraphic* FImage = nullptr;
    const THeader* FHeader = nullptr;
    png_structp FPng = nullptr;
    png_infop FInfo = nullptr;
    std::jmp_buf FJump{};
    bool FProgressStarted = false;
    // The creation call that returned nothing, if any.
    const char* FFailedCall = nullptr;
    // The message of the error that ended the run, "PNG: " included.
    char FMessage[256] = {};
    std::exception_ptr FPending;
};
