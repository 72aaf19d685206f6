#include "render/CandidateScreen.h"

#include "render/RenderJob.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

TRenderSettings FreshCandidate(const TRenderSettings& cell, int k) {
    TRenderSettings candidate = cell;
    candidate.Threads = 1;
    candidate.Seed = static_cast<std::uint32_t>(
        (std::uint64_t{cell.Seed.value_or(0)} +
         std::uint64_t{CandidateSpacing} * static_cast<std::uint64_t>(k)) %
        TFractalEngine::MillisecondsPerDay);
    return candidate;
}

bool TScreenFilter::Passes(const TSetNumbers& numbers) const {
    if (numbers.Coverage < MinCoverage)
        return false;
    if (!DimensionRange)
        return true;
    return numbers.Dimension && numbers.Dimension->Dimension >= DimensionRange->first &&
           numbers.Dimension->Dimension <= DimensionRange->second;
}

TCandidateScreen::TCandidateScreen(TSettingsOf settingsOf, TScreenFilter filter, int firstCandidate,
                                   int threads, TDeliver deliver)
    : FSettingsOf(std::move(settingsOf)), FFilter(std::move(filter)), FDeliver(std::move(deliver)),
      FNext(firstCandidate), FNextHandOver(firstCandidate) {
    for (int t = 0; t < std::max(1, threads); ++t)
        FThreads.emplace_back([this](const std::stop_token& stop) { Work(stop); });
}

TCandidateScreen::~TCandidateScreen() {
    for (std::jthread& thread : FThreads)
        thread.request_stop();
    FThreads.clear();
}

void TCandidateScreen::Want(int count) {
    {
        const std::lock_guard lock(FMutex);
        FWanted += count;
    }
    FWake.notify_all();
}

void TCandidateScreen::Wait() {
    std::unique_lock lock(FMutex);
    FDone.wait(lock, [this] { return Enough(); });
}

bool TCandidateScreen::GaveUp() const {
    const std::lock_guard lock(FMutex);
    return FGaveUp;
}

std::string TCandidateScreen::LastFailure() const {
    const std::lock_guard lock(FMutex);
    return FLastFailure;
}

void TCandidateScreen::Work(const std::stop_token& stop) {
    while (true) {
        int k = 0;
        {
            std::unique_lock lock(FMutex);
            if (!FWake.wait(lock, stop, [this] { return !Enough(); }))
                return;
            k = FNext++;
        }
        TCandidate candidate;
        try {
            candidate = Screen(k, stop);
        } catch (const ERenderCancelled&) {
            return;
        }
        const std::lock_guard lock(FMutex);
        FFinished.emplace(k, std::move(candidate));
        for (auto next = FFinished.find(FNextHandOver); next != FFinished.end();
             next = FFinished.find(FNextHandOver)) {
            HandOver(std::move(next->second));
            FFinished.erase(next);
            ++FNextHandOver;
        }
        if (Enough())
            FDone.notify_all();
    }
}

void TCandidateScreen::HandOver(TCandidate&& candidate) {
    if (FGaveUp)
        return;
    if (candidate.Passed) {
        ++FPassed;
        FFailedInARow = 0;
    } else if (++FFailedInARow >= MaxScreenedOut) {
        FGaveUp = true;
    }
    if (!candidate.Failure.empty())
        FLastFailure = candidate.Failure;
    FDeliver(std::move(candidate));
}

namespace {

void CopyRows(const TPixelGraphic& picture, int width, int height, TPictureRows& into) {
    into.Width = width;
    into.Height = height;
    into.Pixels.resize(static_cast<std::size_t>(width) * height * 3);
    for (int row = 0; row < height; ++row)
        std::memcpy(&into.Pixels[static_cast<std::size_t>(row) * width * 3], picture.ScanLine(row),
                    static_cast<std::size_t>(width) * 3);
}

} // namespace

TCandidate TCandidateScreen::Screen(int k, const std::stop_token& stop) const {
    TCandidate candidate;
    candidate.Index = k;
    const TRenderSettings settings = FSettingsOf(k);
    try {
        candidate.Set = ScreenSet(
            settings,
            [&](const TPixelGraphic& picture, bool fitted) {
                CopyRows(picture, settings.Width, settings.Height,
                         fitted ? candidate.Fitted : candidate.Plain);
            },
            stop);
    } catch (const ERenderCancelled&) {
        throw;
    } catch (const std::exception& failure) {
        candidate.Failure = failure.what();
        return candidate;
    }
    candidate.Passed = FFilter.Passes(candidate.Set.Numbers);
    return candidate;
}
