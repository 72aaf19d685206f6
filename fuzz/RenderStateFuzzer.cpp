// Reads any bytes as a render state. The reader may refuse them with its own exception, with a
// short message, but must never crash, take memory beyond its bounds nor allocate counters beyond
// the memory it is given. Almost no input matches the header's checksum, so each is read a second
// time with its checksum made to match, which lets the fuzzer reach the fields behind it.
#include "render/RenderState.h"

#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string_view>
#include <vector>

namespace {

constexpr std::size_t MaxHitBytes = std::size_t{64} << 20;
// The header's length follows the 16 bytes of the magic and the 4 of the version; the header's
// checksum follows the header.
constexpr std::size_t HeaderLengthAt = 20;

void Read(std::span<const std::uint8_t> bytes) {
    try {
        const TRenderState state = ParseRenderState(bytes, "fuzz.qstate", MaxHitBytes);
        if (TSharedHits::Bytes(state.Width, state.Height, state.Hits->CounterWidth()) > MaxHitBytes)
            std::abort();
    } catch (const ERenderState& error) {
        // Long enough for the name, a field and a reason; never the input itself.
        if (std::string_view(error.what()).size() > 300)
            std::abort();
    }
}

void ReadWithMatchingChecksum(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < HeaderLengthAt + 4)
        return;
    std::size_t length = 0;
    for (std::size_t i = 0; i < 4; ++i)
        length |= std::size_t{bytes[HeaderLengthAt + i]} << (8 * i);
    if (length > bytes.size() || bytes.size() - length < 4)
        return;
    std::vector<std::uint8_t> sealed(bytes.begin(), bytes.end());
    const auto checksum =
        static_cast<std::uint32_t>(crc32_z(crc32_z(0, nullptr, 0), sealed.data(), length));
    for (std::size_t i = 0; i < 4; ++i)
        sealed[length + i] = static_cast<std::uint8_t>(checksum >> (8 * i));
    Read(sealed);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);
    Read(bytes);
    ReadWithMatchingChecksum(bytes);
    return 0;
}
