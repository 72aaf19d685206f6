#include "app/render/RenderCommand.h"

#include "app/render/AnimationCommand.h"
#include "app/render/GalleryCommand.h"
#include "app/render/ProcessGroup.h"
#include "app/render/RenderOptions.h"
#include "engine/EngineMath.h"
#include "export/FileFormatWriters.h"
#include "export/VideoEncoder.h"
#include "render/MemoryHeadroom.h"
#include "render/RenderJob.h"
#include "render/RenderOutput.h"
#include "render/RenderStateMerge.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <csignal>
#include <exception>
#include <functional>
#include <limits>
#include <memory>
#include <ostream>
#include <string>

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

// A percentage and the time left on one line that overwrites itself, for runs longer than a
// second.
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
        std::string line = "\rrendering " + std::to_string(percent) + "%";
        if (const double left = progress.SecondsLeft(); left >= 0.0)
            line.append(", about ").append(DurationText(left)).append(" left");
        // Blanks over the end of a longer line before.
        const std::size_t length = line.size();
        line.resize(std::max(length, FLength), ' ');
        FLength = length;
        FErr << line << std::flush;
    }
    void End(bool completed) {
        if (FShown < 0)
            return;
        std::string line = completed ? "\rrendering 100%" : "";
        if (completed)
            line.resize(std::max(line.size(), FLength), ' ');
        FErr << line << "\n" << std::flush;
    }

private:
    std::ostream& FErr;
    int FShown = -1;
    std::size_t FLength = 0;
};

// Set by SIGINT, SIGTERM and SIGHUP while a render keeps checkpoints: it saves its state once
// more and ends.
std::atomic<bool> Interrupted{false};
volatile std::sig_atomic_t InterruptSignal = 0;

extern "C" void NoteInterrupt(int signal) {
    InterruptSignal = signal;
    Interrupted = true;
}

// The handlers above, for as long as the render runs; the ones before come back after it.
class TInterruptHandlers {
public:
    TInterruptHandlers() {
        Interrupted = false;
        InterruptSignal = 0;
        struct sigaction note {};
        note.sa_handler = NoteInterrupt;
        sigemptyset(&note.sa_mask);
        for (std::size_t i = 0; i < std::size(Signals); ++i)
            sigaction(Signals[i], &note, &FBefore[i]);
    }
    ~TInterruptHandlers() {
        for (std::size_t i = 0; i < std::size(Signals); ++i)
            sigaction(Signals[i], &FBefore[i], nullptr);
    }
    TInterruptHandlers(const TInterruptHandlers&) = delete;
    TInterruptHandlers& operator=(const TInterruptHandlers&) = delete;

private:
    static constexpr int Signals[] = {SIGINT, SIGTERM, SIGHUP};
    struct sigaction FBefore[std::size(Signals)]{};
};

// The saved render the options take up: the one --resume names, or the shares --merge adds.
TRenderState TakeUpState(const TRenderOptions& options) {
    const std::optional<TMemoryHeadroom> headroom = MemoryHeadroom();
    const std::size_t limit = headroom ? headroom->Bytes : std::numeric_limits<std::size_t>::max();
    if (!options.ResumeFile.empty())
        return LoadRenderState(options.ResumeFile, limit);
    return MergeRenderStates(options.MergeFiles, limit);
}

// The state's render, with the threads, output and the new total of steps of the options. A
// share of a render gives a picture only with the other shares, as one process of a group.
TRenderSettings SettingsOfState(const TRenderState& state, const TRenderOptions& options,
                                const TProcessGroup& group) {
    TRenderSettings settings = ResumedRenderSettings(state);
    settings.Threads = options.Threads;
    settings.ScreenGamma = options.ScreenGamma;
    if (options.StepsGiven)
        settings.Steps = options.Steps;
    if (options.Density) {
        const double steps = std::round(*options.Density * settings.Width * settings.Height);
        if (steps < 1.0 || steps > static_cast<double>(TRenderSettings::MaxSteps))
            throw ERenderUsage("--density at " + std::to_string(settings.Width) + "x" +
                               std::to_string(settings.Height) + " must give 1 to 2^62 steps");
        settings.Steps = static_cast<std::int64_t>(steps);
    }
    const std::int64_t subPixels = std::int64_t{settings.Supersample} * settings.Supersample;
    if (settings.Steps > TRenderSettings::MaxSteps / subPixels ||
        settings.Steps * subPixels < state.Steps)
        throw ERenderUsage("the state has reached " + std::to_string(state.Steps / subPixels) +
                           " steps: a render taken up goes on to as many or more, at most 2^62");
    if (group.Size() == 1)
        CheckOutputOfState(options, settings);
    return settings;
}

// This process's share of a render among the processes of a group: a consecutive part of the
// orbits, the set's clock that of rank 0 where the set is drawn, and state files of its own
// (FILE.<rank>of<size>). Returns what makes the options unfit for a group, or nothing.
std::string ShareAmongProcesses(TRenderOptions& options, TProcessGroup& group) {
    const int rank = group.Rank(), size = group.Size();
    if (options.EndOrbit != 0)
        return "--orbit-range shares a render among separate runs: under mpirun, leave it out";
    if (!options.MergeFiles.empty())
        return "--merge adds up shares in one process: run it without mpirun";
    options.SavesState = true;
    const int orbits = options.OrbitCount();
    if (orbits < size || options.Steps < orbits)
        return "--orbits " + std::to_string(orbits) + ": " + std::to_string(size) +
               " processes need at least as many orbits, and each orbit a step";
    if (!options.Seed && !options.KeepCoefficients && !options.TakesState())
        options.Seed = group.Broadcast(TFractalEngine::UtcMillisecondsOfDay());
    options.FirstOrbit = static_cast<int>(std::int64_t{rank} * orbits / size);
    options.EndOrbit = static_cast<int>(std::int64_t{rank + 1} * orbits / size);
    std::string suffix = ".";
    suffix.append(std::to_string(rank)).append("of").append(std::to_string(size));
    if (!options.CheckpointFile.empty())
        options.CheckpointFile += suffix;
    if (!options.ResumeFile.empty())
        options.ResumeFile += suffix;
    return {};
}

// Rank 0's render of all the orbits of a render shared by a group, done but for its colours,
// from each process's share: their counters
// added up, their orbits' states gathered. Null on the other ranks.
std::unique_ptr<TRenderJob> FinishSharedRender(TRenderJob& share, const TRenderSettings& settings,
                                               TProcessGroup& group) {
    TRenderState state = share.TakeState();
    if (!group.SameOnAll(std::hash<std::string>{}(state.Parameters)))
        throw std::runtime_error("the processes rendered different sets (an orbit of one of them "
                                 "rejected the drawn set): render a parameter file (--params)");
    group.ReduceHits(*state.Hits, RoundToInt32(settings.Params.Intensity));
    state.OrbitStates = group.GatherOrbitStates(state.OrbitStates, state.Orbits);
    if (group.Rank() != 0)
        return nullptr;
    state.FirstOrbit = 0;
    state.EndOrbit = state.Orbits;
    TRenderSettings whole = ResumedRenderSettings(state);
    whole.Threads = settings.Threads;
    whole.ScreenGamma = settings.ScreenGamma;
    return std::make_unique<TRenderJob>(whole, std::move(state));
}

// Before a long run: what it needs, and how long it will take at the speed a short render of
// the same set has on this machine.
void ShowEstimate(const TRenderSettings& options, std::ostream& err) {
    constexpr std::int64_t LongRun = 1000000000;
    const std::int64_t steps = options.Steps * options.Supersample * options.Supersample;
    if (steps < LongRun)
        return;
    const int threads = TRenderJob::RunningThreads(options);
    const double mebibytes = static_cast<double>(TRenderJob::NeededBytes(options)) / (1 << 20);
    err << "quarn-render: " << steps << " steps on " << options.OrbitCount()
        << (options.OrbitCount() == 1 ? " orbit" : " orbits") << " and " << threads
        << (threads == 1 ? " thread" : " threads") << " need about "
        << static_cast<long long>(std::ceil(mebibytes)) << " MiB";
    if (const double rate = TRenderJob::MeasuredRate(options) * threads; rate > 0.0)
        err << " and take about " << DurationText(static_cast<double>(steps) / rate);
    err << "\n";
}

} // namespace

int RunRenderCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    TSingleProcess alone;
    return RunRenderCommand(args, out, err, alone);
}

int RunRenderCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                     TProcessGroup& group) {
    // Asking for help is never an error, whatever else the line holds.
    if (std::find(args.begin(), args.end(), "--help") != args.end()) {
        if (group.Rank() == 0)
            out << RenderUsageLine() << "\n" << RenderHelpText();
        return 0;
    }
    const bool first = group.Rank() == 0;
    const bool shared = group.Size() > 1;
    TRenderOptions options;
    try {
        options = ParseRenderOptions(args);
        if (shared && options.Animation() &&
            TVideoEncoder::Handles(FileNameExtension(options.OutFile)))
            throw ERenderUsage("a video is encoded in one process: run it without mpirun, or "
                               "share numbered pictures (--out frame%05d.png) among the processes");
        if (shared && !options.Animation())
            if (const std::string unfit = ShareAmongProcesses(options, group); !unfit.empty())
                throw ERenderUsage(unfit);
        if (shared && options.Gallery())
            throw ERenderUsage("--gallery renders in one process: run it without mpirun");
    } catch (const ERenderUsage& error) {
        if (first)
            err << "quarn-render: " << error.what() << "\n" << RenderUsageLine() << "\n";
        return 2;
    }
    if (options.Gallery())
        return RunGalleryCommand(options, out, err);
    if (options.Animation())
        return RunAnimationCommand(options, args, out, err, group);
    // Every process says what fails it; only rank 0 reports the rest.
    const std::string name = shared ? "quarn-render (process " + std::to_string(group.Rank()) +
                                          " of " + std::to_string(group.Size()) + "): "
                                    : std::string("quarn-render: ");
    std::unique_ptr<TRenderJob> job;
    TRenderSettings settings = options;
    try {
        if (options.TakesState()) {
            TRenderState state = TakeUpState(options);
            settings = SettingsOfState(state, options, group);
            job = std::make_unique<TRenderJob>(settings, std::move(state));
        }
    } catch (const std::exception& error) {
        // A state that cannot be used is refused before any work, as a bad parameter file is.
        err << name << error.what() << "\n";
        return 2;
    }
    const bool showProgress = first && !options.Quiet;
    TProgressLine progressLine(err);
    try {
        if (!job)
            job = std::make_unique<TRenderJob>(settings);
        if (showProgress)
            ShowEstimate(settings, err);
        std::optional<TInterruptHandlers> handlers;
        if (!options.CheckpointFile.empty())
            handlers.emplace();
        TRenderProgressHook progress;
        if (!options.Quiet)
            progress = [&](const TRenderProgress& now) {
                TRenderProgress whole = now;
                whole.Fraction = group.JobProgress(now.Fraction);
                if (first)
                    progressLine.Show(whole);
            };
        TRenderResult result;
        try {
            result = job->Run(progress, {},
                              {options.CheckpointFile, options.CheckpointEvery, &Interrupted});
        } catch (const ERenderInterrupted& error) {
            progressLine.End(false);
            err << name << error.what() << "\n";
            return 128 + InterruptSignal;
        } catch (...) {
            progressLine.End(false);
            throw;
        }
        if (!options.Quiet)
            group.EndProgress();
        if (shared) {
            job = FinishSharedRender(*job, settings, group);
            if (!job)
                return 0;
            result.Steps = job->Run().Steps;
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
            SaveRender(*job, options.OutFile, options.Colors, save);
        }
        if (!options.StateOutFile.empty())
            job->SaveState(options.StateOutFile);
        if (!options.WriteParamsFile.empty())
            job->UsedParameters().Save(options.WriteParamsFile);
        if (options.Stats)
            out << RenderStatsJson(result) << "\n";
    } catch (const std::exception& error) {
        err << name << error.what() << "\n";
        return 1;
    }
    return 0;
}
