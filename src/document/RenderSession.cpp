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
    FEngine->SetPassHook([this] { HandleEventsWhenDue(); }, PassesPerClockCheck);
    FEngine->SetClock([this] {
        const std::uint32_t clock = FDrawClock();
        FDrawClocks[FEngine->Params()] = clock;
        return clock;
    });
}

std::optional<std::uint32_t> TRenderSession::DrawClockOf(const TFractalParams& block) const {
    const auto found = FDrawClocks.find(&block);
    if (found == FDrawClocks.end())
        return std::nullopt;
    return found->second;
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
    QCoreApplication::processEvents();
    // Counted from the end of the event handling, so that long handlers (a repaint of a large
    // picture) still leave the engine its share of the time.
    FLastEvents = std::chrono::steady_clock::now();
}
