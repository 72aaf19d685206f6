#include "../TestPictures.h"

#include "image/PGExceptions.h"
#include "image/PixelGraphic.h"
#include "image/view/PGImage.h"
#include "image/view/PaintClock.h"
#include "image/view/PicBox.h"
#include "image/view/QtColor.h"

#include <QImage>
#include <QPainter>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <memory>

namespace {

constexpr TColor Red = RGB(255, 0, 0);
constexpr TColor Blue = RGB(0, 0, 255);
constexpr TColor Green = RGB(0, 255, 0);
constexpr TColor Purple = RGB(64, 0, 64);

std::unique_ptr<TPixelGraphic> Picture(int width, int height, TColor color = Red) {
    return ::Picture(width, height, [color](int, int) { return color; });
}

// Red, with a blue left column and a green top row, so that every mirror shows.
std::unique_ptr<TPixelGraphic> Asymmetric() {
    auto picture = Picture(5, 3);
    for (int y = 0; y < 3; ++y)
        picture->SetPixel(0, y, Blue);
    for (int x = 1; x < 5; ++x)
        picture->SetPixel(x, 0, Green);
    return picture;
}

TColor At(const QImage& image, int x, int y) {
    return FromQColor(image.pixelColor(x, y));
}

QImage Shot(TPGImage& view) {
    return view.viewport()->grab().toImage();
}

// The scroll-area position of the paint box's top left corner.
QPoint ContentPosition(TPGImage& view) {
    return view.PicBox()->pos() +
           QPoint(view.horizontalScrollBar()->value(), view.verticalScrollBar()->value());
}

bool Near(long double a, long double b) {
    return std::fabs(a - b) < 1e-12L;
}

} // namespace

class TPGImageTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TPGImage> ShownView(int width, int height) {
        auto view = std::make_unique<TPGImage>();
        view->resize(width, height);
        view->SetColor(Purple);
        view->show();
        if (!QTest::qWaitForWindowExposed(view.get()))
            return nullptr;
        return view;
    }

private slots:
    void initTestCase() { qRegisterMetaType<QMouseEvent*>(); }

    void centredPictureLargerThanTheViewScrollsToItsMiddle() {
        auto view = ShownView(391, 153);
        QVERIFY(view);
        QCOMPARE(view->frameWidth(), 2);
        view->SetCenter(true);
        view->SetPixelGraphic(Picture(400, 300));
        const int hBar = view->horizontalScrollBar()->sizeHint().height();
        const int vBar = view->verticalScrollBar()->sizeHint().width();
        const QSize client(391 - 4 - vBar, 153 - 4 - hBar);
        const auto checkMiddle = [&](QSize box) {
            QCOMPARE(view->PicBox()->size(), box);
            QCOMPARE(view->horizontalScrollBar()->value(), (box.width() - client.width()) / 2);
            QCOMPARE(view->verticalScrollBar()->value(), (box.height() - client.height()) / 2);
            QCOMPARE(ContentPosition(*view), QPoint(0, 0));
        };
        checkMiddle({400, 300});
        QTRY_COMPARE(view->viewport()->size(), client);
        checkMiddle({400, 300});

        // Hardly wider than the client area, but the vertical bar makes it scroll further.
        view->SetPixelGraphic(nullptr);
        QTRY_COMPARE(view->viewport()->size(), QSize(391 - 4, 153 - 4));
        view->SetPixelGraphic(Picture(391 - 4 + 1, 300));
        checkMiddle({391 - 4 + 1, 300});
        QTRY_COMPARE(view->viewport()->size(), client);
        checkMiddle({391 - 4 + 1, 300});
    }

    void centredPictureSmallerThanTheViewSitsInTheMiddle() {
        auto view = ShownView(300, 200);
        QVERIFY(view);
        view->SetCenter(true);
        view->SetPixelGraphic(Picture(100, 80));
        QCOMPARE(view->PicBox()->geometry(), QRect(98, 58, 100, 80));
        const QImage shot = Shot(*view);
        QCOMPARE(At(shot, 97, 58), Purple);
        QCOMPARE(At(shot, 98, 58), Red);
        QCOMPARE(At(shot, 197, 137), Red);
        QCOMPARE(At(shot, 198, 137), Purple);
        QCOMPARE(At(shot, 197, 138), Purple);
    }

    void scrollPositionsSurviveChangesButNotLayouts() {
        auto view = ShownView(200, 150);
        QVERIFY(view);
        auto picture = Picture(400, 300);
        picture->SetPixel(50, 40, Blue);
        picture->SetPixel(51, 41, Green);
        view->SetPixelGraphic(std::move(picture));
        QCOMPARE(view->PicBox()->pos(), QPoint(0, 0));
        view->horizontalScrollBar()->setValue(50);
        view->verticalScrollBar()->setValue(40);
        QCOMPARE(view->PicBox()->pos(), QPoint(-50, -40));
        const QImage shot = Shot(*view);
        QCOMPARE(At(shot, 0, 0), Blue);
        QCOMPARE(At(shot, 1, 1), Green);
        QCOMPARE(At(shot, shot.width() - 1, shot.height() - 1), Red);
        view->PixelGraphic()->NotifyChange(nullptr);
        QCOMPARE(view->horizontalScrollBar()->value(), 50);
        view->resize(220, 160);
        QCOMPARE(view->horizontalScrollBar()->value(), 0);
        QCOMPARE(view->verticalScrollBar()->value(), 0);
        view->SetCenter(true);
        QCOMPARE(view->horizontalScrollBar()->value(), (400 - view->viewport()->width()) / 2);
        view->horizontalScrollBar()->setValue(0);
        view->Arrange(false);
        QCOMPARE(view->horizontalScrollBar()->value(), 0);
        view->SetRearrangeAlways(true);
        view->Arrange(false);
        QCOMPARE(view->horizontalScrollBar()->value(), (400 - view->viewport()->width()) / 2);
    }

    void everyStretchRuleSizesThePaintBox() {
        auto view = ShownView(300, 200); // 296 x 196 inside the border
        QVERIFY(view);
        const int hBar = view->horizontalScrollBar()->sizeHint().height();
        const int vBar = view->verticalScrollBar()->sizeHint().width();
        QSignalSpy zoomChanges(view.get(), &TPGImage::OnZoomFactorChange);
        struct TCase {
            TStretch Stretch;
            int PictureWidth, PictureHeight;
            int BoxWidth, BoxHeight;
            long double Zoom;
        };
        const TCase cases[] = {
            {sNeverKAR, 400, 300, 400, 300, 1.0L},
            {sAlways, 100, 80, 296, 196, -1.0L},
            {sAlwaysKAR, 100, 80, 245, 196, 196.0L / 80},
            {sAlwaysKAR, 400, 100, 296, 74, 296.0L / 400},
            {sShrink, 400, 100, 296, 100, -1.0L},
            {sShrink, 100, 80, 100, 80, 1.0L},
            {sShrink, 100, 300, 100, 196, -1.0L},
            {sShrinkKAR, 400, 100, 296, 74, 296.0L / 400},
            {sShrinkKAR, 100, 80, 100, 80, 1.0L},
            {sEnlarge, 100, 80, 296, 196, -1.0L},
            {sEnlarge, 400, 100, 400, 196 - hBar, -1.0L},
            {sEnlargeKAR, 100, 80, 245, 196, 196.0L / 80},
            {sEnlargeKAR, 400, 100, 400, 100, 1.0L},
            {sAlwaysLongerEdgeKAR, 400, 100, 4 * (196 - hBar), 196 - hBar, (196 - hBar) / 100.0L},
            {sAlwaysLongerEdgeKAR, 296, 196, 296, 196, 1.0L},
            {sShrinkLongerEdgeKAR, 400, 300, 296 - vBar, (296 - vBar) * 3 / 4,
             (296 - vBar) / 400.0L},
            {sShrinkLongerEdgeKAR, 100, 80, 100, 80, 1.0L},
            {sEnlargeShrinkLongerEdgeKAR, 100, 80, 245, 196, 196.0L / 80},
            {sEnlargeShrinkLongerEdgeKAR, 400, 300, 296 - vBar, (296 - vBar) * 3 / 4,
             (296 - vBar) / 400.0L},
            {sEnlargeShrinkLongerEdgeKAR, 296, 100, 296, 100, 1.0L},
            {sEnlargeLongerEdgeKAR, 100, 80, 296 - vBar, (296 - vBar) * 4 / 5,
             (296 - vBar) / 100.0L},
            {sEnlargeLongerEdgeKAR, 400, 300, 400, 300, 1.0L},
        };
        for (const TCase& c : cases) {
            view->SetStretch(c.Stretch);
            view->SetPixelGraphic(Picture(c.PictureWidth, c.PictureHeight));
            const QString what = QStringLiteral("stretch %1, picture %2 x %3")
                                     .arg(c.Stretch)
                                     .arg(c.PictureWidth)
                                     .arg(c.PictureHeight);
            QVERIFY2(view->PicBox()->size() == QSize(c.BoxWidth, c.BoxHeight), qPrintable(what));
            QVERIFY2(Near(view->EffectiveZoom(), c.Zoom), qPrintable(what));
        }
        QVERIFY(zoomChanges.count() > 0);

        view->SetStretch(sZoomKAR);
        view->SetPixelGraphic(Picture(100, 80));
        zoomChanges.clear();
        view->SetZoomFactor(0.125L); // 12.5 rounds to the even 12
        QCOMPARE(view->PicBox()->size(), QSize(12, 10));
        QVERIFY(Near(view->EffectiveZoom(), 0.125L));
        QCOMPARE(zoomChanges.count(), 1);
        view->SetZoomFactor(2.5L);
        QCOMPARE(view->PicBox()->size(), QSize(250, 200));
        view->SetZoomFactor(0.0L);
        QCOMPARE(view->PicBox()->size(), QSize(100, 80));
        QVERIFY(Near(view->EffectiveZoom(), 1.0L));
    }

    void coordinatesConvertBetweenBoxAndPicture() {
        auto view = ShownView(300, 200);
        QVERIFY(view);
        QCOMPARE(view->BoxToImageX(10), 0);
        QCOMPARE(view->ImageToBoxY(10), 0);
        view->SetStretch(sZoomKAR);
        view->SetPixelGraphic(Picture(100, 80));
        for (const long double zoom : {2.0L, 3.0L}) {
            view->SetZoomFactor(zoom);
            for (int x = 0; x < 100; ++x)
                QCOMPARE(view->BoxToImageX(view->ImageToBoxX(x)), x);
            for (int y = 0; y < 80; ++y)
                QCOMPARE(view->BoxToImageY(view->ImageToBoxY(y)), y);
        }
        // 296 x 196 box pixels for 100 x 80 picture pixels, rounded down both ways.
        view->SetStretch(sAlways);
        QCOMPARE(view->BoxToImageX(295), 99);
        QCOMPARE(view->BoxToImageX(148), 50);
        QCOMPARE(view->BoxToImageX(147), 49);
        QCOMPARE(view->ImageToBoxX(50), 148);
        QCOMPARE(view->ImageToBoxX(1), 2);
        QCOMPARE(view->BoxToImageX(view->ImageToBoxX(1)), 0);
        QCOMPARE(view->ImageToBoxX(100), 296);
        QCOMPARE(view->BoxToImageY(195), 79);
        QCOMPARE(view->ImageToBoxY(40), 98);
        view->SetSelectionBounds(10, 20, 30, 40);
        QCOMPARE(view->SelectionRect(), QRect(10, 20, 30, 40));
        QCOMPARE(view->SelectionBoxRect().left(), view->ImageToBoxX(10));
        QCOMPARE(view->SelectionBoxRect().right() + 1, view->ImageToBoxX(40));
        QCOMPARE(view->SelectionBoxRect().bottom() + 1, view->ImageToBoxY(60));
    }

    void flipsMirrorThePictureInPlace() {
        auto view = ShownView(100, 80);
        QVERIFY(view);
        view->SetStretch(sZoomKAR);
        view->SetZoomFactor(4.0L);
        view->SetPixelGraphic(Asymmetric()); // 20 x 12 at (0, 0)
        const auto columnColour = [&](const QImage& shot, int x) { return At(shot, x, 6); };
        QImage shot = Shot(*view);
        QCOMPARE(columnColour(shot, 3), Blue);
        QCOMPARE(columnColour(shot, 4), Red);
        QCOMPARE(columnColour(shot, 19), Red);
        QCOMPARE(At(shot, 10, 3), Green);
        QCOMPARE(At(shot, 10, 11), Red);
        QCOMPARE(At(shot, 20, 6), Purple);

        view->SetFlipHorizontal(true);
        shot = Shot(*view);
        QCOMPARE(columnColour(shot, 0), Red);
        QCOMPARE(columnColour(shot, 15), Red);
        QCOMPARE(columnColour(shot, 16), Blue);
        QCOMPARE(columnColour(shot, 19), Blue);
        QCOMPARE(columnColour(shot, 20), Purple);
        QCOMPARE(At(shot, 2, 3), Green);

        view->SetFlipVertical(true);
        shot = Shot(*view);
        QCOMPARE(At(shot, 2, 11), Green);
        QCOMPARE(At(shot, 2, 8), Green);
        QCOMPARE(At(shot, 2, 7), Red);
        QCOMPARE(At(shot, 18, 0), Blue);
        QCOMPARE(At(shot, 2, 12), Purple);

        view->SetFlipHorizontal(false);
        shot = Shot(*view);
        QCOMPARE(At(shot, 0, 6), Blue);
        QCOMPARE(At(shot, 10, 11), Green);
        QCOMPARE(At(shot, 10, 0), Red);
    }

    void tilesRepeatAndMirrorAroundThePaintBox() {
        auto view = ShownView(104, 84); // 100 x 80 inside the border
        QVERIFY(view);
        view->SetCenter(true);
        view->SetStretch(sZoomKAR);
        view->SetZoomFactor(4.0L);
        view->SetPixelGraphic(Asymmetric());
        QCOMPARE(view->PicBox()->geometry(), QRect(40, 34, 20, 12));

        view->SetTiling(tRepeat);
        QImage shot = Shot(*view);
        for (const int x : {0, 20, 40, 60, 80}) {
            QCOMPARE(At(shot, x, 40), Blue);
            QCOMPARE(At(shot, x + 4, 40), Red);
        }
        QCOMPARE(At(shot, 44, 34 - 12), Green); // the tile above starts with its top row
        QCOMPARE(At(shot, 44, 1), Green);       // the top tile spans rows -2..9
        QCOMPARE(At(shot, 44, 2), Red);

        view->SetTiling(tMirror);
        shot = Shot(*view);
        QCOMPARE(At(shot, 40, 40), Blue); // the box itself
        QCOMPARE(At(shot, 39, 40), Blue); // the tile on its left is mirrored
        QCOMPARE(At(shot, 35, 40), Red);
        QCOMPARE(At(shot, 59, 40), Red);
        QCOMPARE(At(shot, 60, 40), Red); // ... and so is the one on its right
        QCOMPARE(At(shot, 79, 40), Blue);
        QCOMPARE(At(shot, 80, 40), Blue); // the second tile is unmirrored again
        QCOMPARE(At(shot, 44, 34), Green);
        QCOMPARE(At(shot, 44, 33), Green); // the tile above is mirrored vertically
        QCOMPARE(At(shot, 44, 22), Red);
        QCOMPARE(At(shot, 44, 57), Green); // ... and so is the one below
        QCOMPARE(At(shot, 39, 33), Blue);  // the diagonal one in both directions

        view->SetTiling(tMirrorVertical);
        shot = Shot(*view);
        QCOMPARE(At(shot, 39, 40), Red);
        QCOMPARE(At(shot, 20, 40), Blue);
        QCOMPARE(At(shot, 44, 33), Green);

        // A picture without pixels leaves nothing to repeat.
        view->SetPixelGraphic(std::make_unique<TPixelGraphic>());
        shot = Shot(*view);
        QCOMPARE(At(shot, 0, 0), Purple);
        QCOMPARE(At(shot, 50, 40), Purple);
    }

    void autoSizeReportsTheFittingSize() {
        auto view = std::make_unique<TPGImage>();
        const int hBar = view->horizontalScrollBar()->sizeHint().height();
        const int vBar = view->verticalScrollBar()->sizeHint().width();
        QSignalSpy sizes(view.get(), &TPGImage::OnNewAutoSize);
        view->SetPixelGraphic(Picture(400, 300));
        QCOMPARE(sizes.count(), 1);
        QCOMPARE(sizes.last(), (QList<QVariant>{404, 304}));
        QCOMPARE(view->size(), QSize(100, 100));

        view->SetAutoSizeMaxWidth(300); // stored only while AutoSize is off
        QCOMPARE(sizes.count(), 1);
        view->PixelGraphicChanged();
        QCOMPARE(sizes.last(), (QList<QVariant>{300, 304 + hBar}));
        view->SetAutoSizeMaxHeight(200);
        view->PixelGraphicChanged();
        QCOMPARE(sizes.last(), (QList<QVariant>{300, 200}));
        view->SetAutoSizeMaxWidth(500);
        view->PixelGraphicChanged();
        QCOMPARE(sizes.last(), (QList<QVariant>{404 + vBar, 200}));
        view->SetAutoSizeMinHeight(250);
        view->PixelGraphicChanged();
        QCOMPARE(sizes.last(), (QList<QVariant>{404 + vBar, 250}));

        view->SetAutoSize(true);
        QCOMPARE(view->size(), QSize(404 + vBar, 250));
        view->SetAutoSizeMinHeight(0);
        QCOMPARE(view->size(), QSize(404 + vBar, 200));
        view->SetPixelGraphic(nullptr);
        QCOMPARE(sizes.last(), (QList<QVariant>{4, 4}));
        QCOMPARE(view->size(), QSize(4, 4));
    }

    void emptyViewShowsOnlyItsColour() {
        auto view = ShownView(120, 90);
        QVERIFY(view);
        const QImage shot = Shot(*view);
        for (int y = 0; y < shot.height(); y += 7)
            for (int x = 0; x < shot.width(); x += 7)
                QCOMPARE(At(shot, x, y), Purple);
    }

    void progressClocksStandInTheMiddleAndCorners() {
        QImage image(240, 200, QImage::Format_RGB32);
        const QColor background(10, 20, 30);
        const TProgressClockStyle style{true, RGB(200, 200, 200), RGB(0, 0, 0)};
        const auto draw = [&](const QRect& rect, int stage, int percent, bool fiveClocks) {
            image.fill(background);
            QPainter painter(&image);
            TProgressClockStyle s = style;
            s.FiveClocks = fiveClocks;
            DrawProgressClocks(painter, rect, stage, percent, s);
        };
        const QRect rect(10, 20, 201, 151);
        // Stage 1 at 25 percent: the long hand points right, the short one just right of up.
        draw(rect, 1, 25, true);
        const int cx = 10 + 201 / 2 - 7 + 7;
        const int cy = 20 + 151 / 2 - 7 + 7;
        QCOMPARE(At(image, cx + 4, cy), style.LineColor);
        QCOMPARE(At(image, cx + 1, cy - 6), style.LineColor);
        QCOMPARE(At(image, cx - 7, cy), style.LineColor);
        QCOMPARE(At(image, cx - 3, cy + 3), style.BkColor);
        QCOMPARE(At(image, cx, cy + 4), style.BkColor);
        QCOMPARE(At(image, cx - 9, cy), FromQColor(background));
        for (const QPoint corner : {QPoint(15, 25), QPoint(211 - 20, 25), QPoint(15, 171 - 20),
                                    QPoint(211 - 20, 171 - 20)}) {
            QCOMPARE(At(image, corner.x() + 7, corner.y() + 7), style.LineColor);
            QCOMPARE(At(image, corner.x() + 3, corner.y() + 10), style.BkColor);
        }
        // Halfway through stage 2 the long hand points down, the short one to the upper right.
        draw(rect, 2, 50, true);
        QCOMPARE(At(image, cx, cy + 4), style.LineColor);
        QCOMPARE(At(image, cx + 2, cy - 2), style.LineColor);
        QCOMPARE(At(image, cx + 4, cy), style.BkColor);

        draw(rect, 1, 0, false);
        QCOMPARE(At(image, 15 + 7, 25 + 7), FromQColor(background));
        draw(QRect(10, 20, 100, 150), 1, 0, true);
        QCOMPARE(At(image, 15 + 7, 25 + 7), FromQColor(background));
        QCOMPARE(At(image, 10 + 50, 20 + 75 - 3), style.LineColor);
        draw(QRect(10, 20, 20, 150), 1, 0, true);
        QCOMPARE(image.pixelColor(10 + 10, 20 + 75 - 3), background);
    }

    void loadingAndSavingFiles() {
        auto view = std::make_unique<TPGImage>();
        try {
            view->SaveImageFile(QStringLiteral("nothing.png"));
            QFAIL("saving without a picture succeeded");
        } catch (const EPGEmpty& e) {
            QCOMPARE(QString::fromStdString(e.what()), QStringLiteral("PixelGraphic is empty"));
        }

        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath(QStringLiteral("asymmetric.png"));
        view->SetPixelGraphic(Asymmetric());
        view->SetSaveColorResWarningAction(pgwaRaise);
        view->SaveImageFile(path);
        QCOMPARE(view->PixelGraphic()->SaveColorResWarningAction, pgwaRaise);
        QCOMPARE(view->FileName(), path);
        const QImage saved(path);
        QCOMPARE(saved.size(), QSize(5, 3));
        QCOMPARE(At(saved, 0, 2), Blue);
        QCOMPARE(At(saved, 1, 0), Green);
        QCOMPARE(At(saved, 4, 2), Red);

        QSignalSpy changes(view.get(), &TPGImage::OnPixelGraphicChange);
        try {
            view->LoadImageFile(path);
            QFAIL("loading without readers succeeded");
        } catch (const EPGUnknownFileFormat& e) {
            QCOMPARE(QString::fromStdString(e.what()), QStringLiteral("Unknown file format"));
        }
        QVERIFY(!view->PixelGraphic());
        QVERIFY(view->FileName().isEmpty());
        QCOMPARE(view->PictureWidth(), 0);
        QCOMPARE(changes.count(), 1);

        view->SetPixelGraphic(Picture(3, 3));
        view->SetFileName(QString());
        QVERIFY(!view->PixelGraphic());
        QCOMPARE(view->PicBox()->size(), QSize(0, 0));
    }

    void changeNotificationRepaintsThePicture() {
        auto view = ShownView(100, 80);
        QVERIFY(view);
        view->SetPixelGraphic(Picture(20, 10));
        QSignalSpy painting(view.get(), &TPGImage::OnPainting);
        QSignalSpy painted(view.get(), &TPGImage::OnPaint);
        QTRY_VERIFY(painted.count() > 0);
        painting.clear();
        painted.clear();
        view->PixelGraphic()->SetPixel(3, 4, Blue);
        QTest::qWait(50);
        QCOMPARE(painted.count(), 0);
        view->PixelGraphic()->NotifyChange(nullptr);
        QTRY_COMPARE(painted.count(), 1);
        QCOMPARE(painting.count(), 1);
        QCOMPARE(At(Shot(*view), 3, 4), Blue);
    }

    void paintBoxReportsMouseEventsInItsCoordinates() {
        auto view = ShownView(300, 200);
        QVERIFY(view);
        view->SetCenter(true);
        view->SetPixelGraphic(Picture(100, 80)); // at (98, 58)
        QSignalSpy downs(view.get(), &TPGImage::PicBoxOnMouseDown);
        QSignalSpy ups(view.get(), &TPGImage::PicBoxOnMouseUp);
        QSignalSpy doubles(view.get(), &TPGImage::PicBoxOnDblClick);
        QSignalSpy viewUps(view.get(), &TPGImage::OnMouseUp);
        QPoint seen;
        QEvent::Type lastDown = QEvent::None;
        connect(view.get(), &TPGImage::PicBoxOnMouseDown, this, [&](QMouseEvent* event) {
            seen = event->position().toPoint();
            lastDown = event->type();
        });
        QTest::mouseClick(view->PicBox(), Qt::LeftButton, {}, QPoint(5, 7));
        QCOMPARE(downs.count(), 1);
        QCOMPARE(ups.count(), 1);
        QCOMPARE(seen, QPoint(5, 7));
        QCOMPARE(lastDown, QEvent::MouseButtonPress);
        QCOMPARE(viewUps.count(), 0);
        QTest::mouseDClick(view->PicBox(), Qt::LeftButton, {}, QPoint(6, 8));
        QCOMPARE(doubles.count(), 1);
        QCOMPARE(seen, QPoint(6, 8));
        QCOMPARE(lastDown, QEvent::MouseButtonDblClick);
        const auto boxUps = ups.count();
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, QPoint(5, 5));
        QCOMPARE(viewUps.count(), 1);
        QCOMPARE(ups.count(), boxUps);
    }

    void picBoxColourFollowsTheViewUntilSet() {
        TPGImage view;
        view.SetColor(Purple);
        QCOMPARE(view.PicBoxColor(), Purple);
        view.SetPicBoxColor(Red);
        QVERIFY(!view.PicBoxParentColor());
        view.SetColor(Blue);
        QCOMPARE(view.PicBoxColor(), Red);
        view.SetPicBoxParentColor(true);
        QCOMPARE(view.PicBoxColor(), Blue);
    }
};

QTEST_MAIN(TPGImageTest)
#include "PGImageTest.moc"
