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
        FSeed = FSeed * Multiplier + Increment;
        return FSeed * (1.0 / 4294967296.0);
    }

    // The state `count` draws on, in O(log count) steps: the generator's cycle of 2^32 states
    // can be split into disjoint streams.
    void Advance(std::uint64_t count) {
        std::uint32_t multiplier = Multiplier, increment = Increment;
        std::uint32_t totalMultiplier = 1, totalIncrement = 0;
        for (; count != 0; count >>= 1) {
            if (count & 1) {
                totalMultiplier *= multiplier;
                totalIncrement = totalIncrement * multiplier + increment;
            }
            increment *= multiplier + 1;
            multiplier *= multiplier;
        }
        FSeed = FSeed * totalMultiplier + totalIncrement;
    }

private:
    static constexpr std::uint32_t Multiplier = 134775813u;
    static constexpr std::uint32_t Increment = 1u;
    std::uint32_t FSeed;
};
