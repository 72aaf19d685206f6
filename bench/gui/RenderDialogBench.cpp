// The Render dialog's render beside quarn-render's, and the user-interface thread meanwhile.
// The same seeded set is rendered at 4096 x 3072 by a render job on this thread (as
// quarn-render does) and from the dialog (offscreen) through its queue's thread, with the same
// thread count; a 1 ms timer ticks on the user-interface thread during the dialog's render.
// Prints both speeds, their ratio and the longest gap between two ticks.
//
//     RenderDialogBench [steps, default 300000000] [threads, default 2]

#include "app/RenderDialog.h"
#include "render/RenderJob.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

namespace {
using Clock = std::chrono::steady_clock;
}

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const std::int32_t steps = argc > 1 ? std::stoi(argv[1]) : 300000000;
    const int threads = argc > 2 ? std::stoi(argv[2]) : 2;

    TRenderSettings settings;
    settings.Seed = 43200000;
    settings.Width = 4096;
    settings.Height = 3072;
    settings.Steps = steps;
    settings.Threads = threads;
    const Clock::time_point directStart = Clock::now();
    {
        TRenderJob job(settings);
        job.Run();
    }
    const double directSeconds = std::chrono::duration<double>(Clock::now() - directStart).count();

    TRenderDialog dialog;
    // The document's density is what the dialog starts from.
    dialog.SetDocument(settings, QStringLiteral("bench"));
    dialog.FileEdit()->setText(QString::fromStdString(
        (std::filesystem::temp_directory_path() / "quarn-render-dialog-bench.bmp").string()));
    dialog.show();
    double longestGap = 0.0;
    Clock::time_point lastTick = Clock::now();
    QTimer ticker;
    ticker.setInterval(1);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const Clock::time_point now = Clock::now();
        longestGap =
            std::max(longestGap, std::chrono::duration<double, std::milli>(now - lastTick).count());
        lastTick = now;
    });
    QObject::connect(&dialog, &TRenderDialog::RequestEnded, &application, &QApplication::quit);
    const Clock::time_point dialogStart = Clock::now();
    QTimer::singleShot(0, [&] {
        lastTick = Clock::now();
        ticker.start();
        dialog.RenderButton()->click();
    });
    application.exec();
    const double dialogSeconds = std::chrono::duration<double>(Clock::now() - dialogStart).count();
    std::printf("%d steps at 4096 x 3072, %d threads\n", steps, threads);
    std::printf("render job on this thread: %.2f s (%.1f M steps/s)\n", directSeconds,
                steps / directSeconds / 1e6);
    std::printf("Render dialog (with its save): %.2f s (%.1f M steps/s), %.2f of the job's speed\n",
                dialogSeconds, steps / dialogSeconds / 1e6, directSeconds / dialogSeconds);
    std::printf("longest gap between two 1 ms ticks meanwhile: %.1f ms\n", longestGap);
    std::printf("result: %s\n", dialog.ResultText().toStdString().c_str());
}
