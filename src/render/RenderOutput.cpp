#include "render/RenderOutput.h"

#include "image/PixelGraphic.h"

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
