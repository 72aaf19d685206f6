#include "render/RenderQueue.h"

#include "render/AnimationOutput.h"
#include "render/AnimationPlan.h"
#include "render/AnimationRender.h"
#include "render/RenderOutput.h"

#include <algorithm>
#include <exception>
#include <utility>

TRenderQueue::TRenderQueue(TRenderQueueEvents events)
    : FEvents(std::move(events)), FThread([this](const std::stop_token& stop) { Work(stop); }) {}

TRenderQueue::~TRenderQueue() {
    {
        const std::scoped_lock lock(FMutex);
        FWaiting.clear();
        FRunningStop.request_stop();
    }
    FThread.request_stop();
    FWake.notify_all();
}

int TRenderQueue::Add(TRenderRequest request) {
    int id = 0;
    {
        const std::scoped_lock lock(FMutex);
        id = FNextId++;
        FWaiting.push_back({id, std::move(request)});
    }
    FWake.notify_all();
    return id;
}

void TRenderQueue::Cancel(int id) {
    bool removed = false;
    {
        const std::scoped_lock lock(FMutex);
        if (id == FRunningId) {
            FRunningStop.request_stop();
            return;
        }
        const auto waiting = std::find_if(FWaiting.begin(), FWaiting.end(),
                                          [id](const TEntry& entry) { return entry.Id == id; });
        if (waiting != FWaiting.end()) {
            FWaiting.erase(waiting);
            removed = true;
        }
    }
    if (removed && FEvents.Cancelled)
        FEvents.Cancelled(id);
}

std::vector<int> TRenderQueue::Waiting() const {
    const std::scoped_lock lock(FMutex);
    std::vector<int> ids;
    for (const TEntry& entry : FWaiting)
        ids.push_back(entry.Id);
    return ids;
}

void TRenderQueue::Work(const std::stop_token& stop) {
    for (;;) {
        std::optional<TEntry> entry;
        std::stop_token jobStop;
        {
            std::unique_lock lock(FMutex);
            if (!FWake.wait(lock, stop, [this] { return !FWaiting.empty(); }))
                return;
            entry.emplace(std::move(FWaiting.front()));
            FWaiting.pop_front();
            FRunningId = entry->Id;
            FRunningStop = std::stop_source();
            jobStop = FRunningStop.get_token();
        }
        Render(*entry, jobStop);
        const std::scoped_lock lock(FMutex);
        FRunningId = 0;
    }
}

void TRenderQueue::Render(const TEntry& entry, const std::stop_token& stop) {
    const int id = entry.Id;
    const TRenderRequest& request = entry.Request;
    if (FEvents.Started)
        FEvents.Started(id);
    std::vector<std::string> warnings;
    const TPGSaveSettings save{
        request.Writer,
        [&warnings](const std::string& caption, const std::string& text, TPGPromptButtons) {
            warnings.push_back(caption + ": " + text);
            return TPGPromptResult::OK;
        }};
    try {
        if (request.Animation) {
            const std::vector<std::string> failed = RenderAnimation(id, request, save, stop);
            warnings.insert(warnings.end(), failed.begin(), failed.end());
            if (FEvents.Finished)
                FEvents.Finished(id, {}, warnings);
            return;
        }
        TRenderJob job(request.Settings);
        const TRenderResult result = job.Run(
            [&](const TRenderProgress& progress) {
                if (FEvents.Progress)
                    FEvents.Progress(id, progress);
            },
            stop);
        SaveRender(job, request.OutFile, request.Colors, save);
        if (FEvents.Finished)
            FEvents.Finished(id, result, warnings);
    } catch (const ERenderCancelled&) {
        if (FEvents.Cancelled)
            FEvents.Cancelled(id);
    } catch (const std::exception& error) {
        if (FEvents.Failed)
            FEvents.Failed(id, error.what());
    }
}

namespace {

// What decides an animation's frames, kept beside numbered pictures: a later request of the
// same goes on where this one stopped.
std::string AnimationRecordText(const TRenderSettings& start, const TRenderRequest& request) {
    const TAnimationRequest& animation = *request.Animation;
    TParameterFile set;
    set.Params = start.Params;
    set.Params.Image = nullptr;
    set.CenterX = start.CenterX;
    set.CenterY = start.CenterY;
    set.Magnification = start.Magnification;
    set.DrawClock = start.FileClock;
    set.TickEvery = start.TickEvery;
    std::string text = set.ToJson();
    for (const std::int64_t number :
         {std::int64_t{start.Width}, std::int64_t{start.Height}, start.Steps,
          std::int64_t{start.Supersample}, std::int64_t{start.OrbitCount()},
          std::int64_t{animation.Frames}, std::int64_t{animation.Loop},
          animation.TickStep.value_or(0), std::int64_t{request.Colors.has_value()}})
        text += ' ' + std::to_string(number);
    if (animation.MorphTo)
        text += '\n' + animation.MorphTo->ToJson();
    return text;
}

} // namespace

std::vector<std::string> TRenderQueue::RenderAnimation(int id, const TRenderRequest& request,
                                                       const TPGSaveSettings& save,
                                                       const std::stop_token& stop) {
    const TAnimationRequest& animation = *request.Animation;
    // Frames of a fixed number of orbits: the same bytes as quarn-render's, whatever the threads.
    TRenderSettings run = request.Settings;
    if (run.Orbits == 0)
        run.Orbits = TRenderSettings::DefaultOrbits;
    const TRenderSettings start = KeptSetOf(run);
    std::optional<TRenderSettings> end;
    if (animation.MorphTo)
        end = SetInLayoutOf(*animation.MorphTo, run);
    const TAnimationPlan plan(start, animation.Frames, end, animation.TickStep, animation.Loop);
    TAnimationRender render(plan);
    TAnimationOutput output(request.OutFile, run.Width, run.Height, animation.Video,
                            AnimationRecordText(start, request), save, request.Colors);
    const std::vector<int> frames = output.Pending(animation.Frames);
    TAnimationProgress progress;
    progress.Total = animation.Frames;
    progress.Done = animation.Frames - static_cast<int>(frames.size());
    try {
        render.Run(
            frames,
            [&](int frame, TPixelGraphic& picture) {
                const std::vector<TFailedFrame>& failed = render.FailedFrames();
                output.Write(frame, picture, failed.empty() || failed.back().Frame != frame);
                ++progress.Done;
                progress.FrameFraction = 0.0;
                if (FEvents.FrameProgress)
                    FEvents.FrameProgress(id, progress);
            },
            [&](int frame, const TRenderProgress& now) {
                progress.Frame = frame;
                progress.FrameFraction = now.Fraction;
                if (FEvents.FrameProgress)
                    FEvents.FrameProgress(id, progress);
            },
            stop);
    } catch (const ERenderCancelled&) {
        // A video keeps the frames done, as numbered pictures do.
        if (progress.Done > 0)
            output.Finish();
        throw;
    }
    output.Finish();
    std::vector<std::string> failed;
    for (const TFailedFrame& frame : render.FailedFrames())
        failed.push_back("frame " + std::to_string(frame.Frame) +
                         " shows only the background: " + frame.Reason);
    return failed;
}
