#include "document/RenderSession.h"

#include <QCoreApplication>

#include <utility>

namespace {
// Reading the clock costs far more than a pass; look at it only now and then.
constexpr int PassesPerClockCheck = 256;
// Often enough for Stop, menus and the 250 ms display timer, rarely enough that the engine
// keeps almost all of its speed.
constexpr auto EventInterval = std::chrono::milliseconds(4);
} // namespace

TRenderSession::TRenderSession() : FEngine(std::make_unique<TFractalEngine>()) {
    FEngine->SetPassHook(
        [this] {
            NoteAcceptance();
            HandleEventsWhenDue();
        },
        PassesPerClockCheck);
    FEngine->SetClock([this] {
        const std::uint32_t clock = FDrawClock();
        // The set being replaced may have been accepted since the last pass hook.
        NoteAcceptance();
        FDraws[FEngine->Params()] = {clock, false};
        return clock;
    });
}

std::optional<std::uint32_t> TRenderSession::DrawClockOf(const TFractalParams& block) const {
    const auto found = FDraws.find(&block);
    if (found == FDraws.end())
        return std::nullopt;
    return found->second.Clock;
}

void TRenderSession::Keep(const TFractalParams& block, std::optional<std::uint32_t> drawClock) {
    if (drawClock)
        FDraws[&block] = {*drawClock, true};
    else
        FDraws.erase(&block);
}

void TRenderSession::Run(TFractalParams& block, const TSetAccepted& accepted) {
    FSetAccepted = &accepted;
    FEngine->RunFractal(&block);
    NoteAcceptance();
    FSetAccepted = nullptr;
}

void TRenderSession::NoteAcceptance() {
    const TFractalParams* block = FEngine->Params();
    const auto found = FDraws.find(block);
    // A third of all sets pass the warm-up only to escape at the first plotted step and be
    // drawn again; a set past that step has passed.
    if (found == FDraws.end() || found->second.Accepted ||
        block->StepCount <= TFractalEngine::FirstPlotStep)
        return;
    found->second.Accepted = true;
    if (FSetAccepted && *FSetAccepted)
        (*FSetAccepted)(found->second.Clock);
}

TRenderSession::~TRenderSession() = default;

void TRenderSession::Start(TFractalParams& block, TRun run) {
    FPendingBlock = &block;
    FPendingRun = std::move(run);
    if (FActive) {
        FActive->AbortRequested = BoolTrue;
        return;
    }
    const auto finish = [this] {
        FActive = nullptr;
        FPendingBlock = nullptr;
        FPendingRun = nullptr;
        if (OnIdle)
            OnIdle();
    };
    try {
        while (FPendingRun) {
            const TRun next = std::exchange(FPendingRun, nullptr);
            FActive = std::exchange(FPendingBlock, nullptr);
            FLastEvents = std::chrono::steady_clock::now();
            next();
        }
    } catch (...) {
        finish();
        throw;
    }
    finish();
}

void TRenderSession::Cancel(const TFractalParams& block) {
    if (FPendingBlock == &block) {
        FPendingBlock = nullptr;
        FPendingRun = nullptr;
    }
}

void TRenderSession::HandleEventsWhenDue() {
    if (std::chrono::steady_clock::now() - FLastEvents < EventInterval)
        return;
    // Any handler may read the picture (a repaint, Save As, a zoom's preview) or change a colour
    // setting: the points plotted so far take their colours first, as if coloured at each hit.
    FEngine->ColourPendingPixels();
    QCoreApplication::processEvents();
    // Counted from the end of the event handling, so that long handlers (a repaint of a large
    // picture) still leave the engine its share of the time.
    FLastEvents = std::chrono::steady_clock::now();
}
