#include "app/render/AnimationCommand.h"

#include "app/render/ProcessGroup.h"
#include "app/render/RenderOptions.h"
#include "export/FileFormatWriters.h"
#include "export/VideoEncoder.h"
#include "image/PixelGraphic.h"
#include "render/AnimationOutput.h"
#include "render/AnimationRender.h"

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
            end = SetInLayoutOf(*options.MorphTo, options);
        const TAnimationPlan plan(KeptSetOf(options), options.Frames, end, options.TickStep,
                                  options.Loop);
        TAnimationRender render(plan);
        const TPGSaveSettings save{
            options.Writer,
            [&err, &name](const std::string& caption, const std::string& text, TPGPromptButtons) {
                err << name << caption << ": " << text << "\n";
                return TPGPromptResult::OK;
            }};
        TAnimationOutput output(
            options.OutFile, options.Width, options.Height,
            TVideoSettings{options.FramesPerSecond, options.Crf, options.BitRate},
            FrameSettingsText(args), save, options.Colors);
        if (output.StartedAfresh() && !quiet)
            err << name << output.RecordName()
                << " records frames of other settings: every frame is rendered afresh\n";
        // Each process takes every Size()-th frame, whatever the others find done.
        const std::vector<int> frames =
            video ? output.Pending(options.Frames)
                  : output.Pending(options.Frames, group.Rank(), group.Size());
        if (!video)
            done.Kept = static_cast<int>((options.Frames - group.Rank() + group.Size() - 1) /
                                         group.Size()) -
                        static_cast<int>(frames.size());
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
                const std::vector<TFailedFrame>& failed = render.FailedFrames();
                // A failed frame is tried again by the next run. Only rank 0 writes the record.
                output.Write(frame, picture,
                             first && (failed.empty() || failed.back().Frame != frame));
            },
            progress);
        output.Finish();
        done.EncodeSeconds = output.EncodeSeconds();
        progressLine.End();
        for (const TFailedFrame& failed : render.FailedFrames())
            err << name << "frame " << failed.Frame
                << " shows only the background: " << failed.Reason << "\n";
        // Every process has written its frames once all are here: rank 0 records the others'.
        const bool ownFailed = !render.FailedFrames().empty();
        const bool someFailed = !group.SameOnAll(ownFailed ? 1 : 0) || ownFailed;
        if (!first)
            return 0;
        if (!video)
            for (int frame = 0; frame < options.Frames; ++frame)
                if (frame % group.Size() != 0 && !output.Complete(frame))
                    output.Record(frame);
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
