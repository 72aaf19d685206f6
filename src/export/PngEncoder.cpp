#include "export/PngEncoder.h"

#include "image/LibraryMessages.h"
#include "image/PGExceptions.h"
#include "image/PixelGraphic.h"

#include <ostream>
#include <utility>

TPngEncoder::TPngEncoder(std::ostream& stream, TPGWarningAction warningAction, THeader header)
    : TCodecBridge(stream, warningAction, "PNG"), FHeader(std::move(header)) {}

void TPngEncoder::WriteWithAlpha(TPixelGraphic& image) {
    FAlphaRow.resize(static_cast<std::size_t>(image.Width()) * 4);
    Write(image);
}

void TPngEncoder::DestroyLibrary() noexcept {
    png_destroy_write_struct(&FPng, &FInfo);
}

void TPngEncoder::ThrowLibraryError() const {
    if (FFailedCall)
        throw EPGPNGFileFormatReaderWriter("PNG: " + FormatLibraryMessage(31, FFailedCall));
    throw EPGPNGFileFormatReaderWriter(FMessage);
}

bool TPngEncoder::RunLibrary() {
    if (setjmp(FJump))
        return false;
    FPng = png_create_write_struct(PNG_LIBPNG_VER_STRING, this, Error, Warning);
    if (!FPng) {
        FFailedCall = "png_create_write_struct";
        return false;
    }
    png_structp png = FPng;
    FInfo = png_create_info_struct(png);
    if (!FInfo) {
        FFailedCall = "png_create_info_struct";
        return false;
    }
    png_infop info = FInfo;
    png_set_write_fn(png, this, WriteData, FlushData);
    TPixelGraphic& image = *FImage;
    const THeader& header = FHeader;
    png_set_IHDR(png, info, static_cast<png_uint_32>(image.Width()),
                 static_cast<png_uint_32>(image.Height()), header.BitDepth, header.ColorType,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (header.ColorType == PNG_COLOR_TYPE_PALETTE)
        png_set_PLTE(png, info, header.Palette.data(), static_cast<int>(header.Palette.size()));
    if (header.Gamma)
        png_set_gAMA(png, info, header.FileGamma);
    png_write_info(png, info);
    png_set_bgr(png);

    FProgress.emplace(image);
    const int height = image.Height();
    for (int y = 0; y < height; ++y) {
        if (header.Alpha) {
            const std::uint8_t* colour = image.ScanLine(y);
            const std::uint8_t* alpha = header.Alpha + static_cast<std::size_t>(y) * image.Width();
            for (int x = 0; x < image.Width(); ++x) {
                for (int channel = 0; channel < 3; ++channel)
                    FAlphaRow[x * 4 + channel] = colour[x * 3 + channel];
                FAlphaRow[x * 4 + 3] = alpha[x];
            }
            png_write_row(png, FAlphaRow.data());
        } else {
            png_write_row(png, image.ScanLine(y));
        }
        image.Progress(y, height - 1);
    }
    FProgress.reset();
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
    self->StoreError(message);
    self->JumpOut();
}

void TPngEncoder::Warning(png_structp png, png_const_charp message) {
    auto* self = static_cast<TPngEncoder*>(png_get_error_ptr(png));
    if (!self->AcceptWarning(message))
        self->JumpOut();
}
