#include "export/PngEncoder.h"

#include "export/LibraryWarning.h"
#include "image/LibraryMessages.h"
#include "image/PGExceptions.h"
#include "image/PixelGraphic.h"

#include <cstdio>
#include <ostream>

TPngEncoder::TPngEncoder(std::ostream& stream, TPGWarningAction warningAction)
    : FStream(stream), FWarningAction(warningAction) {}

TPngEncoder::~TPngEncoder() {
    Destroy();
}

void TPngEncoder::Encode(TPixelGraphic& image, const THeader& header) {
    FImage = &image;
    FHeader = &header;
    bool completed = false;
    try {
        completed = Run(this);
    } catch (...) {
        Destroy();
        EndProgress();
        throw;
    }
    Destroy();
    if (completed)
        return;
    EndProgress();
    if (FPending)
        std::rethrow_exception(FPending);
    if (FFailedCall)
        throw EPGPNGFileFormatReaderWriter("PNG: " + FormatLibraryMessage(31, FFailedCall));
    throw EPGPNGFileFormatReaderWriter(FMessage);
}

// Every library call happens here, below the landing point of the library's error handler. No
// object with a destructor may live in this frame or in the callbacks the jump leaves.
bool TPngEncoder::Run(TPngEncoder* self) {
    if (setjmp(self->FJump))
        return false;
    self->FPng = png_create_write_struct(PNG_LIBPNG_VER_STRING, self, Error, Warning);
    if (!self->FPng) {
        self->FFailedCall = "png_create_write_struct";
        return false;
    }
    png_structp png = self->FPng;
    self->FInfo = png_create_info_struct(png);
    if (!self->FInfo) {
        self->FFailedCall = "png_create_info_struct";
        return false;
    }
    png_infop info = self->FInfo;
    png_set_write_fn(png, self, WriteData, FlushData);
    TPixelGraphic& image = *self->FImage;
    const THeader& header = *self->FHeader;
    png_set_IHDR(png, info, static_cast<png_uint_32>(image.Width()),
                 static_cast<png_uint_32>(image.Height()), header.BitDepth, header.ColorType,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (header.ColorType == PNG_COLOR_TYPE_PALETTE)
        png_set_PLTE(png, info, header.Palette.data(), static_cast<int>(header.Palette.size()));
    if (header.Gamma)
        png_set_gAMA(png, info, header.FileGamma);
    png_write_info(png, info);
    png_set_bgr(png);

    self->FProgressStarted = true;
    image.ProgressStart();
    const int height = image.Height();
    for (int y = 0; y < height; ++y) {
        png_write_row(png, image.ScanLine(y));
        image.Progress(y, height - 1);
    }
    self->FProgressStarted = false;
    image.ProgressEnd();
    png_write_end(png, nullptr);
    FlushData(png);
    return true;
}

void TPngEncoder::WriteData(png_structp png, png_bytep data, png_size_t length) {
    auto* self = static_cast<TPngEncoder*>(png_get_io_ptr(png));
    if (!self->WriteOut(data, length, false))
        png_error(png, "Write Error");
}

void TPngEncoder::FlushData(png_structp png) {
    auto* self = static_cast<TPngEncoder*>(png_get_io_ptr(png));
    if (!self->WriteOut(nullptr, 0, true))
        png_error(png, "Write Error");
}

void TPngEncoder::Error(png_structp png, png_const_charp message) {
    auto* self = static_cast<TPngEncoder*>(png_get_error_ptr(png));
    std::snprintf(self->FMessage, sizeof self->FMessage, "PNG: %s", message);
    std::longjmp(self->FJump, 1);
}

void TPngEncoder::Warning(png_structp png, png_const_charp message) {
    auto* self = static_cast<TPngEncoder*>(png_get_error_ptr(png));
    if (!self->AcceptWarning(message))
        std::longjmp(self->FJump, 1);
}

bool TPngEncoder::WriteOut(const png_byte* data, std::size_t count, bool flush) noexcept {
    try {
        if (count > 0)
            FStream.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(count));
        if (flush)
            FStream.flush();
        return static_cast<bool>(FStream);
    } catch (...) {
        FPending = std::current_exception();
        return false;
    }
}

bool TPngEncoder::AcceptWarning(png_const_charp message) noexcept {
    try {
        const std::optional<std::string> error =
            LibraryWarningError(FWarningAction, "PNG", message);
        if (!error)
            return true;
        std::snprintf(FMessage, sizeof FMessage, "%s", error->c_str());
    } catch (...) {
        FPending = std::current_exception();
    }
    return false;
}

void TPngEncoder::Destroy() noexcept {
    png_destroy_write_struct(&FPng, &FInfo);
}

void TPngEncoder::EndProgress() {
    if (FProgressStarted) {
        FProgressStarted = false;
        FImage->ProgressEnd();
    }
}
