#include "../TestPictures.h"

#include "image/PaletteTables.h"
#include "image/PixelGraphic.h"
#include "image/view/CreatePaintPGThread.h"
#include "image/view/PGImage.h"
#include "image/view/PaintClock.h"
#include "image/view/PaintCopyEvent.h"
#include "image/view/PaintProgressEvent.h"
#include "image/view/PicBox.h"
#include "image/view/QtColor.h"

#include <QElapsedTimer>
#include <QImage>
#include <QTest>

#include <algorithm>
#include <memory>
#include <set>
#include <vector>

namespace {

constexpr TColor Purple = RGB(64, 0, 64);
// A blue that an optimised palette holds exactly: the centre of its colour cell.
constexpr TColor Blue = RGB(4, 2, 252);

// Every pixel a different mix, so that reducing the colours has work to do.
std::unique_ptr<TPixelGraphic> Gradient(int width, int height) {
    return Picture(width, height, [&](int x, int y) {
        return RGB(x * 255 / width, y * 255 / height, (x ^ y) & 0xFF);
    });
}

std::unique_ptr<TPixelGraphic> Plain(int width, int height, TColor color) {
    return Picture(width, height, [color](int, int) { return color; });
}

// An 8-bit picture of `colors` palette entries, each used in a band of columns.
std::unique_ptr<TPixelGraphic> PaletteBands(int width, int height, int colors) {
    auto picture = std::make_unique<TPixelGraphic>();
    picture->SetSize(width, height, bc8Bit);
    picture->SetPaletteCount(colors);
    for (int i = 0; i < colors; ++i)
        picture->SetPaletteEntry(i, RGB(i * 7 % 256, 255 - i * 3, i * 11 % 256));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            picture->SetPixel(x, y, static_cast<std::uint32_t>(x * colors / width));
    return picture;
}

TColor At(const QImage& image, int x, int y) {
    return FromQColor(image.pixelColor(x, y));
}

QImage Shot(TPGImage& view) {
    return view.viewport()->grab().toImage();
}

bool Contains(const std::vector<TColor>& colors, TColor color) {
    return std::find(colors.begin(), colors.end(), color) != colors.end();
}

// What the paint-copy thread posts to a view, read under the lock the view reads them with.
class TPostedEvents : public QObject {
public:
    struct TProgress {
        std::uint64_t Build;
        int Stage;
        int Percent;
    };

    explicit TPostedEvents(QObject& view) { view.installEventFilter(this); }

    std::vector<TProgress> Progress;
    std::vector<std::uint64_t> Copies;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        const auto lock = TCreatePaintPGThread::LockHandover();
        if (event->type() == TPaintProgressEvent::EventType) {
            const auto& progress = static_cast<const TPaintProgressEvent&>(*event);
            Progress.push_back({progress.Build, progress.Stage, progress.Percent});
        } else if (event->type() == TPaintCopyEvent::EventType) {
            Copies.push_back(static_cast<const TPaintCopyEvent&>(*event).Build);
        }
        return false;
    }
};

} // namespace

class TPaintCopyTest : public QObject {
    Q_OBJECT

private:
    // A shown view of the given client size around its picture's paint box.
    std::unique_ptr<TPGImage> ShownView(int width, int height, int screenDepth) {
        auto view = std::make_unique<TPGImage>();
        view->resize(width + 4, height + 4);
        view->SetColor(Purple);
        view->SetScreenDepth(screenDepth);
        view->show();
        if (!QTest::qWaitForWindowExposed(view.get()))
            return nullptr;
        return view;
    }

    // Paints the view and waits for the copy that painting asked for.
    static bool CopyArrives(TPGImage& view) {
        Shot(view);
        return QTest::qWaitFor(
            [&] { return view.PaintPixelGraphic() && !view.PaintThread().Running(); }, 20000);
    }

private slots:
    void trueColourScreenWithFastStretchPaintsThePictureItself() {
        for (const int depth : {0, 24, 32, 16}) {
            auto view = ShownView(120, 90, depth);
            QVERIFY(view);
            view->SetPixelGraphic(Gradient(120, 90));
            const QImage shot = Shot(*view);
            QCOMPARE(At(shot, 50, 60), view->PixelGraphic()->GetPixelColor(50, 60));
            QVERIFY(!view->PreparePaintPixelGraphic());
            QVERIFY(!view->PaintPixelGraphic());
            // The stand-in created with the view is still the only thread object: none ran.
            QVERIFY(view->PaintThread().DontRun());
            QCOMPARE(view->PaintThread().Build(), std::uint64_t{0});
        }
        // A palette picture, too, goes to a true-colour screen as it is.
        auto view = ShownView(60, 40, 24);
        QVERIFY(view);
        view->SetPixelGraphic(PaletteBands(60, 40, 30));
        Shot(*view);
        QVERIFY(!view->PaintPixelGraphic());
        QCOMPARE(view->PaintThread().Build(), std::uint64_t{0});
    }

    void eightBitScreenShowsAnEightBitCopyAfterTheClocks() {
        auto view = ShownView(400, 300, 8);
        QVERIFY(view);
        view->SetProgressClockBkColor(RGB(200, 200, 200));
        view->SetProgressClockLineColor(RGB(0, 0, 0));
        view->SetPixelGraphic(Gradient(400, 300));
        // Without a turn of the event loop the finished copy cannot arrive: the clocks stand.
        const QImage waiting = Shot(*view);
        QVERIFY(view->PaintThread().Running());
        QVERIFY(!view->PaintPixelGraphic());
        const QPoint middle(400 / 2 - 7, 300 / 2 - 7);
        for (const QPoint clock : {middle, QPoint(5, 5), QPoint(400 - 20, 300 - 20)}) {
            QCOMPARE(At(waiting, clock.x() + 7, clock.y() + 7), RGB(0, 0, 0)); // the hands' axis
            QCOMPARE(At(waiting, clock.x() + 3, clock.y() + 10), RGB(200, 200, 200)); // the face
        }
        QCOMPARE(At(waiting, 100, 100), view->PicBoxColor());
        QCOMPARE(view->ProgressClockStage(), 1);
        QCOMPARE(view->ProgressClockStageCount(), 2); // the optimised palette, then the copy

        QVERIFY(CopyArrives(*view));
        const TPixelGraphic& copy = *view->PaintPixelGraphic();
        QCOMPARE(copy.BitCount(), bc8Bit);
        QCOMPARE(QSize(copy.Width(), copy.Height()), QSize(400, 300));
        // 236 optimised colours, then the 16 system colours.
        QCOMPARE(copy.PaletteCount(), 252);
        const std::vector<TColor>& entries = copy.PaletteEntries();
        const auto system = StandardPalette(pSys16);
        QVERIFY(std::equal(system.begin(), system.end(), entries.end() - 16));
        const QImage shown = Shot(*view);
        long long error = 0;
        for (int y = 0; y < 300; y += 3) {
            for (int x = 0; x < 400; x += 3) {
                const TColor color = At(shown, x, y);
                QVERIFY(Contains(entries, color));
                const TColor source = view->PixelGraphic()->GetPixelColor(x, y);
                error += std::abs(GetRValue(color) - GetRValue(source)) +
                         std::abs(GetGValue(color) - GetGValue(source)) +
                         std::abs(GetBValue(color) - GetBValue(source));
            }
        }
        // Dithered close to the picture: well under 16 levels per channel on average.
        QVERIFY2(error < 16LL * 3 * 134 * 100, qPrintable(QString::number(error)));
        QVERIFY(view->PaletteHandle());
        QCOMPARE(view->PaletteHandle()->Entries, entries);

        // The palette property names the copy's palette.
        view->SetPalette8BitSys24BitGraphic(pSpecial216);
        QVERIFY(view->PaintPixelGraphicStale());
        QVERIFY(CopyArrives(*view));
        QCOMPARE(view->PaintPixelGraphic()->PaletteIdent(), pSpecial216);
        QCOMPARE(view->ProgressClockStageCount(), 1);
        const QImage special = Shot(*view);
        const auto special216 = StandardPalette(pSpecial216);
        const std::vector<TColor> specialEntries(special216.begin(), special216.end());
        for (int y = 0; y < 300; y += 7)
            for (int x = 0; x < 400; x += 7)
                QVERIFY(Contains(specialEntries, At(special, x, y)));
    }

    void replacingThePictureStopsTheBuildAndItsCopyIsNeverShown() {
        auto view = ShownView(300, 200, 8);
        QVERIFY(view);
        TPostedEvents posted(*view);
        view->SetPixelGraphic(Gradient(1600, 1200));
        Shot(*view);
        const std::uint64_t first = view->PaintThread().Build();
        QVERIFY(view->PaintThread().Running());
        view->SetPixelGraphic(Plain(300, 200, Blue));
        QVERIFY(view->PaintThread().Terminated());
        QVERIFY(!view->PaintThread().Running());
        QVERIFY(!view->PaintPixelGraphic());

        QVERIFY(CopyArrives(*view));
        QVERIFY(view->PaintThread().Build() != first);
        const TPixelGraphic& copy = *view->PaintPixelGraphic();
        QCOMPARE(QSize(copy.Width(), copy.Height()), QSize(300, 200));
        QCOMPARE(copy.GetPixelColor(0, 0), Blue);
        QCOMPARE(At(Shot(*view), 150, 100), Blue);
        // The stopped build never finished: it posted no copy at all.
        QCOMPARE(std::count(posted.Copies.begin(), posted.Copies.end(), first), 0);
    }

    // The engine draws into the shown picture without telling anyone until its display timer
    // fires; a build must not read those pixels meanwhile (the thread-checking build would
    // object), and it shows the picture as it was when the build started.
    void theShownPictureMayChangeWhileACopyIsBuilt() {
        auto view = ShownView(300, 200, 8);
        QVERIFY(view);
        view->SetPixelGraphic(Plain(1200, 900, Blue));
        Shot(*view);
        QVERIFY(view->PaintThread().Running());
        TPixelGraphic& picture = *view->PixelGraphic();
        for (int y = 0; y < 900; ++y)
            for (int x = 0; x < 1200; ++x)
                picture.SetPixel(x, y, RGB(255, 255, 0));
        QVERIFY(QTest::qWaitFor([&] { return view->PaintPixelGraphic() != nullptr; }, 20000));
        QCOMPARE(view->PaintPixelGraphic()->GetPixelColor(600, 450), Blue);
    }

    void changesThatMatterRebuildTheCopy() {
        auto view = ShownView(200, 150, 8);
        QVERIFY(view);
        view->SetPixelGraphic(Gradient(200, 150));
        QVERIFY(CopyArrives(*view));

        const auto rebuilds = [&](const char* what, const std::function<void()>& change) {
            const std::uint64_t before = view->PaintThread().Build();
            const TPixelGraphic* old = view->PaintPixelGraphic();
            change();
            QVERIFY2(view->PaintPixelGraphicStale() || view->PaintPixelGraphic() != old, what);
            QVERIFY2(CopyArrives(*view), what);
            QVERIFY2(view->PaintThread().Build() != before, what);
        };
        rebuilds("picture change", [&] { view->PixelGraphic()->NotifyChange(nullptr); });
        rebuilds("dither", [&] { view->SetDither(false); });
        rebuilds("weighting", [&] { view->SetRGBWeighting(false); });
        rebuilds("24-bit stretch", [&] { view->SetAllow24BitStretch(true); });
        rebuilds("8-bit palette", [&] { view->SetPalette8BitSys8BitGraphic(pSpecial125); });
        rebuilds("24-bit palette", [&] { view->SetPalette8BitSys24BitGraphic(pSpecial252); });
        rebuilds("thread", [&] { view->SetUseThread(false); });
        rebuilds("thread again", [&] { view->SetUseThread(true); });
        rebuilds("display mode", [&] { view->DisplayModeChanged(); });
        rebuilds("screen depth", [&] { view->SetScreenDepth(4); });
        QCOMPARE(view->PaintPixelGraphic()->BitCount(), bc4Bit);
        QCOMPARE(view->PaintPixelGraphic()->PaletteIdent(), pSys16);
        view->SetScreenDepth(8);
        view->SetDither(true);
        QVERIFY(CopyArrives(*view));
        rebuilds("dither limit while dithering", [&] { view->SetDitherErrorLimit(64); });

        const auto keeps = [&](const char* what, const std::function<void()>& change) {
            const std::uint64_t before = view->PaintThread().Build();
            const TPixelGraphic* old = view->PaintPixelGraphic();
            change();
            Shot(*view);
            QTest::qWait(30);
            Shot(*view);
            QVERIFY2(view->PaintThread().Build() == before, what);
            QVERIFY2(view->PaintPixelGraphic() == old, what);
        };
        keeps("flip", [&] { view->SetFlipHorizontal(true); });
        keeps("tiling", [&] { view->SetTiling(tRepeat); });
        keeps("the same palette", [&] { view->SetPalette8BitSys24BitGraphic(pSpecial252); });
        keeps("keeping old copies", [&] { view->SetKeepOldPaintPixelGraphic(true); });
        view->SetDither(false);
        QVERIFY(CopyArrives(*view));
        keeps("dither limit without dithering", [&] { view->SetDitherErrorLimitSoft(false); });
    }

    void keptOldCopyStaysOnTheScreenUntilTheNewOneArrives() {
        auto view = ShownView(200, 150, 8);
        QVERIFY(view);
        view->SetPixelGraphic(Gradient(200, 150));
        QVERIFY(CopyArrives(*view));
        view->SetKeepOldPaintPixelGraphic(true);
        const TPixelGraphic* old = view->PaintPixelGraphic();
        const QImage before = Shot(*view);
        view->SetPixelGraphic(Plain(200, 150, Blue));
        QCOMPARE(view->PaintPixelGraphic(), old);
        // Without a turn of the event loop the new copy cannot have arrived yet.
        QCOMPARE(Shot(*view), before);
        QVERIFY(QTest::qWaitFor([&] { return view->PaintPixelGraphic() != old; }, 20000));
        QCOMPARE(At(Shot(*view), 100, 70), Blue);

        // Without the thread the old copy cannot be kept: the new one is built at once.
        view->SetUseThread(false);
        view->SetPixelGraphic(Gradient(200, 150));
        QVERIFY(!view->PaintPixelGraphic());
    }

    void withoutTheThreadTheCopyIsBuiltWhilePainting() {
        auto view = ShownView(300, 200, 8);
        QVERIFY(view);
        TPostedEvents posted(*view);
        view->SetUseThread(false);
        view->SetPixelGraphic(Gradient(300, 200));
        const QImage shot = Shot(*view);
        QVERIFY(view->PaintPixelGraphic());
        QVERIFY(!view->PaintThread().Threaded());
        QVERIFY(!view->PaintThread().Running());
        QVERIFY(Contains(view->PaintPixelGraphic()->PaletteEntries(), At(shot, 150, 100)));
        QTest::qWait(100);
        QVERIFY(posted.Progress.empty());
        QVERIFY(posted.Copies.empty());
    }

    void smoothingStretchBuildsACopyOfThePaintBoxSize() {
        auto view = ShownView(296, 196, 0);
        QVERIFY(view);
        view->SetStretch(sAlways);
        view->SetPixelGraphic(Gradient(100, 80));
        Shot(*view);
        QVERIFY(!view->PaintPixelGraphic());
        view->SetStretchMode(smMedium);
        QVERIFY(CopyArrives(*view));
        TPixelGraphic* copy = view->PaintPixelGraphic();
        QCOMPARE(copy->BitCount(), bc24Bit);
        QCOMPARE(QSize(copy->Width(), copy->Height()), view->PicBox()->size());
        // A new paint-box size makes the copy stale.
        view->resize(250, 180);
        QVERIFY(QTest::qWaitFor(
            [&] {
                Shot(*view);
                return view->PaintPixelGraphic() && view->PaintPixelGraphic()->Width() == 246;
            },
            20000));
        QCOMPARE(view->PaintPixelGraphic()->Height(), 176);
        view->SetStretchMode(smFast);
        Shot(*view);
        QVERIFY(!view->PaintPixelGraphic());
    }

    void reducedCopyReplacesThePictureOnceWithReduceOnLoad() {
        auto view = ShownView(296, 196, 8);
        QVERIFY(view);
        view->SetReduceOnLoad(true);
        view->SetStretch(sAlways);
        view->SetStretchMode(smMedium);
        view->SetPixelGraphic(Gradient(100, 80));
        Shot(*view);
        QVERIFY(QTest::qWaitFor([&] { return view->PixelGraphic()->BitCount() == bc8Bit; }, 20000));
        const TPixelGraphic* reduced = view->PixelGraphic();
        QVERIFY(!view->PaintPixelGraphic());
        // The picture now has the paint box's size, and positions count its pixels.
        QCOMPARE(QSize(reduced->Width(), reduced->Height()), QSize(296, 196));
        QCOMPARE(view->PictureWidth(), 296);
        QCOMPARE(view->PictureHeight(), 196);
        QCOMPARE(view->BoxToImageX(295), 295);
        QCOMPARE(view->BoxToImageY(150), 150);
        // Nothing is left to build: the reduced picture is shown as it is.
        const std::uint64_t build = view->PaintThread().Build();
        Shot(*view);
        QTest::qWait(50);
        Shot(*view);
        QCOMPARE(view->PixelGraphic(), reduced);
        QCOMPARE(view->PaintThread().Build(), build);
        QVERIFY(!view->PreparePaintPixelGraphic());
        QVERIFY(Contains(reduced->PaletteEntries(), At(Shot(*view), 120, 90)));
    }

    void palettePicturesOnPaletteScreens() {
        auto view = ShownView(240, 100, 8);
        QVERIFY(view);
        // A picture already in the palette the screen would get needs no copy.
        auto special = std::make_unique<TPixelGraphic>();
        special->SetSize(240, 100, bc8Bit);
        special->SetPaletteIdent(pSpecial216);
        view->SetPalette8BitSys8BitGraphic(pSpecial216);
        view->SetPixelGraphic(std::move(special));
        QVERIFY(!view->PreparePaintPixelGraphic());
        QCOMPARE(view->PaletteHandle()->Entries.size(), std::size_t{216});
        view->SetPalette8BitSys8BitGraphic(pSource);
        QVERIFY(!view->PreparePaintPixelGraphic());

        // Any other palette gets an optimised one; few colours come through unchanged.
        view->SetPalette8BitSys8BitGraphic(pOptimized252Sys16);
        view->SetPixelGraphic(PaletteBands(240, 100, 40));
        QVERIFY(CopyArrives(*view));
        const TPixelGraphic& picture = *view->PixelGraphic();
        const TPixelGraphic& copy = *view->PaintPixelGraphic();
        QCOMPARE(copy.BitCount(), bc8Bit);
        for (int x = 0; x < 240; x += 5)
            QCOMPARE(copy.GetPixelColor(x, 50), picture.GetPixelColor(x, 50));

        // A 4-bit screen takes system-colour pictures as they are.
        view->SetScreenDepth(4);
        auto system = std::make_unique<TPixelGraphic>();
        system->SetSize(240, 100, bc4Bit);
        system->SetPaletteIdent(pSys16);
        view->SetPixelGraphic(std::move(system));
        QVERIFY(!view->PreparePaintPixelGraphic());
        QVERIFY(!view->PaletteHandle());
        view->SetPixelGraphic(PaletteBands(240, 100, 40));
        QVERIFY(CopyArrives(*view));
        QCOMPARE(view->PaintPixelGraphic()->PaletteIdent(), pSys16);
        QVERIFY(!view->PaletteHandle());

        view->SetPixelGraphic(nullptr);
        QVERIFY(!view->PreparePaintPixelGraphic());
        QVERIFY(!view->PaletteHandle());
    }

    void progressIsPostedOncePerChangedPercentageAndSlot() {
        // A build long enough for several slots: a 3000 x 2250 copy, stretched at 24 bits first.
        auto view = ShownView(400, 300, 8);
        QVERIFY(view);
        view->SetStretch(sZoomKAR);
        view->SetZoomFactor(3.0L);
        view->SetStretchMode(smPrecise);
        view->SetAllow24BitStretch(true);
        view->SetPixelGraphic(Gradient(1000, 750));
        TPostedEvents posted(*view);
        QElapsedTimer clock;
        clock.start();
        QVERIFY(CopyArrives(*view));
        const qint64 elapsed = clock.elapsed();
        QCOMPARE(view->ProgressClockStageCount(), 3);
        const std::uint64_t build = view->PaintThread().Build();
        QVERIFY(!posted.Progress.empty());
        QVERIFY2(
            static_cast<qint64>(posted.Progress.size()) <= elapsed / 50 + 1,
            qPrintable(
                QStringLiteral("%1 messages in %2 ms").arg(posted.Progress.size()).arg(elapsed)));
        int lastPercent = 0;
        for (const auto& progress : posted.Progress) {
            QCOMPARE(progress.Build, build);
            QVERIFY(progress.Stage >= 1 && progress.Stage <= 3);
            QVERIFY(progress.Percent >= 0 && progress.Percent <= 100);
            QVERIFY(progress.Percent != lastPercent);
            lastPercent = progress.Percent;
        }
        QCOMPARE(view->ProgressClockStage(), posted.Progress.back().Stage);
        QCOMPARE(view->ProgressClockPercent(), posted.Progress.back().Percent);
    }

    // The sanitizer builds check that the thread is stopped before the view goes, and that
    // nothing it built or posted outlives the view.
    void destroyingTheViewDuringABuildStopsIt() {
        auto view = ShownView(300, 200, 8);
        QVERIFY(view);
        view->SetPixelGraphic(Gradient(1600, 1200));
        Shot(*view);
        QVERIFY(view->PaintThread().Running());
        view.reset();
        QTest::qWait(50);
    }
};

QTEST_MAIN(TPaintCopyTest)
#include "PaintCopyTest.moc"
