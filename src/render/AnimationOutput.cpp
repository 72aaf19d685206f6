#include "render/AnimationOutput.h"

#include "export/FileFormatWriters.h"
#include "render/RenderOutput.h"

#include <chrono>
#include <stdexcept>

TAnimationOutput::TAnimationOutput(const std::string& outFile, int width, int height,
                                   const TVideoSettings& video, const std::string& recordSettings,
                                   TPGSaveSettings save, std::optional<TPGColorResolution> colors)
    : FSave(std::move(save)), FColors(colors) {
    if (TVideoEncoder::Handles(FileNameExtension(outFile))) {
        FEncoder = std::make_unique<TVideoEncoder>(outFile, width, height, video);
        return;
    }
    FNames = TFrameNames::Parse(outFile);
    if (!FNames)
        throw std::runtime_error("\"" + outFile +
                                 "\": the frames' names need one frame number, %d or %05d "
                                 "(frame%05d.png), or a video's extension (" +
                                 TVideoEncoder::Extensions() + ")");
    FRecord.emplace(FNames->RecordName(), recordSettings);
}

bool TAnimationOutput::Complete(int frame) const {
    return FRecord && FRecord->Complete(frame, FNames->Name(frame));
}

std::vector<int> TAnimationOutput::Pending(int frames, int first, int step) const {
    std::vector<int> pending;
    for (int frame = first; frame < frames; frame += step)
        if (!Complete(frame))
            pending.push_back(frame);
    return pending;
}

void TAnimationOutput::Write(int frame, TPixelGraphic& picture, bool record) {
    if (FEncoder) {
        const auto start = std::chrono::steady_clock::now();
        FEncoder->AddFrame(picture);
        FEncodeSeconds +=
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        return;
    }
    WriteRenderedImage(picture, FNames->Name(frame), FColors, FSave);
    if (record)
        FRecord->Record(frame, FNames->Name(frame));
}

void TAnimationOutput::Record(int frame) {
    if (FRecord)
        FRecord->Record(frame, FNames->Name(frame));
}

void TAnimationOutput::Finish() {
    if (!FEncoder)
        return;
    const auto start = std::chrono::steady_clock::now();
    FEncoder->Finish();
    FEncodeSeconds +=
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}
