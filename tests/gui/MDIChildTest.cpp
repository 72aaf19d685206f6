#include "GuiTestSupport.h"

#include "document/RenderSession.h"
#include "image/PixelGraphic.h"
#include "image/view/PGImage.h"
#include "image/view/PicBox.h"

#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMouseEvent>
#include <QTest>

class MDIChildTest : public QObject {
    Q_OBJECT

private slots:
    void cursorReadoutShowsThePlanePoint();
    void windowSizeFollowsThePicture();
    void closingStopsAndMinimises();

private:
    static void MoveMouse(TMDIChild& document, QPoint position);
    static QStringList Panels(const TMDIChild& document);

    TRecordedMessages FMessages;
};

void MDIChildTest::MoveMouse(TMDIChild& document, QPoint position) {
    QWidget* box = document.PGImage1()->PicBox();
    QMouseEvent move(QEvent::MouseMove, position, box->mapToGlobal(position), Qt::NoButton,
                     Qt::NoButton, Qt::ShiftModifier);
    QCoreApplication::sendEvent(box, &move);
}

QStringList MDIChildTest::Panels(const TMDIChild& document) {
    return {document.StatusPanel(0)->text(), document.StatusPanel(1)->text(),
            document.StatusPanel(2)->text()};
}

void MDIChildTest::cursorReadoutShowsThePlanePoint() {
    TMainForm frame;
    frame.resize(900, 700);
    frame.show();
    QStringList beforeFirstShow;
    QStringList whileRunning;
    TScript script(frame, {[&] {
                               if (frame.Documents().isEmpty())
                                   return false;
                               // No picture size yet: the readout stays empty.
                               TMDIChild* document = frame.Documents().first();
                               MoveMouse(*document, {0, 0});
                               beforeFirstShow = Panels(*document);
                               return true;
                           },
                           WaitUntilRunning(frame),
                           [&] {
                               TMDIChild* document = frame.Documents().first();
                               MoveMouse(*document, {0, 0});
                               whileRunning = Panels(*document);
                               return true;
                           }});
    RUN_SCRIPT(script);

    QCOMPARE(beforeFirstShow, QStringList({"", "", ""}));
    QCOMPARE(whileRunning,
             QStringList({"cx=-4.666666666667", "cy=-3.500000000000", "M=0.500000000000"}));
    TMDIChild& document = *frame.Documents().first();
    QCOMPARE(document.LastShift().Modifiers, Qt::ShiftModifier);

    // The bottom right pixel, through the paint box's scale.
    const QWidget* box = document.PGImage1()->PicBox();
    MoveMouse(document, {box->width() - 1, box->height() - 1});
    QVERIFY(qAbs(document.Document().Cursor().X - (-4.666666666667 + 399 * (28.0 / 3 / 400))) <
            1e-9);
    QVERIFY(qAbs(document.Document().Cursor().Y - (-3.5 + 299 * (7.0 / 300))) < 1e-9);
}

void MDIChildTest::windowSizeFollowsThePicture() {
    TMainForm frame;
    frame.show();
    TScript script(frame, {WaitUntilRunning(frame)});
    RUN_SCRIPT(script);
    TMDIChild& document = *frame.Documents().first();

    // A frame whose client area is 800 x 600.
    const QSize area = frame.ClientArea->viewport()->size();
    frame.resize(frame.size() + QSize(800, 600) - area);
    QTRY_COMPARE(frame.ClientArea->viewport()->size(), QSize(800, 600));

    document.PGImage1NewAutoSize(404, 304);
    QCOMPARE(document.size(), QSize(424, 344));
    document.PGImage1NewAutoSize(900, 700);
    QCOMPARE(document.size(), QSize(750, 530));

    // Minimised or maximised windows keep their size.
    QMdiSubWindow* window = frame.ClientArea->subWindowList().first();
    window->showMaximized();
    QTRY_VERIFY(window->isMaximized());
    const QSize maximised = document.size();
    document.PGImage1NewAutoSize(100, 100);
    QCOMPARE(document.size(), maximised);
    window->showNormal();

    // A new picture resizes the window through the view's report.
    QSize reported;
    connect(document.PGImage1(), &TPGImage::OnNewAutoSize, &frame, [&](int width, int height) {
        reported = {width, height};
    });
    auto picture = std::make_unique<TPixelGraphic>();
    picture->SetSize(200, 100, bc24Bit);
    document.PGImage1()->SetPixelGraphic(std::move(picture));
    QVERIFY(reported.isValid());
    QCOMPARE(document.size(), reported + QSize(20, 40));
}

void MDIChildTest::closingStopsAndMinimises() {
    TMainForm frame;
    frame.show();
    bool minimised = false;
    const TPixelGraphic* picture = nullptr;
    TScript script(frame,
                   {WaitUntilRunning(frame),
                    [&] {
                        TMDIChild* document = frame.Documents().first();
                        picture = document->Document().Params().Image;
                        frame.FileCloseItem->trigger();
                        minimised = frame.ClientArea->subWindowList().first()->isMinimized();
                        return true;
                    },
                    // The run ends by itself; the script would stop it only on time-out.
                    [&] { return !frame.Session().Running(); }},
                   2000);
    RUN_SCRIPT(script);
    QVERIFY(minimised);
    const TMDIChild& document = *frame.Documents().first();
    QCOMPARE(frame.Documents().size(), 1);
    QVERIFY(document.PGImage1()->PixelGraphic() == picture);
    QCOMPARE(document.windowTitle(), QStringLiteral("Quarn IFS: 1"));

    // The popup menu shows the rectangle mode's check mark.
    document.PopupMenu1()->popup({0, 0});
    QVERIFY(document.RectangleMode1()->isChecked());
    document.PopupMenu1()->hide();
}

QTEST_MAIN(MDIChildTest)
#include "MDIChildTest.moc"
