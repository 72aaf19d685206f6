#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// PackBits run-length encoding of one row at a time. Runs of two equal bytes next to literal
// bytes are folded into the literal, which keeps the output shorter than a two-byte repeat
// would. The encoder keeps its output buffer between rows.
class TPackBitsEncoder {
public:
    // Encodes `count` bytes; the result stays valid until the next call. The output never
    // exceeds 2 × count bytes.
    const std::uint8_t* Encode(const std::uint8_t* row, std::size_t count, std::size_t& size);

private:
    std::vector<std::uint8_t> FOutput;
};
