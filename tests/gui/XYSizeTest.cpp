#include "GuiTestSupport.h"

#include "image/PixelGraphic.h"
#include "image/view/PGImage.h"
#include "tools/XYSize.h"

#include <QAction>
#include <QDoubleSpinBox>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

class XYSizeTest : public QObject {
    Q_OBJECT

private slots:
    void presetsFillBothFields();
    void applyLimitsAndRestartsAtTheNewSize_data();
    void applyLimitsAndRestartsAtTheNewSize();
    void toggleShowsTheDocumentsSize();

private:
    TRecordedMessages FMessages;
};

void XYSizeTest::presetsFillBothFields() {
    TXYSize window;
    QCOMPARE(window.windowTitle(), QStringLiteral("XYSize"));
    QCOMPARE(window.centralWidget()->size(), QSize(208, 71));
    QCOMPARE(window.CoolBtn1->text(), QStringLiteral("Apply"));
    const QList<QAction*> items = window.Size1->actions();
    QCOMPARE(items.size(), 7);
    const struct {
        const char* Caption;
        double Width, Height;
    } expected[] = {{"120 by 80", 120, 90},    {"160 by 120", 160, 120}, {"320 by 240", 320, 240},
                    {"400 by 300", 400, 300},  {"640 by 480", 640, 480}, {"800 by 600", 800, 600},
                    {"1024 by 768", 1024, 768}};
    for (int i = 0; i < 7; ++i) {
        QCOMPARE(items[i]->text(), QString::fromLatin1(expected[i].Caption));
        items[i]->trigger();
        QCOMPARE(window.RxWidth->value(), expected[i].Width);
        QCOMPARE(window.RxHeight->value(), expected[i].Height);
    }
    // The spin buttons step by ten and the fields have no bounds of their own.
    window.RxWidth->stepBy(1);
    QCOMPARE(window.RxWidth->value(), 1034.0);
    window.RxHeight->setValue(-20);
    QCOMPARE(window.RxHeight->value(), -20.0);
}

void XYSizeTest::applyLimitsAndRestartsAtTheNewSize_data() {
    QTest::addColumn<double>("width");
    QTest::addColumn<double>("height");
    QTest::addColumn<QSize>("applied");
    QTest::addColumn<QStringList>("messages");
    QTest::newRow("square") << 200.0 << 200.0 << QSize(200, 200) << QStringList();
    QTest::newRow("too wide") << 1030.0 << 700.0 << QSize(1024, 700)
                              << QStringList{"width cannot be greater than 1024"};
    QTest::newRow("too high") << 1024.0 << 800.0 << QSize(1024, 768)
                              << QStringList{"height cannot be greater than 768"};
    QTest::newRow("both too large")
        << 2000.0 << 2000.0 << QSize(1024, 768)
        << QStringList{"width cannot be greater than 1024", "height cannot be greater than 768"};
    QTest::newRow("empty") << 0.0 << -5.0 << QSize(1, 1)
                           << QStringList{"width must be at least 1", "height must be at least 1"};
}

void XYSizeTest::applyLimitsAndRestartsAtTheNewSize() {
    QFETCH(double, width);
    QFETCH(double, height);
    QFETCH(QSize, applied);
    QFETCH(QStringList, messages);
    TMainForm frame;
    frame.show();
    QSize fields;
    QSize picture;
    double centreX = 1;
    double spanRatio = 0;
    TScript script(
        frame,
        {WaitUntilRunning(frame),
         [&] {
             frame.XYSizeClick();
             frame.XYSize->RxWidth->setValue(width);
             frame.XYSize->RxHeight->setValue(height);
             FMessages.Texts.clear();
             frame.XYSize->CoolBtn1->click();
             fields = {int(frame.XYSize->RxWidth->value()), int(frame.XYSize->RxHeight->value())};
             return true;
         },
         [&] {
             const TMDIChild* document = frame.Documents().first();
             if (!frame.Session().Running() || document->Document().Params().Tick < 1)
                 return false;
             const TFractalParams& block = document->Document().Params();
             picture = {document->PGImage1()->PixelGraphic()->Width(),
                        document->PGImage1()->PixelGraphic()->Height()};
             centreX = (block.ViewXMin + block.ViewXMax) / 2;
             spanRatio = (block.ViewXMax - block.ViewXMin) / (block.ViewYMax - block.ViewYMin);
             return true;
         }});
    RUN_SCRIPT(script);

    QCOMPARE(FMessages.Texts, messages);
    QCOMPARE(fields, applied);
    const TMDIChild* document = frame.Documents().first();
    QCOMPARE(QSize(document->Document().DocWidth(), document->Document().DocHeight()), applied);
    QCOMPARE(
        QSize(document->Document().Params().ImageWidth, document->Document().Params().ImageHeight),
        applied);
    QCOMPARE(picture, applied);
    // The centre stays, the pixels stay square.
    QVERIFY(qAbs(centreX) < 1e-12);
    QVERIFY(qAbs(spanRatio - double(applied.width()) / applied.height()) < 1e-9);
}

void XYSizeTest::toggleShowsTheDocumentsSize() {
    TMainForm frame;
    frame.show();
    QVERIFY(!frame.XYSize->isEnabled());
    bool shown = false;
    QSize fields;
    bool hiddenAgain = false;
    TScript script(
        frame,
        {WaitUntilRunning(frame), [&] {
             TMDIChild* document = frame.Documents().first();
             document->Document().Resize(640, 480);
             frame.CoolSpeedButton6->click();
             shown = frame.XYSize->isVisible();
             fields = {int(frame.XYSize->RxWidth->value()), int(frame.XYSize->RxHeight->value())};
             frame.CoolSpeedButton6->click();
             hiddenAgain = !frame.XYSize->isVisible();
             return true;
         }});
    RUN_SCRIPT(script);
    QVERIFY(frame.XYSize->isEnabled());
    QVERIFY(shown);
    QCOMPARE(fields, QSize(640, 480));
    QVERIFY(hiddenAgain);

    // Without the window, Apply's command restarts at the current size.
    TMDIChild& document = *frame.Documents().first();
    int restarts = 0;
    connect(&document, &TMDIChild::RunStarted, &frame, [&] {
        ++restarts;
        document.Abort();
    });
    frame.TP01();
    QCOMPARE(restarts, 1);
    QCOMPARE(document.PGImage1()->PixelGraphic()->Width(), 640);
}

QTEST_MAIN(XYSizeTest)
#include "XYSizeTest.moc"
