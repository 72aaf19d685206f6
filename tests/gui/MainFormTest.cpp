#include "GuiTestSupport.h"

#include "app/AboutBox.h"
#include "app/ApplicationTitle.h"
#include "app/ScrollingText.h"
#include "document/RenderSession.h"
#include "image/PixelGraphic.h"
#include "image/view/PGImage.h"
#include "tools/XYSize.h"

#include <QApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTest>
#include <QToolButton>

#include <memory>

class MainFormTest : public QObject {
    Q_OBJECT

private slots:
    void startUpOpensOneRenderingDocument();
    void numbersDocumentsInCreationOrder();
    void drawTwiceWithinTheTickRestartsOnce();
    void menuStateFollowsTheDocuments();
    void exitWaitsForTheRunningPicture();
    void aRestartElsewhereEndsTheRunningDocument();
    void aboutBoxShowsModally();
    void resetKeepsTheCoefficientsAndRestoresTheView();

private:
    TRecordedMessages FMessages;
};

void MainFormTest::startUpOpensOneRenderingDocument() {
    TMainForm frame;
    frame.show();
    QCOMPARE(ApplicationTitle(), QStringLiteral("NEW"));
    QVERIFY(frame.Documents().isEmpty());

    QElapsedTimer clock;
    clock.start();
    qint64 openedAfter = -1;
    QString firstCaption;
    QSize pictureSize;
    QString titleWhileRunning;
    QString runningCaption;
    int tickAtCaption = -1;
    QImage grabbed;
    std::unique_ptr<TPixelGraphic> plotted;
    TMDIChild* document = nullptr;
    TScript script(frame, {[&] {
                               if (frame.Documents().isEmpty())
                                   return false;
                               openedAfter = clock.elapsed();
                               document = frame.Documents().first();
                               firstCaption = document->windowTitle();
                               return true;
                           },
                           WaitUntilRunning(frame),
                           [&] {
                               pictureSize = {document->Document().Params().Image->Width(),
                                              document->Document().Params().Image->Height()};
                               titleWhileRunning = ApplicationTitle();
                               return true;
                           },
                           // The caption shows the counters from the first display tick on.
                           [&] {
                               if (document->Document().Params().Tick < 2)
                                   return false;
                               runningCaption = document->windowTitle();
                               tickAtCaption = document->Document().Params().Tick - 1;
                               return true;
                           },
                           // After a second of rendering the picture on screen has points.
                           [&] {
                               if (document->Document().Params().StepCount < 100000 ||
                                   clock.elapsed() < 1100)
                                   return false;
                               grabbed = document->PGImage1()->grab().toImage();
                               return true;
                           }});
    RUN_SCRIPT(script);

    QCOMPARE(frame.Documents().size(), 1);
    QVERIFY2(openedAfter >= 90, qPrintable(QString::number(openedAfter)));
    QCOMPARE(firstCaption, QStringLiteral("Quarn IFS: 1"));
    QCOMPARE(pictureSize, QSize(400, 300));
    QCOMPARE(titleWhileRunning, QStringLiteral("Quarn IFS "));

    static const QRegularExpression counters(
        QStringLiteral("^(\\d+)  (\\d+)  (-?\\d+\\.\\d\\d|-?nan|-?inf)3$"));
    const QRegularExpressionMatch match = counters.match(runningCaption);
    QVERIFY2(match.hasMatch(), qPrintable(runningCaption));
    QCOMPARE(match.captured(1).toInt(), tickAtCaption);

    // Stop gave the caption back and kept the picture.
    QCOMPARE(document->windowTitle(), QStringLiteral("Quarn IFS: 1"));
    QVERIFY(!frame.Session().Running());
    QVERIFY(document->PGImage1()->PixelGraphic() == document->Document().Params().Image);

    int lit = 0;
    for (int y = 0; y < grabbed.height(); ++y)
        for (int x = 0; x < grabbed.width(); ++x)
            if (const QRgb pixel = grabbed.pixel(x, y);
                pixel != qRgb(0, 0, 0) && pixel != qRgb(64, 0, 64))
                ++lit;
    QVERIFY2(lit > 100, qPrintable(QString::number(lit)));
}

void MainFormTest::numbersDocumentsInCreationOrder() {
    TMainForm frame;
    frame.show();
    // A shown document has its picture; the first one's showing returns only with the last run.
    const auto allShown = [&] {
        for (const TMDIChild* document : frame.Documents())
            if (!document->Document().Params().Image)
                return false;
        return true;
    };
    TScript script(frame, {WaitUntilRunning(frame),
                           [&] {
                               frame.FileNewItemClick();
                               frame.FileNewItemClick();
                               return true;
                           },
                           [&] { return frame.Documents().size() == 3 && allShown(); },
                           // Closing document 2 only minimises it.
                           [&] {
                               frame.ClientArea->setActiveSubWindow(
                                   frame.ClientArea->subWindowList().at(1));
                               frame.FileCloseItem->trigger();
                               frame.FileNewItemClick();
                               // Draw while the new document has not been shown yet: the
                               // title still reads "NEW", so the tick opens one more.
                               frame.Documents().last()->Timer1()->stop();
                               frame.CoolSpeedButton1->click();
                               return true;
                           },
                           [&] { return frame.Documents().size() == 5; },
                           [&] {
                               frame.Documents().at(3)->Timer1()->start();
                               return true;
                           },
                           allShown});
    RUN_SCRIPT(script);

    const QList<TMDIChild*> documents = frame.Documents();
    QCOMPARE(documents.size(), 5);
    QStringList captions;
    for (const TMDIChild* document : documents)
        captions << document->windowTitle();
    QCOMPARE(captions, QStringList({"Quarn IFS: 1", "Quarn IFS: 2", "Quarn IFS: 3", "Quarn IFS: 4",
                                    "Quarn IFS: 5"}));
    QVERIFY(frame.ClientArea->subWindowList().at(1)->isMinimized());
    // Every document got a picture, also the one whose showing found the title already back.
    for (const TMDIChild* document : documents) {
        QVERIFY(document->PGImage1()->PixelGraphic());
        QCOMPARE(document->PGImage1()->PixelGraphic()->Width(), 400);
        QCOMPARE(document->Document().DocHeight(), 300);
    }
}

void MainFormTest::drawTwiceWithinTheTickRestartsOnce() {
    TMainForm frame;
    frame.show();
    std::unique_ptr<QSignalSpy> restarts;
    const TPixelGraphic* before = nullptr;
    double coefficientBefore = 0;
    TScript script(frame, {WaitUntilRunning(frame),
                           [&] {
                               TMDIChild* document = frame.Documents().first();
                               restarts =
                                   std::make_unique<QSignalSpy>(document, &TMDIChild::RunStarted);
                               before = document->Document().Params().Image;
                               coefficientBefore = document->Document().Params().Coef(1);
                               frame.CoolSpeedButton1->click();
                               frame.CoolSpeedButton1->click();
                               return true;
                           },
                           [&] { return restarts->size() > 0; },
                           [&] {
                               QTest::qWait(300);
                               return true;
                           }});
    RUN_SCRIPT(script);

    const TMDIChild* document = frame.Documents().first();
    QCOMPARE(restarts->size(), 1);
    QVERIFY(document->Document().Params().Image != before);
    QVERIFY(document->Document().Params().Coef(1) != coefficientBefore);
    QCOMPARE(document->windowTitle(), QStringLiteral("Quarn IFS: 1"));
}

void MainFormTest::menuStateFollowsTheDocuments() {
    TMainForm frame;
    frame.resize(1200, 800);
    frame.show();
    QList<QAction*> gated = {frame.FileCloseItem,     frame.FileSaveAsItem,
                             frame.WindowCascadeItem, frame.WindowTileItem,
                             frame.WindowArrangeItem, frame.WindowMinimizeItem};
    for (const QAction* item : gated)
        QVERIFY(!item->isEnabled());
    QVERIFY(!frame.XYSize->isEnabled());
    QVERIFY(frame.JPGFileOptions1->isEnabled());
    // Commands with no document to act on are ignored.
    frame.ResetClick();
    frame.AbortClick();
    frame.ParamsClick();
    frame.XYSizeClick();
    frame.FileCloseItemClick();
    frame.UpdateColors();

    QString hint;
    TScript script(frame, {WaitUntilRunning(frame),
                           [&] {
                               frame.FileNewItemClick();
                               return true;
                           },
                           [&] { return frame.Documents().size() == 2; },
                           [&] {
                               frame.FileNewItemClick();
                               return true;
                           },
                           [&] {
                               return frame.Documents().size() == 3 &&
                                      !frame.Documents().last()->Document().FirstShowPending();
                           },
                           [&] {
                               frame.WindowMinimizeItem->trigger();
                               frame.WindowArrangeItem->trigger();
                               QStatusTipEvent tip(frame.FileNewItem->statusTip());
                               QCoreApplication::sendEvent(&frame, &tip);
                               hint = frame.statusBar()->currentMessage();
                               return true;
                           }});
    RUN_SCRIPT(script);

    for (const QAction* item : gated)
        QVERIFY(item->isEnabled());
    QVERIFY(frame.XYSize->isEnabled());
    QCOMPARE(hint, QStringLiteral("Create a new file"));
    const QList<QMdiSubWindow*> windows = frame.ClientArea->subWindowList();
    const int bottom = frame.ClientArea->viewport()->height();
    for (int i = 0; i < windows.size(); ++i) {
        QVERIFY(windows[i]->isMinimized());
        QCOMPARE(windows[i]->geometry().bottom() + 1, bottom);
        if (i > 0)
            QCOMPARE(windows[i]->x(), windows[i - 1]->geometry().right() + 1);
    }
}

void MainFormTest::exitWaitsForTheRunningPicture() {
    auto frame = std::make_unique<TMainForm>();
    frame->show();
    bool visibleAfterExit = false;
    bool runningAfterExit = false;
    TScript script(*frame, {WaitUntilRunning(*frame),
                            [&] {
                                frame->FileExitItem->trigger();
                                return true;
                            },
                            [&] {
                                QTest::qWait(100);
                                visibleAfterExit = frame->isVisible();
                                runningAfterExit = frame->Session().Running();
                                return true;
                            }});
    RUN_SCRIPT(script);
    QVERIFY(visibleAfterExit);
    QVERIFY(runningAfterExit);
    // The stop that ended the run lets the exit go through.
    QTRY_VERIFY(!frame->isVisible());

    FMessages.Texts.clear();
    frame.reset();
    QCOMPARE(FMessages.Texts, QStringList{"destroy"});
}

void MainFormTest::aRestartElsewhereEndsTheRunningDocument() {
    TMainForm frame;
    frame.show();
    QString firstCaptionDuringSecond;
    bool firstRunEnded = false;
    TScript script(frame, {WaitUntilRunning(frame),
                           [&] { return frame.Documents().first()->Document().Params().Tick >= 2; },
                           [&] {
                               frame.FileNewItemClick();
                               return true;
                           },
                           WaitUntilRunning(frame, 1),
                           [&] {
                               const TMDIChild* first = frame.Documents().first();
                               firstCaptionDuringSecond = first->windowTitle();
                               firstRunEnded =
                                   first->Document().Params().AbortRequested != BoolFalse;
                               return true;
                           }});
    RUN_SCRIPT(script);
    QVERIFY(firstRunEnded);
    QCOMPARE(firstCaptionDuringSecond, QStringLiteral("Quarn IFS: 1"));
    QCOMPARE(frame.Documents().at(1)->windowTitle(), QStringLiteral("Quarn IFS: 2"));
}

void MainFormTest::aboutBoxShowsModally() {
    TMainForm frame;
    frame.Timer1->stop();
    frame.show();
    TAboutBox& box = *frame.AboutBox;
    QVERIFY(!box.isVisible());
    QCOMPARE(box.windowTitle(), QStringLiteral("About"));
    QCOMPARE(box.size(), QSize(467, 362));
    QVERIFY(box.Banner->Text().contains(QStringLiteral("Quarn IFS")));
    QVERIFY(box.Banner->Text().contains(QStringLiteral("v0.002")));
    QVERIFY(box.Credits->isReadOnly());

    bool modal = false;
    QTimer::singleShot(50, &box, [&] {
        modal = QApplication::activeModalWidget() == &box;
        box.OKButton->click();
    });
    frame.HelpAboutItem->trigger();
    QVERIFY(modal);
    QVERIFY(!box.isVisible());
}

void MainFormTest::resetKeepsTheCoefficientsAndRestoresTheView() {
    TMainForm frame;
    frame.show();
    const TPixelGraphic* before = nullptr;
    int restarts = 0;
    bool drawsNewCoefficients = true;
    double viewXMin = 0;
    TScript script(frame, {WaitUntilRunning(frame),
                           [&] {
                               TMDIChild* document = frame.Documents().first();
                               // What the engine is handed when the run starts.
                               connect(document, &TMDIChild::RunStarted, &frame, [&, document] {
                                   ++restarts;
                                   drawsNewCoefficients =
                                       document->Document().Params().NewCoefficients != BoolFalse;
                                   viewXMin = document->Document().Params().ViewXMin;
                               });
                               before = document->Document().Params().Image;
                               document->Document().Params().NewCoefficients = BoolFalse;
                               document->Document().SetView(1, 0, 4);
                               frame.CoolSpeedButton3->click();
                               return true;
                           },
                           [&] { return restarts > 0; }});
    RUN_SCRIPT(script);

    const TMDIChild* document = frame.Documents().first();
    QCOMPARE(restarts, 1);
    QVERIFY(!drawsNewCoefficients);
    QVERIFY(document->Document().Params().Image != before);
    QCOMPARE(document->Document().View().XCenter, 0.0);
    QCOMPARE(document->Document().View().Magnification, 0.5);
    QVERIFY(qAbs(viewXMin - (-14.0 / 3)) < 1e-12);
}

QTEST_MAIN(MainFormTest)
#include "MainFormTest.moc"
