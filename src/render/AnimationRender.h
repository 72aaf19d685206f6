#pragma once

#include "render/AnimationPlan.h"
#include "render/RenderJob.h"

#include <functional>
#include <stop_token>
#include <string>
#include <utility>
#include <vector>

class TPixelGraphic;

// A frame whose set escaped or never settled at that frame's settings: it shows only the
// background, and why is kept.
struct TFailedFrame {
    int Frame = 0;
    std::string Reason;
};

// Renders the frames of an animation plan one after another, each with every thread of the
// settings: a frame has a fixed number of orbits, so its picture does not depend on the
// threads. Frames are handed on in the order asked for as soon as each is done, so that an
// encoder can take them as they come and only one frame's picture is held at a time.
class TAnimationRender {
public:
    explicit TAnimationRender(TAnimationPlan plan) : FPlan(std::move(plan)) {}

    // Takes frame `frame`'s finished picture (24 bits, the plan's size).
    using TFrameSink = std::function<void(int frame, TPixelGraphic& picture)>;
    // How far frame `frame` has come.
    using TFrameProgress = std::function<void(int frame, const TRenderProgress& progress)>;

    // Renders `frames` in that order; a frame whose set fails is the background picture and
    // is listed in FailedFrames. Throws what the render or the sink throws otherwise, and
    // ERenderCancelled once `stop` is requested.
    void Run(const std::vector<int>& frames, const TFrameSink& sink,
             const TFrameProgress& progress = {}, const std::stop_token& stop = {});
    const std::vector<TFailedFrame>& FailedFrames() const { return FFailed; }

    // The picture of a frame no orbit reached: all background, of that frame's settings.
    static void FillBackground(TPixelGraphic& picture, const TRenderSettings& settings);

private:
    TAnimationPlan FPlan;
    std::vector<TFailedFrame> FFailed;
};
