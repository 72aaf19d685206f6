#include "render/SetScreening.h"

#include "render/AttractorFit.h"
#include "render/RenderJob.h"

#include <cstdio>

std::array<std::string, 2> NumberLines(const TSetNumbers& numbers) {
    char lyapunov[64], coverage[64];
    std::snprintf(lyapunov, sizeof lyapunov, "\xCE\xBB %.2f   D %.2f", numbers.Lyapunov,
                  numbers.Dimension ? numbers.Dimension->Dimension : 0.0);
    std::snprintf(coverage, sizeof coverage, "%.1f %%   fit %.0f %%", 100 * numbers.Coverage,
                  100 * numbers.FitCoverage);
    return {lyapunov, coverage};
}

TScreenedSet ScreenSet(const TRenderSettings& settings, const TKeepPicture& keepPicture,
                       const std::stop_token& stop) {
    TScreenedSet screened;
    TRenderSettings plain = settings;
    plain.Fit = false;
    TRenderJob job(plain);
    const TRenderResult result = job.Run({}, stop);
    screened.Set = job.UsedParameters();
    screened.Numbers.Lyapunov = result.Lyapunov;
    screened.Numbers.Coverage = job.ReachedShare();
    if (keepPicture)
        keepPicture(job.Image(), false);

    TRenderSettings fitted = RenderSettingsOf(screened.Set);
    fitted.Steps = settings.Steps;
    fitted.Threads = settings.Threads;
    fitted.Orbits = settings.Orbits;
    fitted.Fit = true;
    TRenderJob fittedJob(fitted);
    fittedJob.Run({}, stop);
    screened.Numbers.FitCoverage = fittedJob.ReachedShare();
    if (keepPicture)
        keepPicture(fittedJob.Image(), true);

    const std::vector<TPlanePoint> points =
        SampleOrbit(screened.Set.Params, screened.Set.DrawClock.value_or(0), DimensionSamplePoints);
    screened.Numbers.Dimension = TDimensionEstimate::Of(points);
    return screened;
}

TParameterFile SetForPicture(const TScreenedSet& screened, int width, int height, bool fitted) {
    TParameterFile file = screened.Set;
    file.Params.ImageWidth = width;
    file.Params.ImageHeight = height;
    // A picture of another size would not take the screen's density with it.
    file.PlottedSteps.reset();
    if (!fitted)
        return file;
    const std::optional<TAttractorBox> box = TAttractorBox::Of(
        SampleOrbit(file.Params, file.DrawClock.value_or(0), TRenderJob::FitSamplePoints));
    if (const std::optional<TPlaneView> view = box ? FitView(*box, width, height) : std::nullopt) {
        file.CenterX = view->CenterX;
        file.CenterY = view->CenterY;
        file.Magnification = view->Magnification;
    }
    return file;
}
