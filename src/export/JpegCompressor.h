#pragma once

#include "export/CodecBridge.h"

#include <cstdio>

#include <jpeglib.h>

// The JPEG library's compression object, writing through a 4096-byte buffer into a stream.
class TJpegCompressor final : public TCodecBridge {
public:
    struct TSettings {
        int Components; // 1 grey, 3 colour
        J_COLOR_SPACE ColorSpace;
        bool Progressive;
        int Quality;
        int DCTMethod; // the library's J_DCT_METHOD numbering
    };

    // Library errors raise EPGJPGFileFormatReaderWriter.
    TJpegCompressor(std::ostream& stream, TPGWarningAction warningAction,
                    const TSettings& settings);

    static constexpr std::size_t BufferSize = 4096;

private:
    bool RunLibrary() override;
    void DestroyLibrary() noexcept override;
    [[noreturn]] void ThrowLibraryError() const override;
    static void InitDestination(j_compress_ptr cinfo);
    static boolean EmptyOutputBuffer(j_compress_ptr cinfo);
    static void TermDestination(j_compress_ptr cinfo);
    [[noreturn]] static void ErrorExit(j_common_ptr cinfo);
    static void OutputMessage(j_common_ptr cinfo);

    TSettings FSettings;
    jpeg_compress_struct FInfo{};
    jpeg_error_mgr FErrors{};
    jpeg_destination_mgr FDestination{};
    bool FCreated = false;
    JOCTET FBuffer[BufferSize];
};
