#include "export/TiffOutput.h"

#include "image/StreamErrors.h"

#include <algorithm>
#include <ostream>

TTiffOutput::TTiffOutput(std::ostream& stream, std::int64_t base, bool motorolaOrder)
    : FStream(stream), FBase(base), FMotorolaOrder(motorolaOrder),
      FOffset(static_cast<std::uint32_t>(StreamPosition(stream) - base)), FEnd(FOffset) {}

std::int64_t TTiffOutput::StreamPosition(std::ostream& stream) {
    const std::int64_t position = stream.tellp();
    if (position < 0)
        throw EWriteError();
    return position;
}

void TTiffOutput::Write16(std::uint16_t value) {
    const std::uint8_t bytes[2] = {static_cast<std::uint8_t>(FMotorolaOrder ? value >> 8 : value),
                                   static_cast<std::uint8_t>(FMotorolaOrder ? value : value >> 8)};
    WriteBytes(bytes, sizeof bytes);
}

void TTiffOutput::Write32(std::uint32_t value) {
    std::uint8_t bytes[4];
    for (int i = 0; i < 4; ++i) {
        const int shift = FMotorolaOrder ? 24 - 8 * i : 8 * i;
        bytes[i] = static_cast<std::uint8_t>(value >> shift);
    }
    WriteBytes(bytes, sizeof bytes);
}

void TTiffOutput::WriteBytes(const void* data, std::size_t count) {
    WriteBuffer(FStream, data, count);
    FOffset += static_cast<std::uint32_t>(count);
    FEnd = std::max(FEnd, FOffset);
}

void TTiffOutput::Seek(std::uint32_t offset) {
    if (!FStream.seekp(FBase + offset))
        throw EWriteError();
    FOffset = offset;
}
