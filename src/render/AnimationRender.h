#pragma once

#include "render/AnimationPlan.h"
#include "render/RenderJob.h"

#include <functional>
#include <stop_token>
#include <string>
#include <vector>

class TPixelGraphic;

// A frame whose set escaped or never settled at that frame's settings: it shows only the
// background, and why is kept.
struct TFailedFrame {
    int Frame = 0;
    std::string Reason;
};

// Renders the frames of an animation plan, several at once: each frame on its share of the
// settings' threads (one each while there are frames enough), since the work around a frame
// (warm-up, colouring, the save) leaves threads idle that another frame can use. A frame has a
// fixed number of orbits, so its picture does not depend on the threads. Frames are handed on
// in the order asked for, each as soon as it and those before it are done; a frame that runs
// ahead waits, so that only a few pictures are held at a time.
class TAnimationRender {
public:
    explicit TAnimationRender(const TAnimationPlan& plan) : FPlan(plan) {}

    // Takes frame `frame`'s finished picture (24 bits, the plan's size), on the calling thread.
    using TFrameSink = std::function<void(int frame, TPixelGraphic& picture)>;
    // How far the frame handed on next has come, on the calling thread.
    using TFrameProgress = std::function<void(int frame, const TRenderProgress& progress)>;

    // Renders `frames` and hands them on in that order; a frame whose set fails is the
    // background picture and is listed in FailedFrames. Throws what a render or the sink throws
    // otherwise (the other frames are stopped first), and ERenderCancelled once `stop` is
    // requested.
    void Run(const std::vector<int>& frames, const TFrameSink& sink,
             const TFrameProgress& progress = {}, const std::stop_token& stop = {});
    const std::vector<TFailedFrame>& FailedFrames() const { return FFailed; }

    // The frames rendered at once for `threads` threads and `frames` frames.
    static int FramesAtOnce(int threads, std::size_t frames);
    // The picture of a frame no orbit reached: all background, of that frame's settings.
    static void FillBackground(TPixelGraphic& picture, const TRenderSettings& settings);

private:
    TAnimationPlan FPlan;
    std::vector<TFailedFrame> FFailed;
};
