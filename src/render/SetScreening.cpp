#include "render/SetScreening.h"

#include "render/AttractorFit.h"
#include "render/RenderJob.h"

TScreenedSet ScreenSet(const TRenderSettings& settings, const TKeepPicture& keepPicture) {
    TScreenedSet screened;
    TRenderSettings plain = settings;
    plain.Fit = false;
    TRenderJob job(plain);
    const TRenderResult result = job.Run();
    screened.Set = job.UsedParameters();
    screened.Numbers.Lyapunov = result.Lyapunov;
    screened.Numbers.Coverage = job.ReachedShare();
    if (keepPicture && !settings.Fit)
        keepPicture(job.Image());

    TRenderSettings fitted = RenderSettingsOf(screened.Set);
    fitted.Steps = settings.Steps;
    fitted.Threads = settings.Threads;
    fitted.Orbits = settings.Orbits;
    fitted.Fit = true;
    TRenderJob fittedJob(fitted);
    fittedJob.Run();
    screened.Numbers.FitCoverage = fittedJob.ReachedShare();
    if (keepPicture && settings.Fit)
        keepPicture(fittedJob.Image());

    const std::vector<TPlanePoint> points =
        SampleOrbit(screened.Set.Params, screened.Set.DrawClock.value_or(0), DimensionSamplePoints);
    screened.Numbers.Dimension = TDimensionEstimate::Of(points);
    return screened;
}
