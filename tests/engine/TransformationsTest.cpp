#include "engine/MapFamilies.h"
#include "engine/Rotation.h"
#include "engine/Variations.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>

TEST(Variations, MoveTheSamplePointsAsDocumented) {
    const double w = 0.05;
    double x = 0.01, y = 0.01;
    ApplySinusoidal(x, y, w);
    EXPECT_NEAR(x, 0.0131395, 1e-7);
    EXPECT_EQ(x, y);

    x = 0.01, y = 0.01;
    EXPECT_DOUBLE_EQ(VariationRadius2(x, y), 0.000200000001);
    ApplySpherical(x, y, w);
    EXPECT_NEAR(x, 0.01 + w * 49.99999975, 1e-9);
    EXPECT_NEAR(y, 2.51, 1e-6);

    x = 0.0, y = 0.0;
    EXPECT_EQ(VariationTheta(x, y), 0.0);
    ApplyPolar(x, y, w);
    EXPECT_EQ(x, 0.0);
    EXPECT_NEAR(y, -0.04999995, 1e-12);

    // Horseshoe at the origin turns by angle 0: u = -y, v = x, both 0.
    x = 0.0, y = 0.0;
    ApplyHorseshoe(x, y, w);
    EXPECT_EQ(x, 0.0);
    EXPECT_EQ(y, 0.0);

    x = -1.0, y = -1.0;
    ApplyBent(x, y, w);
    EXPECT_DOUBLE_EQ(x, -1.1);
    EXPECT_DOUBLE_EQ(y, -1.025);

    x = 0.01, y = 0.01;
    ApplyRotational(x, y);
    EXPECT_NEAR(x, 0.0093524, 1e-7);
    EXPECT_NEAR(y, 0.0106082, 1e-7);

    // Swirl at (1, 0): r2 = 1 + 1e-12, so the turn is almost a full circle: u ~ 0, v ~ 1.
    x = 1.0, y = 0.0;
    ApplySwirl(x, y, w);
    EXPECT_NEAR(x, 1.0, 1e-9);
    EXPECT_NEAR(y, w, 1e-9);

    // With w = 0 the additive variations leave the point alone; Rotational still acts.
    x = 0.3, y = -0.2;
    ApplySinusoidal(x, y, 0.0);
    ApplySpherical(x, y, 0.0);
    ApplySwirl(x, y, 0.0);
    ApplyHorseshoe(x, y, 0.0);
    ApplyPolar(x, y, 0.0);
    ApplyBent(x, y, 0.0);
    EXPECT_EQ(x, 0.3);
    EXPECT_EQ(y, -0.2);
}

TEST(Variations, ThetaIsThePlainArctangentOfXOverY) {
    EXPECT_DOUBLE_EQ(VariationTheta(1.0, 1.0), std::atan(1.0));
    EXPECT_DOUBLE_EQ(VariationTheta(1.0, -1.0), -std::atan(1.0));
    // y exactly 0: the quotient is infinite, the angle +-pi/2 with the sign of x.
    EXPECT_DOUBLE_EQ(VariationTheta(2.0, 0.0), std::atan(1.0) * 2);
    EXPECT_DOUBLE_EQ(VariationTheta(-2.0, 0.0), -std::atan(1.0) * 2);
    EXPECT_EQ(VariationTheta(5e-11, -5e-11), 0.0);
    EXPECT_EQ(VariationTheta(std::nan(""), std::nan("")), 0.0);
    EXPECT_TRUE(std::isnan(VariationTheta(std::nan(""), 1.0)));
}

TEST(MapFamilies, ZeroCoefficientsCollapseThePoint) {
    const std::array<double, 121> zero{};
    const double* c = zero.data();
    for (int b : {0, 19, 39}) {
        double x = 0.3, y = -0.7, z = 0.9, nextZ = 0.25;
        ApplyLatoocarfian01(c, b, x, y, z, nextZ);
        EXPECT_EQ(x, 0.0);
        EXPECT_EQ(y, 0.0);
        EXPECT_EQ(z, 0.25);

        x = 0.3, y = -0.7, z = 0.9;
        ApplyLatoocarfian02(c, b, x, y, z, nextZ);
        EXPECT_EQ(x, 0.0);
        EXPECT_EQ(y, 0.0);
        EXPECT_EQ(z, 0.25);

        x = 0.3, y = -0.7, z = 0.9;
        ApplyIFS01(c, b, x, y, z, nextZ);
        EXPECT_EQ(x, 0.0);
        EXPECT_EQ(y, 0.0);
        EXPECT_EQ(z, 0.0);
        EXPECT_EQ(nextZ, 0.0);

        x = 0.3, y = -0.7, z = 0.9;
        ApplyIFS02(c, b, x, y);
        EXPECT_EQ(x, 0.0);
        EXPECT_EQ(y, 0.0);

        x = 0.3, y = -0.7, z = 0.9;
        ApplyAT01(c, b, x, y, z);
        EXPECT_EQ(x, 0.0);
        EXPECT_EQ(y, 0.0);
        EXPECT_EQ(z, 0.0);

        x = 0.3, y = -0.7, z = 0.9;
        ApplyAT02(c, b, x, y, z);
        EXPECT_EQ(x, 0.0);
        EXPECT_EQ(y, 0.0);
        EXPECT_EQ(z, 0.0);
    }
}

TEST(MapFamilies, ReadTheirOwnCoefficientsPerGroup) {
    std::array<double, 121> coef{};
    double* c = coef.data();
    c[0] = 99.0; // the rotation limit: no map may read it
    // IFS 01 of group 2 adds its constants c[29], c[30].
    c[19 + 10] = 0.25;
    c[19 + 11] = -0.5;
    double x = 0.1, y = 0.2, z = 0.3, nextZ = 0.0;
    ApplyIFS01(c, 19, x, y, z, nextZ);
    EXPECT_EQ(x, 0.25);
    EXPECT_EQ(y, -0.5);
    EXPECT_EQ(z, -0.25);
    EXPECT_EQ(nextZ, -0.25);

    // IFS 02 of group 3 uses c[100..105]; y is computed from the old x.
    c[60 + 39 + 1] = 2.0;
    c[60 + 39 + 3] = 1.0;
    c[60 + 39 + 6] = 0.5;
    x = 1.0, y = 7.0;
    ApplyIFS02(c, 39, x, y);
    EXPECT_EQ(x, 2.0);
    EXPECT_EQ(y, 1.5);

    // AT 01's second factors are the fixed elements 3, 5, 9, ... in every group.
    std::array<double, 121> at{};
    at[3] = 2.0;
    at[39 + 4] = 0.5;
    at[39 + 1] = 0.125;
    x = 0.0, y = 4.0, z = 0.0;
    ApplyAT01(at.data(), 39, x, y, z);
    EXPECT_EQ(x, 0.125 + 0.5 * 2.0 * 4.0);

    // AT 02 sets z to x - y.
    std::array<double, 121> at2{};
    at2[60 + 5] = 3.0;
    at2[60 + 6] = 1.0;
    x = 0.0, y = 0.0, z = 5.0;
    ApplyAT02(at2.data(), 0, x, y, z);
    EXPECT_EQ(x, 3.0);
    EXPECT_EQ(y, 1.0);
    EXPECT_EQ(z, 2.0);
}

TEST(Rotation, TurnsOnTicksAndWrapsBeforeTheIncrement) {
    TRotation at01(EnginePi, true);
    TRotation plain(EnginePi, false);
    at01.Restart(0);
    plain.Restart(0);
    // Angle 0: AT 01 reflects, the others leave the point unchanged.
    double x = 0.3, y = 0.4;
    at01.Apply(x, y, 0, 0.1, 2.0);
    EXPECT_EQ(x, 0.3);
    EXPECT_EQ(y, -0.4);
    x = 0.3, y = 0.4;
    plain.Apply(x, y, 0, 0.1, 2.0);
    EXPECT_EQ(x, 0.3);
    EXPECT_EQ(y, 0.4);

    // Angle 0.5 (one tick with step 0.5): both map (x, y) to (-y, x).
    x = 0.3, y = 0.4;
    at01.Apply(x, y, 1, 0.5, 2.0);
    EXPECT_EQ(at01.Angle(), 0.5);
    EXPECT_NEAR(x, -0.4, 1e-11);
    EXPECT_NEAR(y, 0.3, 1e-11);
    x = 0.3, y = 0.4;
    plain.Apply(x, y, 1, 0.5, 2.0);
    EXPECT_NEAR(x, -0.4, 1e-11);
    EXPECT_NEAR(y, 0.3, 1e-11);

    // The same tick does not advance again.
    plain.Apply(x, y, 1, 0.5, 2.0);
    EXPECT_EQ(plain.Angle(), 0.5);
    EXPECT_EQ(plain.LastTick(), 1);

    // Wrap before the increment: the angle may exceed the limit by up to one step.
    TRotation r(EnginePi, false);
    r.Restart(0);
    for (int tick = 1; tick <= 4; ++tick)
        r.Apply(x, y, tick, 0.5, 2.0);
    EXPECT_EQ(r.Angle(), 2.0); // equal to the limit: no wrap yet
    r.Apply(x, y, 5, 0.5, 2.0);
    EXPECT_EQ(r.Angle(), 2.5);
    r.Apply(x, y, 5, 0.5, 2.0); // same tick: only the wrap
    EXPECT_EQ(r.Angle(), 0.0);
    r.Apply(x, y, 6, 0.5, 2.0);
    EXPECT_EQ(r.Angle(), 0.5);

    // IFS 01 turns twice as fast: angle 0.25 is already a quarter turn.
    TRotation ifs01(EngineTwoPi, false);
    ifs01.Restart(0);
    x = 1.0, y = 0.0;
    ifs01.Apply(x, y, 1, 0.25, 2.0);
    EXPECT_NEAR(x, 0.0, 1e-11);
    EXPECT_NEAR(y, 1.0, 1e-11);

    // A new coefficient set keeps the angle but resynchronises the tick.
    ifs01.SyncTick(7);
    ifs01.Apply(x, y, 7, 0.25, 2.0);
    EXPECT_EQ(ifs01.Angle(), 0.25);
}
