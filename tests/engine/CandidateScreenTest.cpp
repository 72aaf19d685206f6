#include "render/CandidateScreen.h"
#include "render/SetMutation.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

bool SameCoefficients(const TFractalParams& a, const TFractalParams& b) {
    return std::memcmp(a.RotationLimitAndCoef, b.RotationLimitAndCoef,
                       sizeof a.RotationLimitAndCoef) == 0;
}

// What a screen handed over, in its order: number, verdict and the set's coefficients.
struct THandedOver {
    int Index;
    bool Passed;
    TFractalParams Set;
};

std::vector<THandedOver> Screen(const TCandidateScreen::TSettingsOf& settingsOf,
                                const TScreenFilter& filter, int threads, int passing) {
    std::vector<THandedOver> handedOver;
    {
        TCandidateScreen screen(settingsOf, filter, 3, threads, [&](TCandidate&& candidate) {
            handedOver.push_back({candidate.Index, candidate.Passed, candidate.Set.Set.Params});
        });
        screen.Want(passing);
        screen.Wait();
    }
    return handedOver;
}

TRenderSettings SmallCell() {
    TRenderSettings cell;
    cell.Width = 48;
    cell.Height = 36;
    cell.Steps = 48 * 36 * 10;
    cell.Seed = 4242;
    return cell;
}

} // namespace

TEST(CandidateScreen, HandsOverTheSameCandidatesInOrderWhateverTheThreads) {
    const TRenderSettings cell = SmallCell();
    const auto fresh = [&cell](int k) { return FreshCandidate(cell, k); };
    const TScreenFilter filter{0.02, std::pair{1.0, 1.8}};
    const std::vector<THandedOver> one = Screen(fresh, filter, 1, 4);
    const std::vector<THandedOver> three = Screen(fresh, filter, 3, 4);
    ASSERT_GE(one.size(), 4u);
    int passed = 0;
    for (std::size_t k = 0; k < one.size(); ++k) {
        EXPECT_EQ(one[k].Index, 3 + static_cast<int>(k));
        passed += one[k].Passed ? 1 : 0;
    }
    EXPECT_GE(passed, 4);
    // Three threads may have screened a few more; what both handed over is the same.
    ASSERT_GE(three.size(), one.size());
    for (std::size_t k = 0; k < one.size(); ++k) {
        EXPECT_EQ(three[k].Index, one[k].Index);
        EXPECT_EQ(three[k].Passed, one[k].Passed);
        EXPECT_TRUE(SameCoefficients(three[k].Set, one[k].Set)) << k;
    }
}

TEST(CandidateScreen, MutationsFollowTheSeedAndStayWithinTheStrength) {
    TMutation mutation;
    mutation.Centre.Params.UseAT01 = BoolTrue;
    for (int k = 1; k <= 120; ++k)
        mutation.Centre.Params.Coef(k) = std::sin(k);
    mutation.Centre.DrawClock = 777;
    struct TRow {
        double Strength;
        std::uint32_t Seed;
    };
    for (const TRow row : {TRow{TMutation::MinStrength, 1}, TRow{0.05, 99},
                           TRow{TMutation::MaxStrength, 86399999}}) {
        mutation.Strength = row.Strength;
        mutation.Seed = row.Seed;
        EXPECT_TRUE(SameCoefficients(mutation.Variant(0).Params, mutation.Centre.Params));
        TMutation otherSeed = mutation;
        otherSeed.Seed = row.Seed + 1;
        for (int number = 1; number <= 8; ++number) {
            const TParameterFile variant = mutation.Variant(number);
            EXPECT_TRUE(SameCoefficients(variant.Params, mutation.Variant(number).Params));
            EXPECT_FALSE(SameCoefficients(variant.Params, mutation.Variant(number + 1).Params));
            EXPECT_FALSE(SameCoefficients(variant.Params, otherSeed.Variant(number).Params));
            EXPECT_EQ(variant.Params.RotationLimit(), mutation.Centre.Params.RotationLimit());
            EXPECT_EQ(variant.Params.UseAT01, BoolTrue);
            EXPECT_EQ(variant.DrawClock, mutation.Centre.DrawClock);
            double largest = 0.0;
            for (int k = 1; k <= 120; ++k)
                largest = std::max(
                    largest, std::abs(variant.Params.Coef(k) - mutation.Centre.Params.Coef(k)));
            EXPECT_LE(largest, row.Strength);
            EXPECT_GT(largest, row.Strength / 2);
        }
    }
}

TEST(CandidateScreen, AVariantThatFailsItsWarmUpIsScreenedOutWithItsReason) {
    TMutation mutation;
    mutation.Centre.Params.StoreDefaults();
    // Coefficients far outside the drawn range send every orbit away.
    for (int k = 1; k <= 120; ++k)
        mutation.Centre.Params.Coef(k) = 40.0;
    mutation.Centre.DrawClock = 1;
    const auto settingsOf = [&mutation](int k) { return mutation.Screening(k, 32, 24, 5.0); };
    std::atomic<int> failed{0};
    TCandidateScreen screen(settingsOf, {}, 0, 2, [&failed](TCandidate&& candidate) {
        failed += candidate.Passed || candidate.Failure.empty() ? 0 : 1;
    });
    screen.Want(1);
    // Nothing passes: wait for a few verdicts rather than for a pass that never comes.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (failed < 2 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ASSERT_GE(failed, 2);
    EXPECT_FALSE(screen.GaveUp());
    EXPECT_NE(screen.LastFailure().find("warm-up"), std::string::npos) << screen.LastFailure();
}
