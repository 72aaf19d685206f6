#pragma once

#include "engine/OrbitRunState.h"
#include "engine/SharedHits.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

// A state file that cannot be read or used; the text names the file and the field or offset.
class ERenderState : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Everything a render of several orbits needs to go on where it stopped, or to be added to the
// renders of its other orbits: the set, the shape of the render, where each of its orbits
// stands, and the counters and keys they have plotted so far.
struct TRenderState {
    static constexpr std::uint32_t FormatVersion = 1;
    // The text of the parameter file of the set rendered, with its view and clock.
    std::string Parameters;
    // The counters' size: the picture's times the supersampling.
    int Width = 0;
    int Height = 0;
    int Supersample = 1;
    bool Transparent = false;
    // Plotting steps of all orbits of the render together, supersampling included.
    std::int64_t Steps = 0;
    int Orbits = 1;
    // The orbits this state holds: FirstOrbit to EndOrbit - 1.
    int FirstOrbit = 0;
    int EndOrbit = 1;
    // The clock the set's orbits start from.
    std::uint32_t DrawClock = 0;
    // Where the coefficient draws go on if an orbit rejects the set (a set not from a file).
    bool KeepCoefficients = true;
    std::uint32_t NextDrawClock = 0;
    std::int32_t RejectedSets = 0;
    std::int32_t CoefficientSets = 0;
    // One for each orbit held, in order.
    std::vector<TOrbitRunState> OrbitStates;
    std::unique_ptr<TSharedHits> Hits;
};

// Writes the state compressed, through a temporary that replaces the file only when complete;
// throws ERenderState naming the file and the reason.
void SaveRenderState(const TRenderState& state, const std::string& fileName);
// Reads a regular file only; throws ERenderState naming the file and the first fault: the field
// and its offset, a truncation, damage found by the checksums, a version it does not know.
// Counters larger than maxHitBytes are refused before they are allocated.
TRenderState LoadRenderState(const std::string& fileName, std::size_t maxHitBytes);
// The same from bytes already read; `name` is used in messages.
TRenderState ParseRenderState(std::span<const std::uint8_t> bytes, const std::string& name,
                              std::size_t maxHitBytes);
