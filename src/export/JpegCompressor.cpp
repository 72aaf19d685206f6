#include "export/JpegCompressor.h"

#include "image/PGExceptions.h"
#include "image/PixelGraphic.h"

#include <ostream>

#include <jerror.h>

TJpegCompressor::TJpegCompressor(std::ostream& stream, TPGWarningAction warningAction,
                                 const TSettings& settings)
    : TCodecBridge(stream, warningAction, "JPG"), FSettings(settings) {
    jpeg_std_error(&FErrors);
    FErrors.error_exit = ErrorExit;
    FErrors.output_message = OutputMessage;
    FInfo.err = &FErrors;
    FInfo.client_data = this;
    FDestination.init_destination = InitDestination;
    FDestination.empty_output_buffer = EmptyOutputBuffer;
    FDestination.term_destination = TermDestination;
}

void TJpegCompressor::DestroyLibrary() noexcept {
    jpeg_destroy_compress(&FInfo);
}

void TJpegCompressor::ThrowLibraryError() const {
    throw EPGJPGFileFormatReaderWriter(FMessage);
}

bool TJpegCompressor::RunLibrary() {
    if (setjmp(FJump))
        return false;
    j_compress_ptr cinfo = &FInfo;
    jpeg_create_compress(cinfo);
    FCreated = true;
    cinfo->dest = &FDestination;
    cinfo->image_width = static_cast<JDIMENSION>(FImage->Width());
    cinfo->image_height = static_cast<JDIMENSION>(FImage->Height());
    cinfo->input_components = FSettings.Components;
    cinfo->in_color_space = FSettings.ColorSpace;
    jpeg_set_defaults(cinfo);
    if (FSettings.Progressive)
        jpeg_simple_progression(cinfo);
    jpeg_set_quality(cinfo, FSettings.Quality, TRUE);
    cinfo->dct_method = static_cast<J_DCT_METHOD>(FSettings.DCTMethod);
    jpeg_start_compress(cinfo, TRUE);

    FProgress.emplace(*FImage);
    while (cinfo->next_scanline < cinfo->image_height) {
        JSAMPROW row = FImage->ScanLine(static_cast<int>(cinfo->next_scanline));
        jpeg_write_scanlines(cinfo, &row, 1);
        FImage->Progress(static_cast<int>(cinfo->next_scanline),
                         static_cast<int>(cinfo->image_height));
    }
    FProgress.reset();
    jpeg_finish_compress(cinfo);
    return true;
}

void TJpegCompressor::InitDestination(j_compress_ptr cinfo) {
    auto* self = static_cast<TJpegCompressor*>(cinfo->client_data);
    self->FDestination.next_output_byte = self->FBuffer;
    self->FDestination.free_in_buffer = BufferSize;
}

boolean TJpegCompressor::EmptyOutputBuffer(j_compress_ptr cinfo) {
    auto* self = static_cast<TJpegCompressor*>(cinfo->client_data);
    if (!self->WriteOut(self->FBuffer, BufferSize, false))
        ERREXIT(cinfo, JERR_FILE_WRITE);
    self->FDestination.next_output_byte = self->FBuffer;
    self->FDestination.free_in_buffer = BufferSize;
    return TRUE;
}

void TJpegCompressor::TermDestination(j_compress_ptr cinfo) {
    auto* self = static_cast<TJpegCompressor*>(cinfo->client_data);
    if (!self->WriteOut(self->FBuffer, BufferSize - self->FDestination.free_in_buffer, true))
        ERREXIT(cinfo, JERR_FILE_WRITE);
}

void TJpegCompressor::ErrorExit(j_common_ptr cinfo) {
    auto* self = static_cast<TJpegCompressor*>(cinfo->client_data);
    const int code = cinfo->err->msg_code;
    if (!self->FCreated && (code == JERR_BAD_LIB_VERSION || code == JERR_BAD_STRUCT_SIZE)) {
        self->StoreError("Invalid library version");
    } else {
        char text[JMSG_LENGTH_MAX];
        (*cinfo->err->format_message)(cinfo, text);
        self->StoreError(text);
    }
    self->JumpOut();
}

void TJpegCompressor::OutputMessage(j_common_ptr cinfo) {
    auto* self = static_cast<TJpegCompressor*>(cinfo->client_data);
    char text[JMSG_LENGTH_MAX];
    (*cinfo->err->format_message)(cinfo, text);
    if (!self->AcceptWarning(text))
        self->JumpOut();
}
