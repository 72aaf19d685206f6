#pragma once

#include "engine/FractalEngine.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>

// The one fractal engine of the program and the render runs of all documents. A run keeps the
// user-interface thread inside the engine and lets Qt handle pending events from there every
// few milliseconds, so every window stays usable while a picture grows.
//
// Only one run is ever on the stack: a restart requested while a run is in progress (the same
// document's or another's) ends that run, and the new run starts as soon as the engine has
// returned. Restarts therefore never pile up on the stack, however often the user presses Draw.
class TRenderSession {
public:
    using TRun = std::function<void()>;

    TRenderSession();
    ~TRenderSession();
    TRenderSession(const TRenderSession&) = delete;
    TRenderSession& operator=(const TRenderSession&) = delete;

    TFractalEngine& Engine() { return *FEngine; }
    // The clock the engine draws its coefficient sets from; the time of day unless replaced.
    void SetDrawClock(TFractalEngine::TClock clock) { FDrawClock = std::move(clock); }
    // The clock value the block's current coefficients were drawn from, once it has drawn any.
    std::optional<std::uint32_t> DrawClockOf(const TFractalParams& block) const;
    // The block's coefficients were given, not drawn: from that clock value where known.
    void Keep(const TFractalParams& block, std::optional<std::uint32_t> drawClock);

    // Hears of a set drawn for the block once it has passed its warm-up, with its clock value.
    using TSetAccepted = std::function<void(std::uint32_t drawClock)>;
    // Renders the block in the engine until it is stopped. A set drawn in an earlier run and
    // still in its warm-up counts when this run accepts it.
    void Run(TFractalParams& block, const TSetAccepted& accepted);

    // Performs `run`, which renders into `block`, now when nothing renders; otherwise ends the
    // current run and performs `run` right after it. A later request replaces an earlier one
    // that has not started yet. Returns once no run is left when it started the first one.
    void Start(TFractalParams& block, TRun run);
    // Forgets a request for `block` that has not started yet.
    void Cancel(const TFractalParams& block);
    bool Running() const { return FActive != nullptr; }
    const TFractalParams* ActiveBlock() const { return FActive; }

    // Called whenever the last run has ended.
    std::function<void()> OnIdle;

private:
    void HandleEventsWhenDue();
    // Tells the run when the running block's set has gone past its first plotted step since it
    // was drawn.
    void NoteAcceptance();

    struct TDraw {
        std::uint32_t Clock = 0;
        bool Accepted = false;
    };

    std::unique_ptr<TFractalEngine> FEngine;
    TFractalEngine::TClock FDrawClock = TFractalEngine::UtcMillisecondsOfDay;
    // Documents live as long as the program, so their blocks' addresses stay theirs.
    std::map<const TFractalParams*, TDraw> FDraws;
    const TSetAccepted* FSetAccepted = nullptr;
    TFractalParams* FActive = nullptr;
    TFractalParams* FPendingBlock = nullptr;
    TRun FPendingRun;
    std::chrono::steady_clock::time_point FLastEvents;
};
