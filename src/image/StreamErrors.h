#pragma once

#include <cstddef>
#include <iosfwd>
#include <stdexcept>
#include <string>

// A stream that could not deliver or take the bytes asked for.
class EStreamError : public std::runtime_error {
public:
    explicit EStreamError(const std::string& message) : std::runtime_error(message) {}
};

class EWriteError : public EStreamError {
public:
    EWriteError() : EStreamError(Text) {}
    // A file that did not take the bytes; `reason` is the system's explanation.
    EWriteError(const std::string& fileName, const std::string& reason)
        : EStreamError(NamingTheFile(Text, fileName, reason)) {}

    static constexpr const char* Text = "Stream write error";
    // `text` followed by the file's name and the system's reason, as the create error reads.
    static std::string NamingTheFile(const std::string& text, const std::string& fileName,
                                     const std::string& reason) {
        return text + " in file \"" + fileName + "\". " + reason;
    }
};

class EReadError : public EStreamError {
public:
    EReadError() : EStreamError("Stream read error") {}
};

// A file that could not be created; `reason` is the system's explanation.
class EFCreateError : public EStreamError {
public:
    EFCreateError(const std::string& fileName, const std::string& reason)
        : EStreamError("Cannot create file \"" + fileName + "\". " + reason) {}
};

// Write or read exactly `count` bytes, raising EWriteError / EReadError when the stream falls
// short.
void WriteBuffer(std::ostream& stream, const void* buffer, std::size_t count);
void ReadBuffer(std::istream& stream, void* buffer, std::size_t count);
