#include "render/RenderOutput.h"

#include "export/AlphaPicture.h"
#include "image/PixelGraphic.h"
#include "render/RenderJob.h"

#include <memory>

void WriteRenderedImage(TPixelGraphic& image, const std::string& fileName,
                        std::optional<TPGColorResolution> colors, const TPGSaveSettings& settings) {
    if (!colors) {
        image.SaveImageFile(fileName, settings);
        return;
    }
    const std::unique_ptr<TPixelGraphic> converted = ConvertColorResolution(image, *colors);
    // A new picture takes the process's screen gamma; this one is the render's.
    converted->Gamma = image.Gamma;
    converted->SaveImageFile(fileName, settings);
}

void SaveRender(TRenderJob& job, const std::string& fileName,
                std::optional<TPGColorResolution> colors, const TPGSaveSettings& settings) {
    if (!job.Alpha().empty())
        TAlphaPicture(job.Image(), job.Alpha()).Save(fileName, settings);
    else
        WriteRenderedImage(job.Image(), fileName, colors, settings);
}
