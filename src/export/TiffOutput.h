#pragma once

#include <cstddef>
#include <cstdint>
#include <iosfwd>

// Writes the numbers of one TIFF file in the file's byte order and keeps the position relative
// to the file's start, so that offsets never need the stream's own (slow) position query.
class TTiffOutput {
public:
    // Continues a file that starts at stream position `base`; raises EWriteError when the
    // stream cannot report its position (offsets would be meaningless).
    TTiffOutput(std::ostream& stream, std::int64_t base, bool motorolaOrder);

    // The stream's current position, or EWriteError when it cannot report one.
    static std::int64_t StreamPosition(std::ostream& stream);

    // Offset of the next byte to write, relative to the file's start.
    std::uint32_t Offset() const { return FOffset; }

    void Write16(std::uint16_t value);
    void Write32(std::uint32_t value);
    void WriteBytes(const void* data, std::size_t count);
    // Moves to an offset relative to the file's start.
    void Seek(std::uint32_t offset);
    // Moves behind the last byte written so far.
    void SeekEnd() { Seek(FEnd); }

private:
    std::ostream& FStream;
    std::int64_t FBase;
    bool FMotorolaOrder;
    std::uint32_t FOffset;
    std::uint32_t FEnd;
};
