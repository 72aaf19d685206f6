#pragma once

#include "image/PGTypes.h"
#include "image/ProgressScope.h"

#include <csetjmp>
#include <exception>
#include <iosfwd>
#include <optional>

// What the bridges to the JPEG and PNG libraries share. Both libraries leave their errors
// through a long jump, which must never pass a C++ object with a destructor. So every library
// call runs inside RunLibrary, below its setjmp and with nothing to unwind; the callbacks keep
// exceptions out of the library and store them; and the error becomes an exception only after
// the jump has landed and the library's structures are gone.
class TCodecBridge {
public:
    TCodecBridge(const TCodecBridge&) = delete;
    TCodecBridge& operator=(const TCodecBridge&) = delete;

    // Writes the image through the library, its rows from the top straight from its pixel
    // memory, and frees the library's structures on every way out. A stream's own exception
    // passes unchanged; a library error raises the bridge's own exception.
    void Write(TPixelGraphic& image);

protected:
    // `format` prefixes the messages: "JPG", "PNG".
    TCodecBridge(std::ostream& stream, TPGWarningAction warningAction, const char* format);
    ~TCodecBridge() = default;

    // Makes every library call. No object with a destructor may live in its frame or in the
    // callbacks the jump leaves. True when the library completed; false after the jump back to
    // its setjmp, or a refusal.
    virtual bool RunLibrary() = 0;
    virtual void DestroyLibrary() noexcept = 0;
    [[noreturn]] virtual void ThrowLibraryError() const = 0;

    [[noreturn]] void JumpOut() { std::longjmp(FJump, 1); }
    // The message of the error that ends the run, behind the format's prefix.
    void StoreError(const char* text) noexcept;
    // Writes (and with `flush` flushes) without letting an exception into the library; false
    // when the stream falls short.
    bool WriteOut(const unsigned char* data, std::size_t count, bool flush) noexcept;
    // False when the warning action makes the warning end the run.
    bool AcceptWarning(const char* text) noexcept;

    TPixelGraphic* FImage = nullptr;
    std::jmp_buf FJump{};
    // The rows' progress; a member, since the jump may leave the frame that started it.
    std::optional<TProgressScope> FProgress;
    char FMessage[256] = {};

private:
    std::ostream& FStream;
    TPGWarningAction FWarningAction;
    const char* FFormat;
    std::exception_ptr FPending;
};
