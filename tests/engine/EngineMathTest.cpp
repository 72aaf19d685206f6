#include "engine/EngineMath.h"
#include "engine/LcgRandom.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>

TEST(EngineMath, RoundingSendsHalvesToTheEvenNeighbour) {
    EXPECT_EQ(RoundHalfEven(0.5), 0.0);
    EXPECT_EQ(RoundHalfEven(1.5), 2.0);
    EXPECT_EQ(RoundHalfEven(2.5), 2.0);
    EXPECT_EQ(RoundHalfEven(-0.5), 0.0);
    EXPECT_EQ(RoundHalfEven(-1.5), -2.0);
    EXPECT_EQ(RoundHalfEven(2.8), 3.0);
    EXPECT_EQ(RoundHalfEven(399.5), 400.0);
    EXPECT_EQ(RoundHalfEven(0.49999999999999994), 0.0);
    EXPECT_EQ(RoundHalfEven(1e300), 1e300);
    // Agrees with the library's rounding in the default mode over a spread of values.
    for (double v = -70000.25; v < 70000.0; v += 12.125)
        EXPECT_EQ(RoundHalfEven(v), std::nearbyint(v)) << v;

    EXPECT_EQ(RoundToInt32(7.0), 7);
    EXPECT_EQ(RoundToInt32(3e9), std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(RoundToInt32(-3e9), std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(RoundToInt32(std::nan("")), 0);

    int index = -1;
    EXPECT_TRUE(RoundToIndex(0.4, 400, index));
    EXPECT_EQ(index, 0);
    EXPECT_TRUE(RoundToIndex(-0.5, 400, index));
    EXPECT_EQ(index, 0);
    EXPECT_TRUE(RoundToIndex(398.5, 400, index));
    EXPECT_EQ(index, 398);
    EXPECT_FALSE(RoundToIndex(399.5, 400, index));
    EXPECT_FALSE(RoundToIndex(-0.6, 400, index));
    EXPECT_FALSE(RoundToIndex(1e20, 400, index));
    EXPECT_FALSE(RoundToIndex(std::nan(""), 400, index));
}

TEST(EngineMath, ChannelsFoldWithPeriod512) {
    EXPECT_EQ(FoldChannel(0), 0);
    EXPECT_EQ(FoldChannel(255), 255);
    EXPECT_EQ(FoldChannel(256), 255);
    EXPECT_EQ(FoldChannel(300), 211);
    EXPECT_EQ(FoldChannel(511), 0);
    EXPECT_EQ(FoldChannel(512), 0);
    EXPECT_EQ(FoldChannel(600), 88);
}

TEST(LcgRandom, FollowsTheCongruentialSequence) {
    // Seed x 134775813 + 1 modulo 2^32 from seed 0: 1, 134775814, 3698175007.
    TLcgRandom random(0);
    EXPECT_EQ(random.Next(), 1.0 / 4294967296.0);
    EXPECT_EQ(random.Seed(), 1u);
    EXPECT_EQ(random.Next(), 134775814.0 / 4294967296.0);
    EXPECT_EQ(random.Next(), 3698175007.0 / 4294967296.0);
    EXPECT_EQ(random.Seed(), 3698175007u);

    random.Reseed(0xFFFFFFFFu);
    const double last = random.Next();
    EXPECT_GE(last, 0.0);
    EXPECT_LT(last, 1.0);
    EXPECT_EQ(random.Seed(), 0xFFFFFFFFu * 134775813u + 1u);
}
