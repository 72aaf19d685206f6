#include "render/AnimationRender.h"

#include "image/PixelGraphic.h"

#include <cstring>

void TAnimationRender::FillBackground(TPixelGraphic& picture, const TRenderSettings& settings) {
    picture.SetSize(settings.Width, settings.Height, bc24Bit);
    picture.Gamma = settings.ScreenGamma;
    const int value = settings.Params.WhiteBackground ? 0xFF : 0x00;
    for (int row = 0; row < settings.Height; ++row)
        std::memset(picture.ScanLine(row), value, static_cast<std::size_t>(settings.Width) * 3);
}

void TAnimationRender::Run(const std::vector<int>& frames, const TFrameSink& sink,
                           const TFrameProgress& progress, const std::stop_token& stop) {
    for (const int frame : frames) {
        const TRenderSettings settings = FPlan.FrameSettings(frame);
        TRenderJob job(settings);
        TRenderProgressHook hook;
        if (progress)
            hook = [&](const TRenderProgress& now) { progress(frame, now); };
        try {
            job.Run(hook, stop);
        } catch (const ESetRejected& rejected) {
            FFailed.push_back({frame, rejected.what()});
            TPixelGraphic background;
            FillBackground(background, settings);
            sink(frame, background);
            continue;
        }
        sink(frame, job.Image());
    }
}
