#include "engine/CorrelationDimension.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace {

std::vector<TPlanePoint> Points(int count, const std::function<TPlanePoint(std::mt19937&)>& next) {
    std::mt19937 random(20261208);
    std::vector<TPlanePoint> points;
    for (int i = 0; i < count; ++i)
        points.push_back(next(random));
    return points;
}

double Uniform(std::mt19937& random) {
    return std::uniform_real_distribution<double>(0.0, 1.0)(random);
}

std::vector<TPlanePoint> HenonAttractor(int count) {
    double x = 0.1, y = 0.1;
    // The transient first.
    for (int i = 0; i < 1000; ++i)
        x = std::exchange(y, 0.3 * x) + 1.0 - 1.4 * x * x;
    return Points(count, [&](std::mt19937&) {
        x = std::exchange(y, 0.3 * x) + 1.0 - 1.4 * x * x;
        return TPlanePoint{x, y};
    });
}

std::vector<TPlanePoint> SierpinskiTriangle(int count) {
    const TPlanePoint corners[] = {{0.0, 0.0}, {1.0, 0.0}, {0.5, std::sqrt(0.75)}};
    TPlanePoint at{0.3, 0.3};
    return Points(count, [&](std::mt19937& random) {
        const TPlanePoint& corner = corners[random() % 3];
        at = {(at.X + corner.X) / 2, (at.Y + corner.Y) / 2};
        return at;
    });
}

} // namespace

TEST(CorrelationDimension, FindsTheDimensionOfSetsWithKnownAnswers) {
    struct TCase {
        std::string Name;
        std::vector<TPlanePoint> Points;
        double Expected;
        double Tolerance;
    };
    const TCase cases[] = {
        // Grassberger and Procaccia measured 1.21 +- 0.01; other estimates reach 1.26.
        {"Henon attractor", HenonAttractor(4000), 1.22, 0.05},
        {"Sierpinski triangle", SierpinskiTriangle(4000), std::log(3.0) / std::log(2.0), 0.05},
        {"line",
         Points(4000,
                [](std::mt19937& r) {
                    const double t = Uniform(r);
                    return TPlanePoint{3.0 * t - 1.0, 0.5 - t};
                }),
         1.0, 0.03},
        {"filled square",
         Points(4000,
                [](std::mt19937& r) {
                    return TPlanePoint{Uniform(r), Uniform(r)};
                }),
         2.0, 0.05},
    };
    for (const TCase& test : cases) {
        const std::optional<TDimensionEstimate> estimate = TDimensionEstimate::Of(test.Points);
        ASSERT_TRUE(estimate) << test.Name;
        EXPECT_NEAR(estimate->Dimension, test.Expected, test.Tolerance) << test.Name;
        EXPECT_GE(std::log2(estimate->RadiusHigh / estimate->RadiusLow),
                  TDimensionEstimate::MinOctaves)
            << test.Name;
        EXPECT_EQ(estimate->Points, 4000) << test.Name;
    }
    // Too few points, or points that are all one, have no dimension to tell.
    EXPECT_FALSE(TDimensionEstimate::Of(SierpinskiTriangle(TDimensionEstimate::MinPoints - 1)));
    EXPECT_FALSE(TDimensionEstimate::Of(std::vector<TPlanePoint>(500, TPlanePoint{1.0, 2.0})));
}
