#pragma once

#include "export/ColorResolution.h"
#include "export/SaveSettings.h"

#include <optional>
#include <string>

class TPixelGraphic;

// Saves the rendered picture through the writer that the file name's extension picks, first
// converted to `colors` when given, with the writer options and warning prompt of `settings`
// (the process-wide ones are not touched, so a save may run beside others). Throws the
// library's or the stream's exception; the library leaves no file behind when writing fails.
void WriteRenderedImage(TPixelGraphic& image, const std::string& fileName,
                        std::optional<TPGColorResolution> colors = std::nullopt,
                        const TPGSaveSettings& settings = {});

class TRenderJob;

// The finished render saved: with its opacity where it has a transparent background (PNG and
// TIFF only), otherwise as WriteRenderedImage does.
void SaveRender(TRenderJob& job, const std::string& fileName,
                std::optional<TPGColorResolution> colors, const TPGSaveSettings& settings);
