#pragma once

#include <cstdint>

// The engine's 32-bit linear congruential generator: Seed := Seed x 134775813 + 1 (mod 2^32),
// value Seed / 2^32 in [0, 1).
class TLcgRandom {
public:
    explicit TLcgRandom(std::uint32_t seed = 0) : FSeed(seed) {}

    void Reseed(std::uint32_t seed) { FSeed = seed; }
    std::uint32_t Seed() const { return FSeed; }

    double Next() {
        FSeed = FSeed * 134775813u + 1u;
        return FSeed * (1.0 / 4294967296.0);
    }

private:
    std::uint32_t FSeed;
};
