// How soon a view's paint copy is ready on an 8-bit screen, and how responsive the
// user-interface thread stays while one is built. Both pictures are seeded renders as
// quarn-render makes them (2000000 steps), shown in a view (offscreen) whose screen depth is set
// to 8 bits, with the view's defaults otherwise: an optimised palette of 236 + 16 colours and
// dithering, on the background thread.
//
// - Copy time: the default 400 x 300 render; from the repaint that starts a build to the
//   arrival of the finished copy on the user-interface thread.
// - Responsiveness: a 1024 x 768 render; a 1 ms timer ticks on the user-interface thread, and
//   the longest gap between two ticks from the last tick before the repaint that starts a
//   build to the first tick after the copy has arrived.
//
//     PaintCopyBench [builds per picture, default 20]

#include "image/PixelGraphic.h"
#include "image/view/CreatePaintPGThread.h"
#include "image/view/PGImage.h"
#include "render/RenderJob.h"

#include <QApplication>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

namespace {
using Clock = std::chrono::steady_clock;

double Milliseconds(Clock::duration duration) {
    return std::chrono::duration<double, std::milli>(duration).count();
}

std::unique_ptr<TPixelGraphic> Render(int width, int height) {
    TRenderSettings settings;
    settings.Width = width;
    settings.Height = height;
    settings.Seed = 43200000; // noon
    TRenderJob renderer(settings);
    renderer.Run(nullptr);
    auto picture = std::make_unique<TPixelGraphic>();
    picture->AssignImage(&renderer.Image());
    return picture;
}

// The durations of one build each: how long the user-interface thread spent in the repaint that
// started it, and how long until its copy arrived.
struct TBuild {
    double Start;
    double Ready;
};

TBuild Build(TPGImage& view) {
    view.PixelGraphic()->NotifyChange(nullptr);
    const Clock::time_point start = Clock::now();
    view.viewport()->repaint();
    const Clock::time_point started = Clock::now();
    while (!view.PaintPixelGraphic() || view.PaintThread().Running())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return {Milliseconds(started - start), Milliseconds(Clock::now() - start)};
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

struct TFigures {
    double StartMedian = 0;
    double ReadyMedian = 0;
    double ReadyMax = 0;
    double LongestGap = 0;
};

TFigures Measure(int width, int height, int builds) {
    TPGImage view;
    view.resize(width + 4, height + 4);
    view.SetScreenDepth(8);
    view.SetPixelGraphic(Render(width, height));
    view.show();
    QCoreApplication::processEvents();

    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    ticker.setInterval(1);
    Clock::time_point lastTick = Clock::now();
    double longestGap = 0;
    bool measuring = false;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const Clock::time_point now = Clock::now();
        if (measuring)
            longestGap = std::max(longestGap, Milliseconds(now - lastTick));
        lastTick = now;
    });
    ticker.start();

    std::vector<double> start;
    std::vector<double> ready;
    // The first build warms up the allocator and the caches.
    Build(view);
    for (int i = 0; i < builds; ++i) {
        const Clock::time_point settle = Clock::now() + std::chrono::milliseconds(20);
        while (Clock::now() < settle)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        measuring = true;
        const TBuild build = Build(view);
        // The gap that ends the build is counted too.
        const Clock::time_point tick = lastTick;
        while (lastTick == tick)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        measuring = false;
        start.push_back(build.Start);
        ready.push_back(build.Ready);
    }
    return {Median(start), Median(ready), *std::max_element(ready.begin(), ready.end()),
            longestGap};
}

void Print(const char* what, const TFigures& figures) {
    std::printf("%s: copy ready after %.2f ms (median; worst %.2f ms), of which %.2f ms on the "
                "user-interface thread; longest timer gap %.2f ms\n",
                what, figures.ReadyMedian, figures.ReadyMax, figures.StartMedian,
                figures.LongestGap);
}
} // namespace

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const int builds = argc > 1 ? std::max(std::atoi(argv[1]), 1) : 20;
    Print("400 x 300", Measure(400, 300, builds));
    Print("1024 x 768", Measure(1024, 768, builds));
    return 0;
}
