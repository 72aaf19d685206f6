#include "export/VideoEncoder.h"

#include "export/ColorResolution.h"
#include "export/ReplacingFile.h"
#include "image/PixelGraphic.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/error.h>
#include <libavutil/log.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

#include <array>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <string_view>

namespace {

// The kinds of video, by extension: the encoder, the pixel format it is given, and its
// constant quality when neither a quality nor a bit rate is asked for (0 for none).
struct TVideoKind {
    std::string_view Extension;
    std::string_view Encoder;
    AVPixelFormat PixelFormat;
    int DefaultCrf;
};

constexpr TVideoKind VideoKinds[] = {
    {"mp4", "libx264", AV_PIX_FMT_YUV420P, 18},
    {"webm", "libvpx-vp9", AV_PIX_FMT_YUV420P, 24},
    {"gif", "gif", AV_PIX_FMT_PAL8, 0},
};

const TVideoKind* KindOf(const std::string& extension) {
    for (const TVideoKind& kind : VideoKinds)
        if (kind.Extension == extension)
            return &kind;
    return nullptr;
}

std::string ExtensionOf(const std::string& fileName) {
    std::string extension = std::filesystem::path(fileName).extension().string();
    if (!extension.empty())
        extension.erase(0, 1);
    for (char& c : extension)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return extension;
}

std::string ErrorText(int code) {
    std::array<char, AV_ERROR_MAX_STRING_SIZE> text{};
    av_strerror(code, text.data(), text.size());
    return text.data();
}

// The distance from one picture row to the next below it: rows lie bottom-up in memory.
int RowStride(const TPixelGraphic& picture) {
    return picture.Height() > 1 ? static_cast<int>(picture.ScanLine(1) - picture.ScanLine(0))
                                : picture.BytesPerRow();
}

} // namespace

void TVideoEncoder::TFormatClose::operator()(AVFormatContext* format) const {
    // Its output is ours (custom I/O), freed on its own.
    avformat_free_context(format);
}
void TVideoEncoder::TIoFree::operator()(AVIOContext* io) const {
    av_freep(&io->buffer);
    avio_context_free(&io);
}

int TVideoEncoder::WriteOut(void* encoder, std::uint8_t* bytes, int size) {
    TReplacingFile& file = *static_cast<TVideoEncoder*>(encoder)->FOutput;
    if (!file.Stream().write(reinterpret_cast<const char*>(bytes), size))
        return AVERROR(file.WriteErrorNumber() != 0 ? file.WriteErrorNumber() : EIO);
    return size;
}

std::int64_t TVideoEncoder::SeekOut(void* encoder, std::int64_t offset, int whence) {
    std::ostream& stream = static_cast<TVideoEncoder*>(encoder)->FOutput->Stream();
    // The muxers go back to patch sizes in headers; none asks for the file's size.
    if (whence == AVSEEK_SIZE)
        return -1;
    const std::ios_base::seekdir direction = whence == SEEK_END   ? std::ios_base::end
                                             : whence == SEEK_CUR ? std::ios_base::cur
                                                                  : std::ios_base::beg;
    if (!stream.seekp(offset, direction))
        return AVERROR(EIO);
    return static_cast<std::int64_t>(stream.tellp());
}
void TVideoEncoder::TCodecFree::operator()(AVCodecContext* codec) const {
    avcodec_free_context(&codec);
}
void TVideoEncoder::TFrameFree::operator()(AVFrame* frame) const {
    av_frame_free(&frame);
}
void TVideoEncoder::TPacketFree::operator()(AVPacket* packet) const {
    av_packet_free(&packet);
}
void TVideoEncoder::TScaleFree::operator()(SwsContext* scale) const {
    sws_freeContext(scale);
}

bool TVideoEncoder::Handles(const std::string& extension) {
    return KindOf(extension) != nullptr;
}

std::string TVideoEncoder::Extensions() {
    std::string names;
    for (const TVideoKind& kind : VideoKinds)
        names += (names.empty() ? "" : ", ") + std::string(kind.Extension);
    return names;
}

std::unique_ptr<TPixelGraphic> TVideoEncoder::ReducedForGif(const TPixelGraphic& picture) {
    return ConvertColorResolution(picture, cr256Colors);
}

EVideoEncoder TVideoEncoder::Failure(const std::string& what, int code) const {
    return EVideoEncoder("\"" + FFileName + "\": " + what + ": " + ErrorText(code));
}

TVideoEncoder::TVideoEncoder(const std::string& fileName, int width, int height,
                             const TVideoSettings& settings)
    : FFileName(fileName), FWidth(width), FHeight(height) {
    const TVideoKind* kind = KindOf(ExtensionOf(fileName));
    if (!kind)
        throw EVideoEncoder("\"" + fileName + "\": not a kind of video written here (" +
                            Extensions() + ")");
    FPalette = kind->PixelFormat == AV_PIX_FMT_PAL8;
    // The encoders' reports of their settings would fill the terminal; failures come back as
    // error codes, which the exceptions carry.
    av_log_set_level(AV_LOG_ERROR);
    AVFormatContext* format = nullptr;
    if (const int code =
            avformat_alloc_output_context2(&format, nullptr, nullptr, fileName.c_str());
        code < 0)
        throw Failure("no container for the name", code);
    FFormat.reset(format);
    const AVCodec* encoder = avcodec_find_encoder_by_name(std::string(kind->Encoder).c_str());
    if (!encoder)
        throw EVideoEncoder("\"" + fileName + "\": FFmpeg has no encoder " +
                            std::string(kind->Encoder));
    AVStream* stream = avformat_new_stream(format, nullptr);
    FCodec.reset(avcodec_alloc_context3(encoder));
    FFrame.reset(av_frame_alloc());
    FPacket.reset(av_packet_alloc());
    if (!stream || !FCodec || !FFrame || !FPacket)
        throw Failure("cannot set up the encoder", AVERROR(ENOMEM));
    FStreamIndex = stream->index;
    AVCodecContext& codec = *FCodec;
    codec.width = width;
    codec.height = height;
    codec.pix_fmt = kind->PixelFormat;
    codec.time_base = AVRational{1, settings.FramesPerSecond};
    codec.framerate = AVRational{settings.FramesPerSecond, 1};
    // The encoder runs on the thread that hands it the frames, beside the renders that take
    // every core: threads of its own would only contend with them.
    codec.thread_count = 1;
    if (format->oformat->flags & AVFMT_GLOBALHEADER)
        codec.flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    const bool takesQuality = kind->DefaultCrf > 0;
    if (takesQuality && settings.BitRate) {
        codec.bit_rate = *settings.BitRate;
    } else if (takesQuality) {
        av_opt_set_int(codec.priv_data, "crf", settings.Crf.value_or(kind->DefaultCrf), 0);
        // VP9 keeps a constant quality only without a bit rate.
        codec.bit_rate = 0;
    }
    if (kind->Encoder == "libvpx-vp9") {
        av_opt_set_int(codec.priv_data, "row-mt", 1, 0);
        av_opt_set_int(codec.priv_data, "cpu-used", 5, 0);
    }
    if (FPalette)
        // Every frame whole: no cropping to the change, no transparency for unchanged pixels.
        av_opt_set_int(codec.priv_data, "gifflags", 0, 0);
    if (const int code = avcodec_open2(&codec, encoder, nullptr); code < 0)
        throw Failure("cannot open the encoder " + std::string(kind->Encoder), code);
    if (const int code = avcodec_parameters_from_context(stream->codecpar, &codec); code < 0)
        throw Failure("cannot describe the stream", code);
    stream->time_base = codec.time_base;
    FOutput = std::make_unique<TReplacingFile>(fileName);
    constexpr int OutputBufferBytes = 1 << 16;
    auto* buffer = static_cast<unsigned char*>(av_malloc(OutputBufferBytes));
    if (!buffer)
        throw Failure("cannot create the file", AVERROR(ENOMEM));
    FIo.reset(avio_alloc_context(buffer, OutputBufferBytes, 1, this, nullptr, &WriteOut, &SeekOut));
    if (!FIo) {
        av_free(buffer);
        throw Failure("cannot create the file", AVERROR(ENOMEM));
    }
    format->pb = FIo.get();
    format->flags |= AVFMT_FLAG_CUSTOM_IO;
    if (const int code = avformat_write_header(format, nullptr); code < 0)
        throw Failure("cannot write the header", code);
    FMuxing = true;
    FFrame->format = codec.pix_fmt;
    FFrame->width = width;
    FFrame->height = height;
    if (const int code = av_frame_get_buffer(FFrame.get(), 0); code < 0)
        throw Failure("cannot hold a frame", code);
    if (!FPalette) {
        FScale.reset(sws_getContext(width, height, AV_PIX_FMT_BGR24, width, height, codec.pix_fmt,
                                    SWS_BICUBIC | SWS_ACCURATE_RND, nullptr, nullptr, nullptr));
        if (!FScale)
            throw Failure("cannot convert the pictures' colours", AVERROR(EINVAL));
    }
}

// Without Finish the temporary goes with FOutput; the file that was there stays.
TVideoEncoder::~TVideoEncoder() {
    // The muxer frees the packets it holds back for interleaving only at its trailer, which
    // goes into the temporary that is about to go.
    if (FMuxing)
        av_write_trailer(FFormat.get());
}

void TVideoEncoder::FillPaletteFrame(const TPixelGraphic& picture) {
    const std::unique_ptr<TPixelGraphic> reduced = ReducedForGif(picture);
    for (int row = 0; row < FHeight; ++row)
        std::memcpy(FFrame->data[0] + static_cast<std::ptrdiff_t>(row) * FFrame->linesize[0],
                    reduced->ScanLine(row), static_cast<std::size_t>(FWidth));
    // FFmpeg's palette: 256 opaque colours as native 32-bit ARGB.
    auto* palette = reinterpret_cast<std::uint32_t*>(FFrame->data[1]);
    for (int i = 0; i < 256; ++i) {
        const TColor colour = i < reduced->PaletteCount() ? reduced->PaletteColor(i) : 0;
        palette[i] = 0xFF000000u | std::uint32_t{GetRValue(colour)} << 16 |
                     std::uint32_t{GetGValue(colour)} << 8 | GetBValue(colour);
    }
}

void TVideoEncoder::AddFrame(const TPixelGraphic& picture) {
    if (picture.Width() != FWidth || picture.Height() != FHeight || picture.BitCount() != bc24Bit)
        throw EVideoEncoder("\"" + FFileName + "\": a frame of " + std::to_string(picture.Width()) +
                            "x" + std::to_string(picture.Height()) + " does not fit a video of " +
                            std::to_string(FWidth) + "x" + std::to_string(FHeight));
    if (const int code = av_frame_make_writable(FFrame.get()); code < 0)
        throw Failure("cannot reuse the frame", code);
    if (FPalette) {
        FillPaletteFrame(picture);
    } else {
        const std::uint8_t* source[] = {picture.ScanLine(0)};
        const int stride[] = {RowStride(picture)};
        sws_scale(FScale.get(), source, stride, 0, FHeight, FFrame->data, FFrame->linesize);
    }
    FFrame->pts = FNextFrame++;
    Encode(FFrame.get());
}

void TVideoEncoder::Encode(const AVFrame* frame) {
    if (const int code = avcodec_send_frame(FCodec.get(), frame); code < 0)
        throw Failure("cannot encode frame " + std::to_string(FNextFrame - 1), code);
    for (;;) {
        const int code = avcodec_receive_packet(FCodec.get(), FPacket.get());
        if (code == AVERROR(EAGAIN) || code == AVERROR_EOF)
            return;
        if (code < 0)
            throw Failure("cannot encode", code);
        // Each frame lasts one frame time; a container told nothing would cut the last one short.
        if (FPacket->duration == 0)
            FPacket->duration = 1;
        AVStream* stream = FFormat->streams[FStreamIndex];
        av_packet_rescale_ts(FPacket.get(), FCodec->time_base, stream->time_base);
        FPacket->stream_index = FStreamIndex;
        if (const int written = av_interleaved_write_frame(FFormat.get(), FPacket.get());
            written < 0)
            throw Failure("cannot write", written);
    }
}

void TVideoEncoder::Finish() {
    Encode(nullptr);
    FMuxing = false;
    if (const int code = av_write_trailer(FFormat.get()); code < 0)
        throw Failure("cannot complete the file", code);
    avio_flush(FIo.get());
    if (FIo->error < 0)
        throw Failure("cannot write the file", FIo->error);
    FOutput->Commit();
}
