#include "export/CodecBridge.h"

#include "export/LibraryWarning.h"

#include <cstdio>
#include <ostream>

TCodecBridge::TCodecBridge(std::ostream& stream, TPGWarningAction warningAction, const char* format)
    : FStream(stream), FWarningAction(warningAction), FFormat(format) {}

void TCodecBridge::Write(TPixelGraphic& image) {
    FImage = &image;
    bool completed = false;
    try {
        completed = RunLibrary();
    } catch (...) {
        DestroyLibrary();
        FProgress.reset();
        throw;
    }
    DestroyLibrary();
    if (completed)
        return;
    FProgress.reset();
    if (FPending)
        std::rethrow_exception(FPending);
    ThrowLibraryError();
}

void TCodecBridge::StoreError(const char* text) noexcept {
    std::snprintf(FMessage, sizeof FMessage, "%s: %s", FFormat, text);
}

bool TCodecBridge::WriteOut(const unsigned char* data, std::size_t count, bool flush) noexcept {
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

bool TCodecBridge::AcceptWarning(const char* text) noexcept {
    try {
        const std::optional<std::string> error = LibraryWarningError(FWarningAction, FFormat, text);
        if (!error)
            return true;
        std::snprintf(FMessage, sizeof FMessage, "%s", error->c_str());
    } catch (...) {
        FPending = std::current_exception();
    }
    return false;
}
