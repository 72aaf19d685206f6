#pragma once

#include <array>
#include <cstdint>

// Where one orbit of a render stands between two of its passes: everything its engine and its
// tick counter need to go on exactly as if it had never stopped.
struct TOrbitRunState {
    enum class TPhase : std::uint8_t { NotStarted, Running, Finished };
    TPhase Phase = TPhase::NotStarted;
    double X = 0.0, Y = 0.0, Z = 0.0;
    // The z IFS 01 last produced, which the sine maps copy.
    double NextZ = 0.0;
    double ShadowX = 0.0, ShadowY = 0.0, ShadowZ = 0.0;
    double LogSum = 0.0;
    double SampleCount = 1.0;
    std::array<double, 6> RotationAngles{};
    std::array<std::int32_t, 6> RotationTicks{};
    // The block's step counter, display tick and Lyapunov estimate.
    std::int32_t StepCount = 0;
    std::int32_t Tick = 0;
    double Lyapunov = 1.0;
    std::int64_t StepsPastCeiling = 0;
    // Draws the orbit has taken from its Philox stream.
    std::uint64_t StreamPosition = 0;
    // Passes left until the next display tick, and until the next call of the pass hook.
    std::int64_t UntilTick = 0;
    std::int32_t UntilHook = 1;
    bool operator==(const TOrbitRunState&) const = default;
};
