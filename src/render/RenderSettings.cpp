#include "render/RenderSettings.h"

#include <algorithm>

TRenderSettings RenderSettingsOf(const TParameterFile& file) {
    TRenderSettings settings;
    settings.Params = file.Params;
    settings.Params.Image = nullptr;
    settings.Width = file.Params.ImageWidth;
    settings.Height = file.Params.ImageHeight;
    settings.CenterX = file.CenterX;
    settings.CenterY = file.CenterY;
    settings.Magnification = file.Magnification;
    settings.FileClock = file.DrawClock;
    settings.KeepCoefficients = true;
    if (file.TickEvery)
        settings.TickEvery = *file.TickEvery;
    if (file.PlottedSteps && *file.PlottedSteps > 0)
        settings.Steps = std::clamp<std::int64_t>(*file.PlottedSteps, 1, TRenderSettings::MaxSteps);
    return settings;
}
