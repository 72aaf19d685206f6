#pragma once

#include <Random123/philox.h>

#include <cstdint>

// Draws in [0, 1) from the counter-based generator Philox4x32-10 under a key of two words. Every
// key is a stream of its own that shares no stretch with another's at any length, and a
// stream's position is one number: the draws taken.
class TPhiloxStream {
public:
    TPhiloxStream(std::uint32_t key0, std::uint32_t key1, std::uint64_t position = 0)
        : FKey{{key0, key1}}, FNextBlock(position / 4) {
        Refill();
        FUsed = static_cast<int>(position % 4);
    }

    double Next() {
        if (FUsed == 4)
            Refill();
        return FBlock[FUsed++] * (1.0 / 4294967296.0);
    }

    std::uint64_t Position() const {
        return FNextBlock * 4 - static_cast<std::uint64_t>(4 - FUsed);
    }

    // The generator itself: four words for a counter of four words and a key of two.
    using TGenerator = r123::Philox4x32_R<10>;

private:
    void Refill() {
        const TGenerator::ctr_type counter{{static_cast<std::uint32_t>(FNextBlock),
                                            static_cast<std::uint32_t>(FNextBlock >> 32), 0, 0}};
        FBlock = TGenerator()(counter, FKey);
        ++FNextBlock;
        FUsed = 0;
    }

    TGenerator::key_type FKey;
    std::uint64_t FNextBlock;
    TGenerator::ctr_type FBlock{};
    int FUsed = 4;
};
