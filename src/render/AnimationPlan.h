#pragma once

#include "engine/ParameterFile.h"
#include "render/RenderSettings.h"

#include <cstdint>
#include <optional>

// What each frame of an animation renders. The rotations of the run's set may hold the angles
// of display tick frame x TickStep for the whole frame, so that they turn from frame to frame;
// the set may go over to another set along the frames: coefficients and numeric settings
// eased in and out, the view's centre linearly and its magnification geometrically. A loop's
// last frame leads back into its first: the rotations turn through one period over the frames,
// and a morph goes there and back. The first frame, and the last (the middle one in a loop),
// render exactly the two sets.
class TAnimationPlan {
public:
    // `start` and `end` are complete renders of the two sets (their sizes, steps and orbits the
    // same); `tickStep` holds the rotations. Throws std::invalid_argument for a loop whose
    // rotations never come back to where they started.
    TAnimationPlan(const TRenderSettings& start, int frames,
                   const std::optional<TRenderSettings>& end, std::optional<std::int64_t> tickStep,
                   bool loop);

    int Frames() const { return FFrames; }
    // The display tick whose rotation angles frame `frame` holds; nullopt when they turn as in
    // a picture of its own.
    std::optional<std::int64_t> TickOfFrame(int frame) const;
    // How far frame `frame` has gone from the start set to the end set, 0 to 1.
    double MorphWeight(int frame) const;
    TRenderSettings FrameSettings(int frame) const;

    // Whether some enabled map of the set has its rotation on.
    static bool Turns(const TFractalParams& params);
    // The display ticks after which the set's rotations are back at angle 0; 0 for never.
    static std::int64_t RotationPeriod(const TFractalParams& params);

private:
    TRenderSettings FStart;
    std::optional<TRenderSettings> FEnd;
    int FFrames;
    std::optional<std::int64_t> FTickStep;
    bool FLoop;
    std::int64_t FPeriod = 0;
};

// A parameter file's set rendered as `run` renders its own: its size, steps, supersampling,
// orbits, threads and gamma.
TRenderSettings SetInLayoutOf(const TParameterFile& file, const TRenderSettings& run);
// The run's set as it stays for every frame: a kept one as it is, or the one a plain render of
// the run draws, kept from then on with the clock its orbits started from.
TRenderSettings KeptSetOf(const TRenderSettings& run);
