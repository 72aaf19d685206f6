#include "export/JpegCompressor.h"

#include "image/PGExceptions.h"
#include "image/PixelGraphic.h"

#include <ostream>

#include <jerror.h>

TJpegCompressor::TJpegCompressor(std::ostream& stream, TPGWarningAction warningAction)
    : TCodecBridge(stream, warningAction, "JPG") {
    jpeg_std_error(&FErrors);
    FErrors.error_exit = ErrorExit;
    FErrors.output_message = OutputMessage;
    FInfo.err = &FErrors;
    FInfo.client_data = this;
    FDestination.init_destination = InitDestination;
    FDestination.empty_output_buffer = EmptyOutputBuffer;
    FDestination.term_destination = TermDestination;
}

TJpegCompressor::~TJpegCompressor() {
    DestroyLibrary();
}

void TJpegCompressor::Compress(TPixelGraphic& image, const TSettings& settings) {
    FSettings = &settings;
    Execute(image);
}

bool TJpegCompressor::RunLibrary() {
    return Run(this);
}

void TJpegCompressor::DestroyLibrary() noexcept {
    jpeg_destroy_compress(&FInfo);
}

void TJpegCompressor::ThrowLibraryError() const {
    throw EPGJPGFileFormatReaderWriter(FMessage);
}

// Every library call happens here, below the landing point of the library's error exit. No
// object with a destructor may live in this frame or in the callbacks the jump leaves.
bool TJpegCompressor::Run(TJpegCompressor* self) {
    if (setjmp(self->FJump))
        return false;
    j_compress_ptr cinfo = &self->FInfo;
    jpeg_create_compress(cinfo);
    self->FCreated = true;
    cinfo->dest = &self->FDestination;
    cinfo->image_width = static_cast<JDIMENSION>(self->FImage->Width());
    cinfo->image_height = static_cast<JDIMENSION>(self->FImage->Height());
    cinfo->input_components = self->FSettings->Components;
    cinfo->in_color_space = self->FSettings->ColorSpace;
    jpeg_set_defaults(cinfo);
    if (self->FSettings->Progressive)
        jpeg_simple_progression(cinfo);
    jpeg_set_quality(cinfo, self->FSettings->Quality, TRUE);
    cinfo->dct_method = static_cast<J_DCT_METHOD>(self->FSettings->DCTMethod);
    jpeg_start_compress(cinfo, TRUE);

    self->FProgress.emplace(*self->FImage);
    while (cinfo->next_scanline < cinfo->image_height) {
        JSAMPROW row = self->FImage->ScanLine(static_cast<int>(cinfo->next_scanline));
        jpeg_write_scanlines(cinfo, &row, 1);
        self->FImage->Progress(static_cast<int>(cinfo->next_scanline),
                               static_cast<int>(cinfo->image_height));
    }
    self->FProgress.reset();
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
