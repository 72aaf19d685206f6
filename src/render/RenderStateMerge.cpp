#include "render/RenderStateMerge.h"

#include "engine/EngineMath.h"
#include "engine/ParameterFile.h"

#include <string>

namespace {

std::string OrbitsText(int first, int end) {
    return first + 1 == end ? "orbit " + std::to_string(first)
                            : "orbits " + std::to_string(first) + " to " + std::to_string(end - 1);
}

ERenderState HeldTwice(const std::string& first, const std::string& second, int orbit) {
    return ERenderState("the state files \"" + first + "\" and \"" + second +
                        "\" both hold orbit " + std::to_string(orbit));
}

// What makes two states shares of one render, or the first that differs.
std::string Difference(const TRenderState& a, const TRenderState& b) {
    if (a.Parameters != b.Parameters)
        return "its set, settings or view";
    if (a.Width != b.Width || a.Height != b.Height || a.Supersample != b.Supersample)
        return "its picture size or supersampling";
    if (a.Steps != b.Steps)
        return "its steps (" + std::to_string(b.Steps) + " against " + std::to_string(a.Steps) +
               ")";
    if (a.Orbits != b.Orbits)
        return "its orbits (" + std::to_string(b.Orbits) + " against " + std::to_string(a.Orbits) +
               ")";
    if (a.Transparent != b.Transparent)
        return "its transparency";
    if (a.DrawClock != b.DrawClock)
        return "its clock";
    if (a.Hits->CounterWidth() != b.Hits->CounterWidth())
        return "its counters";
    return {};
}

} // namespace

TRenderState MergeRenderStates(const std::vector<std::string>& fileNames, std::size_t maxHitBytes) {
    if (fileNames.empty())
        throw ERenderState("no state files to merge");
    TRenderState merged = LoadRenderState(fileNames.front(), maxHitBytes);
    // Which file holds each orbit; empty for none yet.
    std::vector<std::string> holders(static_cast<std::size_t>(merged.Orbits));
    std::vector<TOrbitRunState> orbits(static_cast<std::size_t>(merged.Orbits));
    const auto take = [&](TRenderState& state, const std::string& name) {
        for (int orbit = state.FirstOrbit; orbit < state.EndOrbit; ++orbit) {
            std::string& holder = holders[static_cast<std::size_t>(orbit)];
            if (!holder.empty())
                throw HeldTwice(holder, name, orbit);
            holder = name;
            orbits[static_cast<std::size_t>(orbit)] =
                state.OrbitStates[static_cast<std::size_t>(orbit - state.FirstOrbit)];
        }
    };
    take(merged, fileNames.front());
    const std::int32_t increment =
        RoundToInt32(TParameterFile::FromJson(merged.Parameters).Params.Intensity);
    for (std::size_t i = 1; i < fileNames.size(); ++i) {
        TRenderState state = LoadRenderState(fileNames[i], maxHitBytes);
        if (const std::string difference = Difference(merged, state); !difference.empty())
            throw ERenderState("the state file \"" + fileNames[i] +
                               "\" is of another render than \"" + fileNames.front() +
                               "\": " + difference + " differ");
        take(state, fileNames[i]);
        TSharedHits::AddCounters(std::as_const(*state.Hits).NarrowCounters(),
                                 merged.Hits->NarrowCounters(), increment);
        TSharedHits::AddCounters(std::as_const(*state.Hits).WideCounters(),
                                 merged.Hits->WideCounters(), increment);
        TSharedHits::AddKeys(std::as_const(*state.Hits).Keys(), merged.Hits->Keys());
        merged.CoefficientSets = std::max(merged.CoefficientSets, state.CoefficientSets);
    }
    for (int orbit = 0; orbit < merged.Orbits;) {
        if (!holders[static_cast<std::size_t>(orbit)].empty()) {
            ++orbit;
            continue;
        }
        int end = orbit + 1;
        while (end < merged.Orbits && holders[static_cast<std::size_t>(end)].empty())
            ++end;
        throw ERenderState("no state file holds the " + OrbitsText(orbit, end) + " of the " +
                           std::to_string(merged.Orbits) + " orbits");
    }
    merged.FirstOrbit = 0;
    merged.EndOrbit = merged.Orbits;
    merged.OrbitStates = std::move(orbits);
    return merged;
}
