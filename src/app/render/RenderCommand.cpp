#include "app/render/RenderCommand.h"

#include "app/render/RenderOptions.h"
#include "render/RenderJob.h"
#include "render/RenderOutput.h"

#include <algorithm>
#include <exception>
#include <ostream>

namespace {

// The message table separates paragraphs with carriage returns, which a terminal would use
// to overwrite the line: each run of them becomes one line break.
std::string TerminalText(const std::string& text) {
    std::string shown;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r') {
            shown += text[i];
        } else if (i == 0 || text[i - 1] != '\r') {
            shown += '\n';
        }
    }
    return shown;
}

// A percentage on one line that overwrites itself, for runs longer than a second.
class TProgressLine {
public:
    explicit TProgressLine(std::ostream& err) : FErr(err) {}

    void Show(const TRenderProgress& progress) {
        if (progress.Seconds < 1.0)
            return;
        const int percent = static_cast<int>(progress.Fraction * 100);
        if (percent == FShown)
            return;
        FShown = percent;
        FErr << "\rrendering " << percent << "%" << std::flush;
    }
    void End(bool completed) {
        if (FShown >= 0)
            FErr << (completed ? "\rrendering 100%\n" : "\n") << std::flush;
    }

private:
    std::ostream& FErr;
    int FShown = -1;
};

} // namespace

int RunRenderCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    // Asking for help is never an error, whatever else the line holds.
    if (std::find(args.begin(), args.end(), "--help") != args.end()) {
        out << RenderUsageLine() << "\n" << RenderHelpText();
        return 0;
    }
    TRenderOptions options;
    try {
        options = ParseRenderOptions(args);
    } catch (const ERenderUsage& error) {
        err << "quarn-render: " << error.what() << "\n" << RenderUsageLine() << "\n";
        return 2;
    }
    TProgressLine progressLine(err);
    try {
        TRenderJob job(options);
        TRenderProgressHook progress;
        if (!options.Quiet)
            progress = [&progressLine](const TRenderProgress& now) { progressLine.Show(now); };
        TRenderResult result;
        try {
            result = job.Run(progress);
        } catch (...) {
            progressLine.End(false);
            throw;
        }
        progressLine.End(true);
        if (!options.OutFile.empty()) {
            // A program without windows cannot ask: it says each warning and goes on.
            const TPGSaveSettings save{
                options.Writer,
                [&err](const std::string& caption, const std::string& text, TPGPromptButtons) {
                    err << "quarn-render: " << caption << ": " << TerminalText(text) << "\n";
                    return TPGPromptResult::OK;
                }};
            SaveRender(job, options.OutFile, options.Colors, save);
        }
        if (!options.WriteParamsFile.empty())
            job.UsedParameters().Save(options.WriteParamsFile);
        if (options.Stats)
            out << RenderStatsJson(result) << "\n";
    } catch (const std::exception& error) {
        err << "quarn-render: " << error.what() << "\n";
        return 1;
    }
    return 0;
}
