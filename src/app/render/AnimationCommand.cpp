#include "app/render/AnimationCommand.h"

#include "app/render/FrameNames.h"
#include "app/render/ProcessGroup.h"
#include "app/render/RenderOptions.h"
#include "export/FileFormatWriters.h"
#include "export/VideoEncoder.h"
#include "image/PixelGraphic.h"
#include "render/AnimationRender.h"
#include "render/FrameManifest.h"
#include "render/RenderOutput.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <chrono>
#include <exception>
#include <memory>
#include <optional>
#include <ostream>

namespace {

using TClock = std::chrono::steady_clock;

double SecondsSince(TClock::time_point start) {
    return std::chrono::duration<double>(TClock::now() - start).count();
}

// A parameter file's set rendered as the run renders its own: its size, steps and orbits.
TRenderSettings SetInRunLayout(const TParameterFile& file, const TRenderSettings& run) {
    TRenderSettings settings = RenderSettingsOf(file);
    settings.Width = run.Width;
    settings.Height = run.Height;
    settings.Steps = run.Steps;
    settings.Supersample = run.Supersample;
    settings.Orbits = run.Orbits;
    settings.Threads = run.Threads;
    settings.ScreenGamma = run.ScreenGamma;
    return settings;
}

// The run's set as it stays for every frame: a parameter file's, or the one a plain render of
// the seed draws, kept from then on with the clock its orbits started from.
TRenderSettings StartSettings(const TRenderOptions& options) {
    if (options.KeepCoefficients)
        return options;
    TRenderJob drawn(options);
    drawn.Run();
    TRenderSettings settings = SetInRunLayout(drawn.UsedParameters(), options);
    settings.TickEvery = options.TickEvery;
    return settings;
}

// What decides the frames' bytes: the command line without the options that only run or
// report it, and the contents of the parameter files it reads.
std::string FrameSettingsText(const std::vector<std::string>& args) {
    std::string text;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--threads") {
            ++i;
            continue;
        }
        if (args[i] == "--quiet" || args[i] == "--stats")
            continue;
        text += args[i] + '\n';
        TFrameManifest::TFileCheck check;
        if ((args[i] == "--params" || args[i] == "--to") && i + 1 < args.size() &&
            TFrameManifest::CheckFile(args[i + 1], check))
            text += "crc32 " + std::to_string(check.Crc32) + '\n';
    }
    return text;
}

// One line that overwrites itself: the frame in hand, its share done and the whole's.
class TFramesProgressLine {
public:
    TFramesProgressLine(std::ostream& err, int frames) : FErr(err), FFrames(frames) {}

    void Show(int done, int frame, double fraction) {
        // As the single picture's line: only for runs longer than a second.
        if (SecondsSince(FStart) < 1.0)
            return;
        const int percent = static_cast<int>(100.0 * (done + fraction) / FFrames);
        const int framePercent = static_cast<int>(fraction * 100.0);
        if (frame == FFrame && framePercent == FFramePercent)
            return;
        FFrame = frame;
        FFramePercent = framePercent;
        FErr << "\rframe " << frame << ": " << framePercent << "%, all frames " << percent << "%   "
             << std::flush;
        FShown = true;
    }
    void End() {
        if (FShown)
            FErr << "\n" << std::flush;
    }

private:
    std::ostream& FErr;
    int FFrames;
    int FFrame = -1;
    int FFramePercent = -1;
    bool FShown = false;
    TClock::time_point FStart = TClock::now();
};

struct TFramesDone {
    int Rendered = 0;
    int Kept = 0;
    double EncodeSeconds = 0.0;
};

} // namespace

int RunAnimationCommand(const TRenderOptions& options, const std::vector<std::string>& args,
                        std::ostream& out, std::ostream& err, TProcessGroup& group) {
    const TClock::time_point start = TClock::now();
    const bool first = group.Rank() == 0;
    const bool quiet = options.Quiet || !first;
    const std::string name = group.Size() == 1
                                 ? std::string("quarn-render: ")
                                 : "quarn-render (process " + std::to_string(group.Rank()) +
                                       " of " + std::to_string(group.Size()) + "): ";
    const bool video = TVideoEncoder::Handles(FileNameExtension(options.OutFile));
    TFramesDone done;
    try {
        std::optional<TRenderSettings> end;
        if (options.MorphTo)
            end = SetInRunLayout(*options.MorphTo, options);
        const TAnimationPlan plan(StartSettings(options), options.Frames, end, options.TickStep,
                                  options.Loop);
        TAnimationRender render(plan);
        std::vector<int> frames;
        std::unique_ptr<TVideoEncoder> encoder;
        std::optional<TFrameManifest> record;
        std::optional<TFrameNames> names;
        if (video) {
            encoder = std::make_unique<TVideoEncoder>(
                options.OutFile, options.Width, options.Height,
                TVideoSettings{options.FramesPerSecond, options.Crf, options.BitRate});
            for (int frame = 0; frame < options.Frames; ++frame)
                frames.push_back(frame);
        } else {
            names = TFrameNames::Parse(options.OutFile);
            record.emplace(names->RecordName(), FrameSettingsText(args));
            if (record->StartedAfresh() && !quiet)
                err << name << names->RecordName()
                    << " records frames of other settings: every frame is rendered afresh\n";
            // Each process takes every Size()-th frame, whatever the others find done.
            for (int frame = group.Rank(); frame < options.Frames; frame += group.Size())
                if (record->Complete(frame, names->Name(frame)))
                    ++done.Kept;
                else
                    frames.push_back(frame);
        }
        const TPGSaveSettings save{
            options.Writer,
            [&err, &name](const std::string& caption, const std::string& text, TPGPromptButtons) {
                err << name << caption << ": " << text << "\n";
                return TPGPromptResult::OK;
            }};
        TFramesProgressLine progressLine(err, static_cast<int>(frames.size()));
        TAnimationRender::TFrameProgress progress;
        if (!quiet)
            progress = [&](int frame, const TRenderProgress& now) {
                progressLine.Show(done.Rendered, frame, now.Fraction);
            };
        render.Run(
            frames,
            [&](int frame, TPixelGraphic& picture) {
                ++done.Rendered;
                if (encoder) {
                    const TClock::time_point encoding = TClock::now();
                    encoder->AddFrame(picture);
                    done.EncodeSeconds += SecondsSince(encoding);
                    return;
                }
                const std::string file = names->Name(frame);
                WriteRenderedImage(picture, file, options.Colors, save);
                const std::vector<TFailedFrame>& failed = render.FailedFrames();
                // A failed frame is tried again by the next run. Only rank 0 writes the record.
                if (first && (failed.empty() || failed.back().Frame != frame))
                    record->Record(frame, file);
            },
            progress);
        if (encoder) {
            const TClock::time_point encoding = TClock::now();
            encoder->Finish();
            done.EncodeSeconds += SecondsSince(encoding);
        }
        progressLine.End();
        for (const TFailedFrame& failed : render.FailedFrames())
            err << name << "frame " << failed.Frame
                << " shows only the background: " << failed.Reason << "\n";
        // Every process has written its frames once all are here: rank 0 records the others'.
        const bool ownFailed = !render.FailedFrames().empty();
        const bool someFailed = !group.SameOnAll(ownFailed ? 1 : 0) || ownFailed;
        if (!first)
            return 0;
        if (record)
            for (int frame = 0; frame < options.Frames; ++frame)
                if (frame % group.Size() != 0 && !record->Complete(frame, names->Name(frame)))
                    record->Record(frame, names->Name(frame));
        if (!quiet)
            err << "quarn-render: " << done.Rendered << " frames rendered"
                << (done.Kept > 0 ? ", " + std::to_string(done.Kept) + " kept from before" : "")
                << (render.FailedFrames().empty()
                        ? std::string()
                        : ", " + std::to_string(render.FailedFrames().size()) +
                              " failed (background)")
                << "\n";
        if (options.Stats) {
            nlohmann::ordered_json failed = nlohmann::ordered_json::array();
            for (const TFailedFrame& frame : render.FailedFrames())
                failed.push_back(frame.Frame);
            out << nlohmann::ordered_json{{"frames", options.Frames},
                                          {"rendered", done.Rendered},
                                          {"kept", done.Kept},
                                          {"failed", failed},
                                          {"seconds", SecondsSince(start)},
                                          {"encode_seconds", done.EncodeSeconds}}
                       .dump()
                << "\n";
        }
        return someFailed ? 3 : 0;
    } catch (const std::exception& error) {
        err << "\n" << name << error.what() << "\n";
        return 1;
    }
}
