#include "image/view/CreatePaintPGThread.h"

#include "image/PixelGraphic.h"
#include "image/view/PaintCopyEvent.h"
#include "image/view/PaintProgressEvent.h"

#include <QCoreApplication>

#include <array>
#include <atomic>

namespace {

// Progress is reported at most once per slot of this length.
constexpr std::chrono::milliseconds ProgressSlot{50};

std::uint64_t NextBuild() {
    static std::atomic<std::uint64_t> builds{0};
    return ++builds;
}

template <typename TimePoint> auto Slot(TimePoint time) {
    return time.time_since_epoch() / ProgressSlot;
}

} // namespace

TCreatePaintPGThread::TCreatePaintPGThread() : FDontRun(true) {}

TCreatePaintPGThread::TCreatePaintPGThread(QObject* view, bool threaded, TResultReceiver receiver)
    : FDontRun(!threaded), FView(view), FThreaded(threaded), FResultReceiver(std::move(receiver)),
      FBuild(NextBuild()) {}

TCreatePaintPGThread::~TCreatePaintPGThread() {
    Terminate();
    WaitFor();
}

std::unique_lock<std::mutex> TCreatePaintPGThread::LockHandover() {
    static std::mutex handover;
    return std::unique_lock<std::mutex>(handover);
}

void TCreatePaintPGThread::SetSource(const TPixelGraphic& picture) {
    FSource = &picture;
    if (!FThreaded)
        return;
    FSourceCopy = std::make_unique<TPixelGraphic>();
    FSourceCopy->AssignImage(&picture);
    FSource = FSourceCopy.get();
}

void TCreatePaintPGThread::SetStretchFirst(std::unique_ptr<TPixelGraphic> intermediate) {
    FIntermediate = std::move(intermediate);
    FStretchFirst = true;
}

void TCreatePaintPGThread::SetTarget(std::unique_ptr<TPixelGraphic> target, bool optimize) {
    FTarget = std::move(target);
    FOptimize = optimize;
}

void TCreatePaintPGThread::HookProgress(TPixelGraphic& picture) {
    picture.OnProgress = [this](TPixelGraphic&, int step, int max, bool& abort) {
        Progress(step, max);
        abort = Terminated();
    };
}

void TCreatePaintPGThread::Resume() {
    if (FDontRun || FStarted)
        return;
    FStarted = true;
    FThread = std::jthread([this] { Run(); });
}

void TCreatePaintPGThread::WaitFor() {
    if (FThread.joinable())
        FThread.join();
}

void TCreatePaintPGThread::Run() {
    FStage = 1;
    FLastPercent = 0;
    FLastSent = TClock::now();
    bool built = false;
    try {
        const TPixelGraphic& intermediate = FIntermediate ? *FIntermediate : *FSource;
        if (FStretchFirst && !Terminated()) {
            FIntermediate->StretchFrom(*FSource);
            ++FStage;
        }
        if (FOptimize && !Terminated()) {
            TPixelGraphic::BuildOptimizedPalette(*FTarget, intermediate, 252, true);
            ++FStage;
        }
        if (!Terminated()) {
            if (FOptimize && intermediate.BitCount() == bc8Bit &&
                intermediate.Width() == FTarget->Width() &&
                intermediate.Height() == FTarget->Height())
                MapThroughPalette(intermediate);
            else
                FTarget->StretchFrom(intermediate);
            ++FStage;
        }
        built = !Terminated();
    } catch (...) {
        // A copy that cannot be built is not shown; the view keeps waiting until the next change.
    }
    std::unique_ptr<TPixelGraphic> target = std::move(FTarget);
    if (built) {
        // The copy outlives this build.
        target->OnProgress = nullptr;
        if (FThreaded)
            Post(std::make_unique<TPaintCopyEvent>(FBuild, std::move(target)));
    }
    FIntermediate.reset();
    FSourceCopy.reset();
    if (built && !FThreaded)
        FResultReceiver(std::move(target));
}

void TCreatePaintPGThread::MapThroughPalette(const TPixelGraphic& intermediate) {
    TPixelGraphic& target = *FTarget;
    // The cache would be seeded for 256 lookups only.
    const bool cached = target.UseColorCache();
    target.SetUseColorCache(false);
    std::array<std::uint8_t, 256> entries{};
    const int count = intermediate.PaletteCount();
    for (int index = 0; index < 256 && count > 0; ++index)
        entries[index] = static_cast<std::uint8_t>(
            target.NearestColorIndex(intermediate.PaletteColor(index < count ? index : 0)));
    target.SetUseColorCache(cached);

    const int height = target.Height();
    const int width = target.Width();
    for (int y = 0; y < height && !Terminated(); ++y) {
        const std::uint8_t* from = intermediate.ScanLine(y);
        std::uint8_t* to = target.ScanLine(y);
        for (int x = 0; x < width; ++x)
            to[x] = entries[from[x]];
        target.Progress(y, height - 1);
    }
}

// One message per changed percentage and slot keeps the view's queue short.
void TCreatePaintPGThread::Progress(int step, int max) {
    const int percent = max == 0 ? 100 : static_cast<int>(std::int64_t{step} * 100 / max);
    const TClock::time_point now = TClock::now();
    if (percent == FLastPercent || Slot(now) == Slot(FLastSent))
        return;
    FLastPercent = percent;
    FLastSent = now;
    if (FThreaded)
        Post(std::make_unique<TPaintProgressEvent>(FBuild, FStage, percent));
}

void TCreatePaintPGThread::Post(std::unique_ptr<QEvent> event) const {
    {
        // Publishes the event and everything it points to: the view reads it under this lock.
        const std::unique_lock<std::mutex> lock = LockHandover();
    }
    QCoreApplication::postEvent(FView, event.release());
}
