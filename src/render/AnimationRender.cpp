#include "render/AnimationRender.h"

#include "image/PixelGraphic.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <exception>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

namespace {

// A finished frame waiting for its turn: its picture, or why its set failed.
struct TDoneFrame {
    std::unique_ptr<TPixelGraphic> Picture;
    std::optional<std::string> Failure;
};

void CopyPicture(const TPixelGraphic& from, TPixelGraphic& to) {
    to.SetSize(from.Width(), from.Height(), bc24Bit);
    to.Gamma = from.Gamma;
    for (int row = 0; row < from.Height(); ++row)
        std::memcpy(to.ScanLine(row), from.ScanLine(row),
                    static_cast<std::size_t>(from.Width()) * 3);
}

} // namespace

int TAnimationRender::FramesAtOnce(int threads, std::size_t frames) {
    return static_cast<int>(std::clamp<std::size_t>(frames, 1, std::max(threads, 1)));
}

void TAnimationRender::FillBackground(TPixelGraphic& picture, const TRenderSettings& settings) {
    picture.SetSize(settings.Width, settings.Height, bc24Bit);
    picture.Gamma = settings.ScreenGamma;
    const int value = settings.Params.WhiteBackground ? 0xFF : 0x00;
    for (int row = 0; row < settings.Height; ++row)
        std::memset(picture.ScanLine(row), value, static_cast<std::size_t>(settings.Width) * 3);
}

void TAnimationRender::Run(const std::vector<int>& frames, const TFrameSink& sink,
                           const TFrameProgress& progress, const std::stop_token& stop) {
    if (frames.empty())
        return;
    const int threads = std::max(FPlan.FrameSettings(frames.front()).Threads, 1);
    const int atOnce = FramesAtOnce(threads, frames.size());
    // A frame may run this far ahead of the one handed on next.
    const std::size_t window = static_cast<std::size_t>(atOnce) + 1;
    std::mutex lock;
    std::condition_variable changed;
    std::map<std::size_t, TDoneFrame> done;
    std::size_t nextToTake = 0;
    std::size_t nextToHand = 0;
    std::exception_ptr failure;
    std::stop_source stopping;
    // The share done of each frame in hand, by its place in `frames`.
    std::map<std::size_t, double> shares;

    const auto work = [&](int worker) {
        // The threads left over go to the first frames at once.
        const int ownThreads = threads / atOnce + (worker < threads % atOnce ? 1 : 0);
        for (;;) {
            std::size_t place = 0;
            {
                std::unique_lock held(lock);
                changed.wait(held, [&] {
                    return stopping.stop_requested() || nextToTake >= frames.size() ||
                           nextToTake < nextToHand + window;
                });
                if (stopping.stop_requested() || nextToTake >= frames.size())
                    return;
                place = nextToTake++;
                shares[place] = 0.0;
            }
            TRenderSettings settings = FPlan.FrameSettings(frames[place]);
            settings.Threads = ownThreads;
            TDoneFrame frame;
            try {
                TRenderJob job(settings);
                job.Run(
                    [&](const TRenderProgress& now) {
                        const std::lock_guard held(lock);
                        shares[place] = now.Fraction;
                    },
                    stopping.get_token());
                frame.Picture = std::make_unique<TPixelGraphic>();
                CopyPicture(job.Image(), *frame.Picture);
            } catch (const ESetRejected& rejected) {
                frame.Failure = rejected.what();
                frame.Picture = std::make_unique<TPixelGraphic>();
                FillBackground(*frame.Picture, settings);
            } catch (const ERenderCancelled&) {
                return;
            } catch (...) {
                const std::lock_guard held(lock);
                if (!failure)
                    failure = std::current_exception();
                stopping.request_stop();
                changed.notify_all();
                return;
            }
            const std::lock_guard held(lock);
            done[place] = std::move(frame);
            shares.erase(place);
            changed.notify_all();
        }
    };
    std::vector<std::jthread> workers;
    // Stops and joins the workers however the hand-over below ends.
    struct TStopWorkers {
        std::stop_source& Stopping;
        std::condition_variable& Changed;
        std::mutex& Lock;
        std::vector<std::jthread>& Workers;
        ~TStopWorkers() {
            {
                const std::lock_guard held(Lock);
                Stopping.request_stop();
                Changed.notify_all();
            }
            Workers.clear();
        }
    } stopWorkers{stopping, changed, lock, workers};
    for (int worker = 0; worker < atOnce; ++worker)
        workers.emplace_back(work, worker);

    const auto start = std::chrono::steady_clock::now();
    while (nextToHand < frames.size()) {
        TDoneFrame frame;
        {
            std::unique_lock held(lock);
            while (!failure && !done.contains(nextToHand)) {
                if (stop.stop_requested()) {
                    stopping.request_stop();
                    changed.notify_all();
                    throw ERenderCancelled();
                }
                changed.wait_for(held, std::chrono::milliseconds(100));
                if (progress && shares.contains(nextToHand)) {
                    const double seconds =
                        std::chrono::duration<double>(std::chrono::steady_clock::now() - start)
                            .count();
                    const TRenderProgress now{shares[nextToHand], seconds, 0.0};
                    held.unlock();
                    progress(frames[nextToHand], now);
                    held.lock();
                }
            }
            if (failure)
                std::rethrow_exception(failure);
            frame = std::move(done[nextToHand]);
            done.erase(nextToHand);
        }
        if (frame.Failure)
            FFailed.push_back({frames[nextToHand], *frame.Failure});
        sink(frames[nextToHand], *frame.Picture);
        const std::lock_guard held(lock);
        ++nextToHand;
        changed.notify_all();
    }
}
