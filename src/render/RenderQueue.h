#pragma once

#include "engine/ParameterFile.h"
#include "export/ColorResolution.h"
#include "export/SaveSettings.h"
#include "export/VideoEncoder.h"
#include "render/RenderJob.h"
#include "render/RenderSettings.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

// An animation of the request's set instead of one picture: what moves, and how a video is
// encoded. The file is a video or numbered pictures ("frame%05d.png") by its name.
struct TAnimationRequest {
    int Frames = 48;
    TVideoSettings Video;
    // The rotations turn with TickStep display ticks a frame, or through one period over the
    // frames with Loop; with MorphTo the frames go over to its set (and back with Loop).
    std::optional<TParameterFile> MorphTo;
    bool Loop = true;
    std::optional<std::int64_t> TickStep;
};

// How far an animation has come.
struct TAnimationProgress {
    int Frame = 0; // the frame in hand
    int Done = 0;  // frames written, this run and runs before
    int Total = 0; // frames of the animation
    double FrameFraction = 0.0;
    double Fraction() const { return Total > 0 ? (Done + FrameFraction) / Total : 0.0; }
};

// One render to a file: its settings, the file and how it is saved.
struct TRenderRequest {
    TRenderSettings Settings;
    std::string OutFile;
    // Writer options for the file; its warnings are collected, as no one can be asked.
    TPGWriterOptions Writer;
    // A picture of fewer colours; none keeps 24 bits. Not with a transparent background.
    std::optional<TPGColorResolution> Colors;
    std::optional<TAnimationRequest> Animation;
};

// What becomes of the queue's renders. Every hook is called on the queue's own thread.
struct TRenderQueueEvents {
    std::function<void(int id)> Started;
    std::function<void(int id, const TRenderProgress& progress)> Progress;
    // An animation's progress, in place of Progress.
    std::function<void(int id, const TAnimationProgress& progress)> FrameProgress;
    // The file is written; `warnings` holds what the save would have asked about, and the
    // frames of an animation that show only the background.
    std::function<void(int id, const TRenderResult& result,
                       const std::vector<std::string>& warnings)>
        Finished;
    // Nothing was written; an existing file is untouched.
    std::function<void(int id, const std::string& error)> Failed;
    std::function<void(int id)> Cancelled;
};

// Renders requests one after another on a thread of its own, so that the program that asks
// stays responsive; a request waits while another renders.
class TRenderQueue {
public:
    explicit TRenderQueue(TRenderQueueEvents events);
    // Cancels the running render and forgets the waiting ones.
    ~TRenderQueue();
    TRenderQueue(const TRenderQueue&) = delete;
    TRenderQueue& operator=(const TRenderQueue&) = delete;

    // Its number, for the events and for Cancel.
    int Add(TRenderRequest request);
    // Stops the render if it runs (nothing is written), or takes it out of the queue.
    void Cancel(int id);
    // The numbers of the requests still waiting, in their order.
    std::vector<int> Waiting() const;

private:
    struct TEntry {
        int Id;
        TRenderRequest Request;
    };
    void Work(const std::stop_token& stop);
    void Render(const TEntry& entry, const std::stop_token& stop);
    // Throws what the render and the save throw.
    std::vector<std::string> RenderAnimation(int id, const TRenderRequest& request,
                                             const TPGSaveSettings& save,
                                             const std::stop_token& stop);

    TRenderQueueEvents FEvents;
    mutable std::mutex FMutex;
    std::condition_variable_any FWake;
    std::deque<TEntry> FWaiting;
    int FNextId = 1;
    int FRunningId = 0;
    std::stop_source FRunningStop;
    // Last: it starts with everything above in place and is joined first.
    std::jthread FThread;
};
