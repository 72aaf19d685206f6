// How much of the engine's speed the windows leave it: the same coefficient sets rendered
// headless and in a real document window (offscreen), a few seconds each, counting the steps
// of the plotting phase; plus the display's repaints per second and the delay of a Stop that
// arrives from outside while the engine runs. The window's run then goes on as long again with
// a selection over the growing picture that is switched on and off every quarter second, so
// that the speed with its animated frame and without it are measured on the same coefficient
// set under the same load.
//
//     GuiBench [seconds per run, default 3] [rounds, default 2] [picture WxH, default 400x300]

#include "app/MainForm.h"
#include "app/Messages.h"
#include "document/MDIChild.h"
#include "document/RenderSession.h"
#include "engine/FractalEngine.h"
#include "engine/ViewFit.h"
#include "image/PixelGraphic.h"
#include "image/view/PGImage.h"

#include <QApplication>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <thread>
#include <vector>

namespace {
using Clock = std::chrono::steady_clock;

constexpr std::uint32_t Seed = 43200000; // noon

double Seconds(Clock::duration duration) {
    return std::chrono::duration<double>(duration).count();
}

// Steps of the plotting phase per second. A coefficient set that escapes restarts StepCount;
// only increases are counted, and only from the first plotted step on.
class TStepMeter {
public:
    void Sample(std::int32_t stepCount) {
        const Clock::time_point now = Clock::now();
        if (stepCount >= TFractalEngine::FirstPlotStep) {
            if (FStarted && stepCount > FLast)
                FSteps += stepCount - FLast;
            if (!FStarted)
                FStart = now;
            FStarted = true;
        }
        FLast = stepCount;
        FNow = now;
    }
    bool Started() const { return FStarted; }
    double Elapsed() const { return FStarted ? Seconds(FNow - FStart) : 0.0; }
    double StepsPerSecond() const { return FSteps / std::max(Elapsed(), 1e-9); }

private:
    bool FStarted = false;
    std::int32_t FLast = 0;
    double FSteps = 0;
    Clock::time_point FStart, FNow;
};

TFractalEngine::TClock SeededClock() {
    return [time = Seed]() mutable { return time++; };
}

struct TPictureSize {
    int Width = 400;
    int Height = 300;
};

double Headless(double seconds, TPictureSize size) {
    TFractalEngine engine;
    engine.SetClock(SeededClock());
    TFractalParams params;
    params.StoreDefaults();
    params.ImageWidth = size.Width;
    params.ImageHeight = size.Height;
    TViewFit view;
    view.ResetCoordinates();
    view.AdjustCoords(params.ImageWidth, params.ImageHeight);
    view.CopyToParams(params);
    TPixelGraphic image;
    image.SetSize(params.ImageWidth, params.ImageHeight, bc24Bit);
    params.Image = &image;
    TStepMeter meter;
    std::uint32_t passes = 0;
    engine.SetPassHook([&] {
        if (++passes % 1024 != 0)
            return;
        meter.Sample(params.StepCount);
        if (meter.Elapsed() >= seconds)
            params.AbortRequested = BoolTrue;
    });
    engine.RunFractal(&params);
    return meter.StepsPerSecond();
}

// Steps per second with and without a selection on the view, taking turns.
class TSelectionMeter {
public:
    explicit TSelectionMeter(TPGImage& view) : FView(view) {
        // A rectangle with handles, as a drag on the picture leaves it.
        FView.SetSelectionBounds(100, 75, 200, 150);
    }
    void Sample(std::int32_t stepCount) {
        const Clock::time_point now = Clock::now();
        if (!FStarted) {
            FStarted = true;
            FStart = now;
            FSwitch = now + Turn;
        } else {
            if (stepCount > FLast)
                FSteps[FOn] += stepCount - FLast;
            FTime[FOn] += Seconds(now - FLastTime);
            const int phase = FView.SelectionAnimationPhase();
            FFrameSteps += (phase - FPhase + 8) % 8;
            FPhase = phase;
        }
        FLast = stepCount;
        FLastTime = now;
        if (now >= FSwitch) {
            FOn = !FOn;
            FView.SetSelection(FOn);
            FSwitch = now + Turn;
        }
    }
    double Elapsed() const { return FStarted ? Seconds(FLastTime - FStart) : 0.0; }
    double StepsPerSecond(bool on) const { return FSteps[on] / std::max(FTime[on], 1e-9); }
    double FrameStepsPerSecond() const { return FFrameSteps / std::max(FTime[1], 1e-9); }

private:
    static constexpr auto Turn = std::chrono::milliseconds(250);
    TPGImage& FView;
    bool FStarted = false;
    bool FOn = false;
    std::int32_t FLast = 0;
    int FPhase = 0;
    double FSteps[2] = {0, 0};
    double FTime[2] = {0, 0};
    int FFrameSteps = 0;
    Clock::time_point FStart, FLastTime, FSwitch;
};

struct TWindowFigures {
    double StepsPerSecond = 0;
    double RepaintsPerSecond = 0;
    double StopMilliseconds = 0;
    double WithoutSelection = 0;
    double WithSelection = 0;
    double FrameStepsPerSecond = 0;
    // The longest a 5 ms user-interface timer waited while the picture grew, in seconds.
    double LongestTimerGap = 0;
};

TWindowFigures InWindow(double seconds, TPictureSize size) {
    TMainForm frame;
    frame.Session().Engine().SetClock(SeededClock());
    frame.resize(size.Width + 400, size.Height + 300);
    frame.show();

    TWindowFigures figures;
    TStepMeter meter;
    std::unique_ptr<TSelectionMeter> selection;
    int repaints = 0;
    bool counting = false;
    bool stopRequested = false;
    std::thread stopper;
    Clock::time_point stopPosted;
    Clock::time_point runEnded;
    const auto previousIdle = frame.Session().OnIdle;
    frame.Session().OnIdle = [&] {
        runEnded = Clock::now();
        if (previousIdle)
            previousIdle();
    };

    QTimer probe;
    probe.setInterval(5);
    Clock::time_point lastProbe;
    QObject::connect(&probe, &QTimer::timeout, [&] {
        if (frame.Documents().isEmpty() || stopRequested)
            return;
        TMDIChild* document = frame.Documents().first();
        TFractalDocument& fractal = document->Document();
        if (fractal.DocWidth() == 0)
            return;
        if (fractal.DocWidth() != size.Width || fractal.DocHeight() != size.Height) {
            fractal.Resize(size.Width, size.Height);
            document->UpdateGrafX();
            return;
        }
        if (document->PGImage1()->PixelGraphic()->Width() != size.Width)
            return;
        const Clock::time_point now = Clock::now();
        if (meter.Started() && !selection)
            figures.LongestTimerGap = std::max(figures.LongestTimerGap, Seconds(now - lastProbe));
        lastProbe = now;
        if (!counting) {
            QObject::connect(document->PGImage1(), &TPGImage::OnPaint, [&] {
                if (meter.Started() && !selection)
                    ++repaints;
            });
            counting = true;
        }
        if (!selection) {
            meter.Sample(document->Document().Params().StepCount);
            if (meter.Elapsed() < seconds)
                return;
            selection = std::make_unique<TSelectionMeter>(*document->PGImage1());
        }
        selection->Sample(document->Document().Params().StepCount);
        if (selection->Elapsed() < seconds)
            return;
        // Stop arrives from outside, at a moment the engine does not choose.
        stopRequested = true;
        stopper = std::thread([&frame, &stopPosted] {
            std::this_thread::sleep_for(std::chrono::milliseconds(7));
            stopPosted = Clock::now();
            QMetaObject::invokeMethod(&frame, &TMainForm::AbortClick, Qt::QueuedConnection);
        });
    });
    probe.start();
    while (!stopRequested || frame.Session().Running())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    stopper.join();

    figures.StepsPerSecond = meter.StepsPerSecond();
    figures.RepaintsPerSecond = repaints / meter.Elapsed();
    figures.StopMilliseconds = Seconds(runEnded - stopPosted) * 1000;
    figures.WithoutSelection = selection->StepsPerSecond(false);
    figures.WithSelection = selection->StepsPerSecond(true);
    figures.FrameStepsPerSecond = selection->FrameStepsPerSecond();
    return figures;
}
} // namespace

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const double seconds = argc > 1 ? std::atof(argv[1]) : 3.0;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 2;
    TPictureSize size;
    if (argc > 3 && std::sscanf(argv[3], "%dx%d", &size.Width, &size.Height) != 2)
        return 2;
    std::printf("%dx%d picture\n", size.Width, size.Height);
    SetMessageHandler([](QWidget*, QMessageBox::Icon, const QString&) {});

    std::vector<double> ratios;
    std::vector<double> selectionRatios;
    for (int round = 1; round <= rounds; ++round) {
        const double headless = Headless(seconds, size);
        const TWindowFigures window = InWindow(seconds, size);
        ratios.push_back(window.StepsPerSecond / headless);
        selectionRatios.push_back(window.WithSelection / window.WithoutSelection);
        std::printf("round %d: headless %.2f M steps/s, window %.2f M steps/s (%.1f %%), "
                    "%.2f repaints/s, Stop after %.1f ms, timer waited at most %.1f ms\n",
                    round, headless / 1e6, window.StepsPerSecond / 1e6,
                    100 * window.StepsPerSecond / headless, window.RepaintsPerSecond,
                    window.StopMilliseconds, window.LongestTimerGap * 1000);
        std::printf("         selection off %.2f M steps/s, on %.2f M steps/s (%.1f %%), "
                    "%.1f frame steps/s\n",
                    window.WithoutSelection / 1e6, window.WithSelection / 1e6,
                    100 * selectionRatios.back(), window.FrameStepsPerSecond);
    }
    std::sort(ratios.begin(), ratios.end());
    std::sort(selectionRatios.begin(), selectionRatios.end());
    std::printf("median share of the headless speed: %.1f %%\n", 100 * ratios[ratios.size() / 2]);
    std::printf("median share kept while a selection animates: %.1f %%\n",
                100 * selectionRatios[selectionRatios.size() / 2]);
    return 0;
}
