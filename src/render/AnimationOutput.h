#pragma once

#include "export/ColorResolution.h"
#include "export/SaveSettings.h"
#include "export/VideoEncoder.h"
#include "render/FrameManifest.h"
#include "render/FrameNames.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

class TPixelGraphic;

// Where an animation's frames go, by the output name: a video (the extension names one), or
// numbered pictures ("frame%05d.png") with the record of those written whole, so that a run
// goes on where an earlier one stopped.
class TAnimationOutput {
public:
    // `recordSettings` is what decides the frames' bytes, kept in the record: frames of other
    // settings are rendered afresh. Throws std::runtime_error for a name without a frame number
    // (not a video), EVideoEncoder for a video that cannot be opened.
    TAnimationOutput(const std::string& outFile, int width, int height, const TVideoSettings& video,
                     const std::string& recordSettings, TPGSaveSettings save,
                     std::optional<TPGColorResolution> colors);

    bool IsVideo() const { return FEncoder != nullptr; }
    // The record found was of other settings and is being replaced.
    bool StartedAfresh() const { return FRecord && FRecord->StartedAfresh(); }
    std::string RecordName() const { return FNames ? FNames->RecordName() : std::string(); }
    // Frame `frame`'s picture is there and whole; never for a video.
    bool Complete(int frame) const;
    // Frames first, first + step, ... below `frames` still to render: all of them for a video.
    std::vector<int> Pending(int frames, int first = 0, int step = 1) const;

    // Writes or encodes frame `frame`; `record` false leaves a picture out of the record (its
    // set failed: a later run tries it again).
    void Write(int frame, TPixelGraphic& picture, bool record);
    // Records a frame another process wrote.
    void Record(int frame);
    // Completes the video with the frames written so far; nothing for pictures.
    void Finish();
    double EncodeSeconds() const { return FEncodeSeconds; }

private:
    std::unique_ptr<TVideoEncoder> FEncoder;
    std::optional<TFrameNames> FNames;
    std::optional<TFrameManifest> FRecord;
    TPGSaveSettings FSave;
    std::optional<TPGColorResolution> FColors;
    double FEncodeSeconds = 0.0;
};
