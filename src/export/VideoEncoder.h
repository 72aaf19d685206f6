#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

class TPixelGraphic;
class TReplacingFile;
struct AVFormatContext;
struct AVIOContext;
struct AVCodecContext;
struct AVFrame;
struct AVPacket;
struct SwsContext;

// A video that cannot be written; the text names the file and FFmpeg's reason.
class EVideoEncoder : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// How a video is encoded: its frame rate, and either a constant quality (the encoder's CRF, 0
// best) or a bit rate in bits per second; without either each kind's own default quality.
struct TVideoSettings {
    int FramesPerSecond = 24;
    std::optional<int> Crf;
    std::optional<std::int64_t> BitRate;
};

// Writes pictures as the frames of a video through FFmpeg's libraries, one at a time as they
// come: H.264 in MP4, VP9 in WebM, or an animated GIF whose frames are reduced to 256 colours
// by the image library (optimised palette, dithering) and handed over as palette pictures, so
// that the GIF holds exactly the reduced pictures. The file name's extension picks the kind.
class TVideoEncoder {
public:
    // Opens the file and its encoder; throws EVideoEncoder.
    TVideoEncoder(const std::string& fileName, int width, int height,
                  const TVideoSettings& settings);
    // A video never finished leaves no file: a partial one would pass for the whole. It is
    // written as pictures are, to a temporary that replaces the file only when complete, so a
    // failed or cancelled video also leaves the one that was there.
    ~TVideoEncoder();
    TVideoEncoder(const TVideoEncoder&) = delete;
    TVideoEncoder& operator=(const TVideoEncoder&) = delete;

    // Whether the extension (lower case, without the dot) names a kind of video written here.
    static bool Handles(const std::string& extension);
    // The extensions of the videos, for messages: "mp4, webm, gif".
    static std::string Extensions();
    // The picture a GIF frame holds for a 24-bit picture: its 256-colour reduction.
    static std::unique_ptr<TPixelGraphic> ReducedForGif(const TPixelGraphic& picture);

    // Encodes the next frame, a 24-bit picture of the video's size; throws EVideoEncoder.
    void AddFrame(const TPixelGraphic& picture);
    // Drains the encoder and completes the file; throws EVideoEncoder.
    void Finish();

private:
    struct TFormatClose {
        void operator()(AVFormatContext* format) const;
    };
    struct TIoFree {
        void operator()(AVIOContext* io) const;
    };
    struct TCodecFree {
        void operator()(AVCodecContext* codec) const;
    };
    struct TFrameFree {
        void operator()(AVFrame* frame) const;
    };
    struct TPacketFree {
        void operator()(AVPacket* packet) const;
    };
    struct TScaleFree {
        void operator()(SwsContext* scale) const;
    };
    // Sends a frame (null: the end) and writes every packet the encoder has ready.
    void Encode(const AVFrame* frame);
    void FillPaletteFrame(const TPixelGraphic& picture);
    // FFmpeg's output calls, on the temporary file.
    static int WriteOut(void* encoder, std::uint8_t* bytes, int size);
    static std::int64_t SeekOut(void* encoder, std::int64_t offset, int whence);
    // An EVideoEncoder naming the file, what failed and FFmpeg's text for `code`.
    EVideoEncoder Failure(const std::string& what, int code) const;

    std::string FFileName;
    int FWidth;
    int FHeight;
    bool FPalette = false;
    std::int64_t FNextFrame = 0;
    // The header is written and the trailer not yet.
    bool FMuxing = false;
    // In the order they are needed: the file outlives the output context, which outlives the
    // container.
    std::unique_ptr<TReplacingFile> FOutput;
    std::unique_ptr<AVIOContext, TIoFree> FIo;
    std::unique_ptr<AVFormatContext, TFormatClose> FFormat;
    std::unique_ptr<AVCodecContext, TCodecFree> FCodec;
    std::unique_ptr<AVFrame, TFrameFree> FFrame;
    std::unique_ptr<AVPacket, TPacketFree> FPacket;
    std::unique_ptr<SwsContext, TScaleFree> FScale;
    int FStreamIndex = 0;
};
