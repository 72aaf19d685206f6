#include "export/PackBits.h"

#include <cstring>

namespace {

constexpr std::size_t MaxPacket = 128;

// Appends packets to the output: literals in pieces of at most 128 bytes, repeats of at most
// 128 equal bytes.
class TPacketWriter {
public:
    explicit TPacketWriter(std::uint8_t* out) : FOut(out) {}

    void Literal(const std::uint8_t* data, std::size_t count) {
        while (count > 0) {
            const std::size_t piece = count < MaxPacket ? count : MaxPacket;
            *FOut++ = static_cast<std::uint8_t>(piece - 1);
            std::memcpy(FOut, data, piece);
            FOut += piece;
            data += piece;
            count -= piece;
        }
    }
    void Repeat(std::uint8_t value, std::size_t count) {
        while (count > 0) {
            const std::size_t piece = count < MaxPacket ? count : MaxPacket;
            *FOut++ = static_cast<std::uint8_t>(1 - static_cast<int>(piece));
            *FOut++ = value;
            count -= piece;
        }
    }
    std::uint8_t* End() const { return FOut; }

private:
    std::uint8_t* FOut;
};

} // namespace

// Works run by run instead of with a table of run lengths per byte, with the same result: a
// run of two joins the literal when a literal byte precedes it (the forward pass) or when it
// is followed, possibly through further runs of two, by a literal byte (the backward pass).
// Runs of two that stay repeats wait in `chainStart` until the run after them decides.
const std::uint8_t* TPackBitsEncoder::Encode(const std::uint8_t* row, std::size_t count,
                                             std::size_t& size) {
    if (FOutput.size() < 2 * count)
        FOutput.resize(2 * count);
    TPacketWriter out(FOutput.data());
    std::size_t literalStart = 0; // first byte not yet written
    std::size_t chainStart = 0;   // first byte of the pending runs of two
    bool inChain = false;
    bool previousLiteral = false; // the previous run has run length 1 after the forward pass
    std::size_t pos = 0;
    while (pos < count) {
        const std::uint8_t value = row[pos];
        std::size_t end = pos + 1;
        while (end < count && row[end] == value)
            ++end;
        const std::size_t length = end - pos;
        if (length == 1 || (length == 2 && previousLiteral)) {
            // A literal byte: a pending chain of runs of two joins the literal.
            inChain = false;
            previousLiteral = true;
        } else if (length == 2) {
            if (!inChain) {
                inChain = true;
                chainStart = pos;
            }
            previousLiteral = false;
        } else {
            const std::size_t repeatsFrom = inChain ? chainStart : pos;
            out.Literal(row + literalStart, repeatsFrom - literalStart);
            for (std::size_t at = repeatsFrom; at < pos; at += 2)
                out.Repeat(row[at], 2);
            out.Repeat(value, length);
            literalStart = end;
            inChain = false;
            previousLiteral = false;
        }
        pos = end;
    }
    const std::size_t repeatsFrom = inChain ? chainStart : count;
    out.Literal(row + literalStart, repeatsFrom - literalStart);
    for (std::size_t at = repeatsFrom; at < count; at += 2)
        out.Repeat(row[at], 2);
    size = static_cast<std::size_t>(out.End() - FOutput.data());
    return FOutput.data();
}
