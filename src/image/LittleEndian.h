#pragma once

#include <cstdint>

// Little-endian fields of the bitmap headers, independent of the host's byte order.
inline void PutLE16(std::uint8_t* p, std::uint32_t value) {
    p[0] = static_cast<std::uint8_t>(value);
    p[1] = static_cast<std::uint8_t>(value >> 8);
}

inline void PutLE32(std::uint8_t* p, std::uint32_t value) {
    PutLE16(p, value);
    PutLE16(p + 2, value >> 16);
}

inline std::uint32_t GetLE16(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8;
}

inline std::uint32_t GetLE32(const std::uint8_t* p) {
    return GetLE16(p) | GetLE16(p + 2) << 16;
}
