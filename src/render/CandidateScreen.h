#pragma once

#include "render/RenderSettings.h"
#include "render/SetScreening.h"

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

// What a candidate set must reach to be shown.
struct TScreenFilter {
    // The share of the frame's pixels reached in the plain view.
    double MinCoverage = 0.0;
    std::optional<std::pair<double, double>> DimensionRange;

    bool Passes(const TSetNumbers& numbers) const;
};

// A picture's rows, top first, three bytes a pixel as the image library keeps 24-bit pictures:
// blue, green, red.
struct TPictureRows {
    int Width = 0;
    int Height = 0;
    std::vector<std::uint8_t> Pixels;
};

// Candidate k among fresh draws: `cell` on one thread, drawing from its seed plus k times
// CandidateSpacing milliseconds. A candidate's draws take one millisecond each: far apart, no two
// candidates share one.
TRenderSettings FreshCandidate(const TRenderSettings& cell, int k);
inline constexpr std::uint32_t CandidateSpacing = 86399;

// One screened candidate: its set and numbers, or why it has none, and its pictures in the plain
// and the fitted view.
struct TCandidate {
    int Index = 0;
    bool Passed = false;
    // Empty unless the candidate's render failed: a kept set that fails its warm-up, say.
    std::string Failure;
    TScreenedSet Set;
    TPictureRows Plain;
    TPictureRows Fitted;
};

// Screens candidate sets on worker threads: candidate k is the render `settingsOf(k)` describes,
// measured by ScreenSet. Candidates are handed over in the order of k whatever the threads, so
// the passing ones, and which of them come first, depend on the settings alone. The workers go
// on while fewer passing candidates than wanted have been handed over; a few more may follow
// from renders already under way.
class TCandidateScreen {
public:
    using TSettingsOf = std::function<TRenderSettings(int candidate)>;
    // Called on a worker thread, one candidate at a time; it must not call back into the screen.
    using TDeliver = std::function<void(TCandidate&& candidate)>;
    // Failing candidates in a row before the screen gives up.
    static constexpr int MaxScreenedOut = 10000;

    TCandidateScreen(TSettingsOf settingsOf, TScreenFilter filter, int firstCandidate, int threads,
                     TDeliver deliver);
    // Stops the renders under way; nothing more is handed over.
    ~TCandidateScreen();
    TCandidateScreen(const TCandidateScreen&) = delete;
    TCandidateScreen& operator=(const TCandidateScreen&) = delete;

    // Asks for `count` more passing candidates.
    void Want(int count);
    // Blocks until the passing candidates wanted have been handed over, or the screen gave up.
    void Wait();
    // MaxScreenedOut candidates in a row failed; the last one's failure, if it had one.
    bool GaveUp() const;
    std::string LastFailure() const;

private:
    void Work(const std::stop_token& stop);
    TCandidate Screen(int k, const std::stop_token& stop) const;
    bool Enough() const { return FPassed >= FWanted || FGaveUp; }
    void HandOver(TCandidate&& candidate);

    TSettingsOf FSettingsOf;
    TScreenFilter FFilter;
    TDeliver FDeliver;
    mutable std::mutex FMutex;
    std::condition_variable_any FWake;
    std::condition_variable FDone;
    int FNext;
    int FNextHandOver;
    int FWanted = 0;
    int FPassed = 0;
    int FFailedInARow = 0;
    bool FGaveUp = false;
    std::string FLastFailure;
    std::map<int, TCandidate> FFinished;
    // Last: they start with everything above in place and are joined first.
    std::vector<std::jthread> FThreads;
};
