#include "image/StreamErrors.h"

#include <istream>
#include <ostream>

void WriteBuffer(std::ostream& stream, const void* buffer, std::size_t count) {
    if (count == 0)
        return;
    stream.write(static_cast<const char*>(buffer), static_cast<std::streamsize>(count));
    if (!stream)
        throw EWriteError();
}

void ReadBuffer(std::istream& stream, void* buffer, std::size_t count) {
    if (count == 0)
        return;
    stream.read(static_cast<char*>(buffer), static_cast<std::streamsize>(count));
    if (!stream || static_cast<std::size_t>(stream.gcount()) != count)
        throw EReadError();
}
