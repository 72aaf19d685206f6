#pragma once

#include "image/PGTypes.h"

#include <csetjmp>
#include <cstdio>
#include <exception>
#include <iosfwd>

#include <jpeglib.h>

// The JPEG library's compression object, writing through a 4096-byte buffer into a stream.
// The library leaves its errors through a long jump; every library call therefore runs inside
// one C-style function that has no C++ objects to unwind, and the error becomes an exception
// only after the jump has landed and the compression object is destroyed.
class TJpegCompressor {
public:
    struct TSettings {
        int Components; // 1 grey, 3 colour
        J_COLOR_SPACE ColorSpace;
        bool Progressive;
        int Quality;
        int DCTMethod; // the library's J_DCT_METHOD numbering
    };

    TJpegCompressor(std::ostream& stream, TPGWarningAction warningAction);
    ~TJpegCompressor();
    TJpegCompressor(const TJpegCompressor&) = delete;
    TJpegCompressor& operator=(const TJpegCompressor&) = delete;

    // Compresses the image's rows, top row first, straight from its pixel memory. Library
    // errors raise EPGJPGFileFormatReaderWriter; a stream's own exception passes unchanged.
    void Compress(TPixelGraphic& image, const TSettings& settings);

    static constexpr std::size_t BufferSize = 4096;

private:
    static bool Run(TJpegCompressor* self);
    static void InitDestination(j_compress_ptr cinfo);
    static boolean EmptyOutputBuffer(j_compress_ptr cinfo);
    static void TermDestination(j_compress_ptr cinfo);
    [[noreturn]] static void ErrorExit(j_common_ptr cinfo);
    static void OutputMessage(j_common_ptr cinfo);
    // Writes (and with `flush` flushes) without letting an exception into the library; false
    // when the stream falls short.
    bool WriteOut(const JOCTET* data, std::size_t count, bool flush) noexcept;
    bool AcceptWarning(j_common_ptr cinfo) noexcept;
    void Destroy() noexcept;
    void EndProgress();

    std::ostream& FStream;
    TPGWarningAction FWarningAction;
    TPixelGraphic* FImage = nullptr;
    const TSettings* FSettings = nullptr;
    jpeg_compress_struct FInfo{};
    jpeg_error_mgr FErrors{};
    jpeg_destination_mgr FDestination{};
    std::jmp_buf FJump{};
    bool FCreated = false;
    bool FProgressStarted = false;
    // The message of the error that ended the run, "JPG: " included.
    char FMessage[JMSG_LENGTH_MAX + 64] = {};
    std::exception_ptr FPending;
    JOCTET FBuffer[BufferSize];
};
