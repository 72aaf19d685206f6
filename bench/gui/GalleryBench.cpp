// The Gallery window's first page beside the same page rendered headless as a contact sheet,
// and the user-interface thread meanwhile. For each seed: the 4 x 3 sheet of 160 x 120 cells at
// density 30 on two threads, then the window's first page (offscreen) with a 1 ms timer ticking
// on the user-interface thread until every cell has its set. A second of idle ticking first
// gives the timer's own longest gap.
//
//     GalleryBench [seeds, default 5]

#include "render/ContactSheet.h"
#include "tools/GalleryWindow.h"
#include "tools/SetGrid.h"

#include <QApplication>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <functional>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Runs the event loop, ticking every millisecond, until `done` holds; returns the longest gap
// between two ticks in milliseconds.
double LongestGapUntil(QApplication& application, const std::function<bool()>& done) {
    double longestGap = 0.0;
    Clock::time_point lastTick = Clock::now();
    QTimer ticker;
    ticker.setInterval(1);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const Clock::time_point now = Clock::now();
        longestGap =
            std::max(longestGap, std::chrono::duration<double, std::milli>(now - lastTick).count());
        lastTick = now;
        if (done())
            application.quit();
    });
    ticker.start();
    application.exec();
    return longestGap;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const int seeds = argc > 1 ? std::stoi(argv[1]) : 5;

    const Clock::time_point idleStart = Clock::now();
    const double idleGap =
        LongestGapUntil(application, [&] { return SecondsSince(idleStart) > 1; });
    std::printf("idle 1 ms timer: longest gap %.1f ms\n", idleGap);
    std::printf("seed        sheet s   window page s   longest gap ms\n");

    TGalleryWindow window;
    window.resize(window.sizeHint());
    window.show();
    for (int k = 0; k < seeds; ++k) {
        const std::uint32_t seed = 1000 + 7919u * static_cast<std::uint32_t>(k);
        TSheetSettings sheet;
        sheet.Cell.Params.StoreDefaults();
        sheet.Cell.Width = TSetGrid::ThumbnailSize.width();
        sheet.Cell.Height = TSetGrid::ThumbnailSize.height();
        sheet.Cell.Steps =
            std::llround(TGalleryWindow::Density * sheet.Cell.Width * sheet.Cell.Height);
        sheet.Cell.Seed = seed;
        sheet.Threads = TGalleryWindow::Threads;
        const Clock::time_point sheetStart = Clock::now();
        RenderContactSheet(sheet);
        const double sheetSeconds = SecondsSince(sheetStart);

        const Clock::time_point pageStart = Clock::now();
        window.Begin(sheet.Cell.Params, seed, 400, 300);
        const double gap = LongestGapUntil(application, [&] { return window.PageComplete(); });
        std::printf("%-10u  %7.2f   %13.2f   %14.1f   (%d cells)\n", seed, sheetSeconds,
                    SecondsSince(pageStart), gap, window.Grid()->Capacity());
    }
}
