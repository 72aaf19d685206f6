#include "export/PackBits.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Encode(TPackBitsEncoder& encoder, const Bytes& row) {
    std::size_t size = 0;
    const std::uint8_t* data = encoder.Encode(row.data(), row.size(), size);
    return Bytes(data, data + size);
}

Bytes Encode(const Bytes& row) {
    TPackBitsEncoder encoder;
    return Encode(encoder, row);
}

// The decoder every TIFF reader uses: header n >= 0 copies n + 1 bytes, -127..-1 repeats the
// next byte 1 - n times, -128 is skipped.
Bytes Decode(const Bytes& packed) {
    Bytes row;
    for (std::size_t i = 0; i < packed.size();) {
        const int header = static_cast<std::int8_t>(packed[i++]);
        if (header >= 0) {
            row.insert(row.end(), packed.begin() + i, packed.begin() + i + header + 1);
            i += header + 1;
        } else if (header != -128) {
            row.insert(row.end(), 1 - header, packed[i++]);
        }
    }
    return row;
}

std::uint8_t H(int header) {
    return static_cast<std::uint8_t>(header);
}

} // namespace

TEST(PackBitsTest, EncodesTheDocumentedRows) {
    const std::uint8_t A = 'A', B = 'B', C = 'C', D = 'D', X = 'X';
    // A run of three, a literal, a run of three.
    EXPECT_EQ(Encode({A, A, A, B, C, D, D, D}), (Bytes{H(-2), A, H(1), B, C, H(-2), D}));
    // A run of two next to literal bytes joins the literal, on either side.
    EXPECT_EQ(Encode({A, B, B, C}), (Bytes{H(3), A, B, B, C}));
    EXPECT_EQ(Encode({A, A, B}), (Bytes{H(2), A, A, B}));
    EXPECT_EQ(Encode({B, A, A}), (Bytes{H(2), B, A, A}));
    // A run of two between runs stays a repeat.
    EXPECT_EQ(Encode({A, A, A, B, B, C, C, C}), (Bytes{H(-2), A, H(-1), B, H(-2), C}));
    // Long runs are cut into repeats of 128; a remainder of one is a one-byte repeat.
    EXPECT_EQ(Encode(Bytes(300, X)), (Bytes{H(-127), X, H(-127), X, H(-43), X}));
    EXPECT_EQ(Encode(Bytes(129, X)), (Bytes{H(-127), X, H(0), X}));
    EXPECT_EQ(Encode({X}), (Bytes{H(0), X}));
    EXPECT_EQ(Encode({A, A}), (Bytes{H(-1), A}));
    EXPECT_TRUE(Encode({}).empty());
}

TEST(PackBitsTest, ChainsOfRunsOfTwoJoinAnAdjacentLiteral) {
    const std::uint8_t A = 'A', B = 'B', C = 'C', X = 'X';
    // Joined backwards from the literal byte behind them, and forwards from the one before.
    EXPECT_EQ(Encode({A, A, B, B, C}), (Bytes{H(4), A, A, B, B, C}));
    EXPECT_EQ(Encode({X, A, A, B, B}), (Bytes{H(4), X, A, A, B, B}));
    // Without a literal neighbour they stay repeats.
    EXPECT_EQ(Encode({A, A, B, B}), (Bytes{H(-1), A, H(-1), B}));
    EXPECT_EQ(Encode({A, A, B, B, C, C, C}), (Bytes{H(-1), A, H(-1), B, H(-2), C}));
    EXPECT_EQ(Encode({X, X, X, A, A, B, B, C}), (Bytes{H(-2), X, H(4), A, A, B, B, C}));
}

TEST(PackBitsTest, SplitsLongLiteralsAt128Bytes) {
    Bytes row(300);
    for (std::size_t i = 0; i < row.size(); ++i)
        row[i] = static_cast<std::uint8_t>(i % 2 == 0 ? i / 2 : 255 - i / 2);
    const Bytes packed = Encode(row);
    ASSERT_EQ(packed.size(), 303u);
    EXPECT_EQ(packed[0], 127);
    EXPECT_EQ(packed[129], 127);
    EXPECT_EQ(packed[258], 300 - 257);
    EXPECT_EQ(Decode(packed), row);
}

TEST(PackBitsTest, RoundTripsRandomRowsWithinTwiceTheirSize) {
    std::mt19937 random(7);
    TPackBitsEncoder encoder; // reused: a short row after a long one must not see stale data
    for (int trial = 0; trial < 500; ++trial) {
        const std::size_t length = 1 + random() % 700;
        Bytes row;
        while (row.size() < length) {
            const std::size_t run = 1 + random() % (random() % 4 == 0 ? 300 : 3);
            row.insert(row.end(), std::min(run, length - row.size()),
                       static_cast<std::uint8_t>(random() % 4));
        }
        const Bytes packed = Encode(encoder, row);
        ASSERT_EQ(Decode(packed), row) << "trial " << trial;
        ASSERT_LE(packed.size(), 2 * row.size());
    }
}
