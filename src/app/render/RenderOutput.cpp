#include "app/render/RenderOutput.h"

#include "image/PixelGraphic.h"

#include <memory>

void WriteRenderedImage(TPixelGraphic& image, const std::string& fileName,
                        std::optional<TPGColorResolution> colors) {
    if (!colors) {
        image.SaveImageFile(fileName);
        return;
    }
    const std::unique_ptr<TPixelGraphic> converted = ConvertColorResolution(image, *colors);
    converted->SaveImageFile(fileName);
}
