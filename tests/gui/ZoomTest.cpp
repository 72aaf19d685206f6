#include "GuiTestSupport.h"

#include "image/view/PGImage.h"
#include "image/view/PicBox.h"
#include "image/view/QtColor.h"

#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>

#include <cmath>

namespace {

bool Near(double a, double b, double tolerance = 5e-7) {
    return std::fabs(a - b) < tolerance;
}

QWidget* Box(TMDIChild& document) {
    return document.PGImage1()->PicBox();
}

// One drag with the left button, as a user makes it.
void Drag(QWidget* box, QPoint from, QPoint to) {
    QTest::mousePress(box, Qt::LeftButton, {}, from);
    QTest::mouseMove(box, to);
    QTest::mouseRelease(box, Qt::LeftButton, {}, to);
}

QRect Selection(const TMDIChild& document) {
    return document.PGImage1()->SelectionRect();
}

} // namespace

class ZoomTest : public QObject {
    Q_OBJECT

private:
    // The frame with its first document running; counts the runs that enter the engine.
    struct TSetup {
        TMainForm Frame;
        int Runs = 0;
        TMDIChild* Document = nullptr;

        TSetup() {
            Frame.resize(900, 700);
            Frame.show();
        }
        // A step that waits for the first document's run and connects the counter.
        TScript::TStep Started() {
            return [this] {
                if (Frame.Documents().isEmpty() || !Frame.Session().Running())
                    return false;
                Document = Frame.Documents().first();
                QObject::connect(Document, &TMDIChild::RunStarted, &Frame, [this] { ++Runs; });
                return true;
            };
        }
        TScript::TStep RunsReach(int count) {
            return [this, count] { return Runs >= count && Frame.Session().Running(); };
        }
    };

    TRecordedMessages FMessages;

private slots:
    void init() { FMessages.Texts.clear(); }

    void clickModeZoomsAroundTheClickedRow() {
        TSetup setup;
        TMDIChild*& document = setup.Document;
        TViewFit target;
        QRect selection;
        double clickYUp = 0;
        TScript script(setup.Frame,
                       {setup.Started(),
                        [&] {
                            document->RectangleMode1()->trigger();
                            QTest::mouseClick(Box(*document), Qt::LeftButton, {}, {200, 200});
                            clickYUp = document->Document().ClickYUp();
                            selection = Selection(*document);
                            target = document->Document().View();
                            document->Zoom1Click();
                            return true;
                        },
                        setup.RunsReach(1)});
        RUN_SCRIPT(script);
        QVERIFY(FMessages.Texts.isEmpty());
        QVERIFY(!document->Document().RectangleMode());
        QCOMPARE(clickYUp, 100.0);
        // Centred on row 200, as clicked.
        QCOMPARE(selection, QRect(100, 125, 200, 150));
        QVERIFY(Near(target.SelXMin, -2.333333));
        QVERIFY(Near(target.SelXMax, 2.333333));
        QVERIFY(Near(target.SelYMin, -0.583333));
        QVERIFY(Near(target.SelYMax, 2.916667));
        QVERIFY(Near(target.SelMagnification, 0.979592));
        // The target waits for the zoom.
        QCOMPARE(target.Magnification, 0.5);

        const TViewFit& view = document->Document().View();
        QVERIFY(Near(view.XCenter, 0.0));
        QVERIFY(Near(view.YCenter, 1.166667));
        QVERIFY(Near(view.Magnification, 0.979592));
        // Square pixels around the new centre, the sides about 1.96 times shorter.
        const TFractalParams& params = document->Document().Params();
        QVERIFY(Near((params.ViewXMax - params.ViewXMin) / 400,
                     (params.ViewYMax - params.ViewYMin) / 300, 1e-12));
        QVERIFY(Near((params.ViewYMin + params.ViewYMax) / 2, 1.166667));
        QVERIFY(Near(9.333333 / (params.ViewXMax - params.ViewXMin), 1.96, 0.01));
        QVERIFY(!document->PGImage1()->Selection());
        QCOMPARE(document->PGImage1()->ActionMode(), amNone);
    }

    void draggedRectangleGetsTheImageProportionsAndDoubleClickZooms() {
        TSetup setup;
        TMDIChild*& document = setup.Document;
        QRect dragged;
        QRect proportional;
        bool selected = false;
        int made = 0;
        double targetMagnification = 0;
        TActionMode afterPress = amNone;
        bool selectedAfterZoom = true;
        TScript script(setup.Frame,
                       {setup.Started(),
                        [&] {
                            connect(document->PGImage1(), &TPGImage::OnSelectionMade, this,
                                    [&made] { ++made; });
                            QTest::mousePress(Box(*document), Qt::LeftButton, {}, {150, 145});
                            QTest::mouseMove(Box(*document), {249, 154});
                            dragged = Selection(*document);
                            QTest::mouseRelease(Box(*document), Qt::LeftButton, {}, {249, 154});
                            proportional = Selection(*document);
                            selected = document->PGImage1()->Selection();
                            targetMagnification = document->Document().View().SelMagnification;
                            QTest::mouseDClick(Box(*document), Qt::LeftButton, {}, {200, 150});
                            return true;
                        },
                        setup.RunsReach(1),
                        [&] {
                            selectedAfterZoom = document->PGImage1()->Selection();
                            QTest::mouseClick(Box(*document), Qt::LeftButton, {}, {10, 10});
                            afterPress = document->PGImage1()->ActionMode();
                            return true;
                        }});
        RUN_SCRIPT(script);
        QVERIFY(FMessages.Texts.isEmpty());
        QCOMPARE(dragged, QRect(150, 145, 100, 10));
        // 62.857 rounds to 63, 47.143 to 47, around the same centre (200, 150).
        QCOMPARE(proportional, QRect(169, 126, 63, 47));
        QVERIFY(selected);
        QVERIFY(made >= 1);
        QVERIFY(Near(targetMagnification, 2 / (28.0 / 3 / 400 * 110 / 4)));
        QVERIFY(Near(document->Document().View().Magnification, targetMagnification));
        QVERIFY(!selectedAfterZoom);
        QCOMPARE(afterPress, amMoveResizeCreateSelection);
    }

    void firstGestureAfterAZoomOrAModeChangeActs() {
        TSetup setup;
        TMDIChild*& document = setup.Document;
        QString panelAfterZoom;
        double zoomedMagnification = 0;
        int made = 0;
        QRect dragged;
        TActionMode afterSwitch = amMoveResizeCreateSelection;
        bool selectionAfterClick = true;
        double clickTarget = 0;
        TScript script(setup.Frame,
                       {setup.Started(),
                        [&] {
                            connect(document->PGImage1(), &TPGImage::OnSelectionMade, this,
                                    [&made] { ++made; });
                            Drag(Box(*document), {150, 145}, {249, 154});
                            QTest::mouseDClick(Box(*document), Qt::LeftButton, {}, {200, 150});
                            return true;
                        },
                        setup.RunsReach(1),
                        [&] {
                            // No mouse move since the zoom.
                            panelAfterZoom = document->StatusPanel(2)->text();
                            zoomedMagnification = document->Document().View().Magnification;
                            made = 0;
                            Drag(Box(*document), {50, 50}, {149, 124});
                            dragged = Selection(*document);
                            document->ClearRectangle2()->trigger();
                            document->RectangleMode1()->trigger();
                            afterSwitch = document->PGImage1()->ActionMode();
                            QTest::mouseClick(Box(*document), Qt::LeftButton, {}, {200, 200});
                            selectionAfterClick = document->PGImage1()->Selection();
                            clickTarget = document->Document().View().SelMagnification;
                            return true;
                        }});
        RUN_SCRIPT(script);
        QVERIFY(FMessages.Texts.isEmpty());
        QCOMPARE(panelAfterZoom, QString::asprintf("M=%1.12f", zoomedMagnification));
        QVERIFY(zoomedMagnification > 0.5);
        // One drag made the selection, given the picture's proportions.
        QCOMPARE(made, 1);
        QCOMPARE(dragged, QRect(50, 50, 100, 75));
        // One click in click mode sets a target and draws no selection.
        QCOMPARE(afterSwitch, amNone);
        QVERIFY(!selectionAfterClick);
        QVERIFY(Near(clickTarget, 1.959184 * zoomedMagnification, 1e-5));
    }

    void frameStaysVisibleWhileThePictureGrows() {
        TSetup setup;
        TMDIChild*& document = setup.Document;
        int paints = 0;
        int paintsAtSelection = 0;
        bool visible = false;
        TScript script(
            setup.Frame,
            {setup.Started(),
             [&] {
                 connect(document->PGImage1(), &TPGImage::OnPaint, this, [&paints] { ++paints; });
                 Drag(Box(*document), {100, 100}, {199, 174});
                 paintsAtSelection = paints;
                 return true;
             },
             // Display ticks repaint the whole picture.
             [&] { return paints >= paintsAtSelection + 2; },
             [&] {
                 TPGImage& view = *document->PGImage1();
                 const QRect frame = view.SelectionBoxRect().adjusted(-1, -1, 1, 1);
                 const QImage shot = view.viewport()->grab().toImage();
                 visible = true;
                 for (int x = frame.left(); x <= frame.right(); ++x) {
                     const QPoint at =
                         Box(*document)->mapTo(view.viewport(), QPoint(x, frame.top()));
                     const TColor color = FromQColor(shot.pixelColor(at));
                     visible = visible &&
                               (color == view.SelectionColor1() || color == view.SelectionColor2());
                 }
                 return true;
             }});
        RUN_SCRIPT(script);
        QVERIFY(visible);
    }

    void refusedZooms() {
        TSetup setup;
        TMDIChild*& document = setup.Document;
        QStringList first;
        bool clearedSelection = true;
        double emptyTarget = -1;
        double magnification = 0;
        bool samePicture = false;
        double afterShift = -1;
        TScript script(
            setup.Frame,
            {setup.Started(),
             [&] {
                 Drag(Box(*document), {100, 100}, {150, 150});
                 document->ClearRectangle2()->trigger();
                 clearedSelection = document->PGImage1()->Selection();
                 document->Zoom1()->trigger();
                 return true;
             },
             [&] { return !FMessages.Texts.isEmpty(); },
             [&] {
                 first = FMessages.Texts;
                 // A target without extent: a selection of no width and height.
                 TPGImage& view = *document->PGImage1();
                 view.SetSelection(true);
                 view.SetSelectionBounds(10, 10, 0, 0);
                 QMouseEvent press(QEvent::MouseButtonPress, QPointF(10, 10), QPointF(10, 10),
                                   Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
                 QMouseEvent release(QEvent::MouseButtonRelease, QPointF(10, 10), QPointF(10, 10),
                                     Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
                 document->PGImage1PicBoxOnMouseDown(&press);
                 document->PGImage1PicBoxOnMouseUp(&release);
                 emptyTarget = document->Document().View().SelMagnification;
                 const TPixelGraphic* picture = view.PixelGraphic();
                 document->Zoom1Click();
                 magnification = document->Document().View().Magnification;
                 samePicture = view.PixelGraphic() == picture;
                 // With a modifier held the release sets no target.
                 QMouseEvent shiftPress(QEvent::MouseButtonPress, QPointF(10, 10), QPointF(10, 10),
                                        Qt::LeftButton, Qt::LeftButton, Qt::ShiftModifier);
                 document->PGImage1PicBoxOnMouseDown(&shiftPress);
                 view.SetSelectionBounds(10, 10, 100, 100);
                 document->PGImage1PicBoxOnMouseUp(&release);
                 afterShift = document->Document().View().SelMagnification;
                 return true;
             }});
        RUN_SCRIPT(script);
        QCOMPARE(first, QStringList({"there is nothing selected"}));
        QVERIFY(!clearedSelection);
        QCOMPARE(emptyTarget, 0.0);
        QCOMPARE(FMessages.Texts.last(), QStringLiteral("the selected area is empty"));
        QCOMPARE(magnification, 0.5);
        QVERIFY(samePicture);
        QCOMPARE(afterShift, 0.0);
        QCOMPARE(setup.Runs, 0);
    }

    void clickZoomAfterResetShowsTheResetView() {
        TSetup setup;
        TMDIChild*& document = setup.Document;
        bool checked = true;
        double zoomed = 0;
        TScript script(setup.Frame,
                       {setup.Started(),
                        [&] {
                            document->RectangleMode1Click();
                            document->PopupMenu1()->popup({0, 0});
                            checked = document->RectangleMode1()->isChecked();
                            document->PopupMenu1()->hide();
                            QTest::mouseClick(Box(*document), Qt::LeftButton, {}, {40, 40});
                            document->Zoom1Click();
                            return true;
                        },
                        setup.RunsReach(1),
                        [&] {
                            zoomed = document->Document().View().Magnification;
                            setup.Frame.ResetClick();
                            return true;
                        },
                        setup.RunsReach(2),
                        [&] {
                            document->Zoom1Click();
                            return true;
                        },
                        setup.RunsReach(3)});
        RUN_SCRIPT(script);
        QVERIFY(FMessages.Texts.isEmpty());
        QVERIFY(!checked);
        QVERIFY(zoomed > 0.9);
        const TViewFit& view = document->Document().View();
        QCOMPARE(view.XCenter, 0.0);
        QCOMPARE(view.YCenter, 0.0);
        QCOMPARE(view.Magnification, 0.5);
        QVERIFY(Near(document->Document().Params().ViewXMin, -4.666667));
        QVERIFY(Near(document->Document().Params().ViewYMax, 3.5));
    }

    void zoomToASelectionReachingPastThePicture() {
        TSetup setup;
        TMDIChild*& document = setup.Document;
        QRect outside;
        TScript script(setup.Frame, {setup.Started(),
                                     [&] {
                                         Drag(Box(*document), {20, 20}, {99, 79});
                                         // Moved up and left as far as it goes.
                                         Drag(Box(*document), {50, 50}, {-1000, -1000});
                                         outside = Selection(*document);
                                         document->Zoom1Click();
                                         return true;
                                     },
                                     setup.RunsReach(1)});
        RUN_SCRIPT(script);
        QVERIFY(FMessages.Texts.isEmpty());
        QCOMPARE(outside, QRect(-79, -59, 80, 60));
        // The target's centre lies beyond the picture's top left corner.
        QVERIFY(document->Document().View().XCenter < -4.666667);
        QVERIFY(document->Document().View().YCenter < -3.5);
    }

    void zoomWhileRenderingRestartsAndOneStopEndsIt() {
        TSetup setup;
        TMDIChild*& document = setup.Document;
        double magnification = 0;
        bool previewShown = false;
        TScript script(setup.Frame,
                       {setup.Started(),
                        [&] {
                            Drag(Box(*document), {10, 10}, {109, 84});
                            // The popup's item waits for the event loop, as from the menu.
                            document->Zoom1()->trigger();
                            return true;
                        },
                        setup.RunsReach(1),
                        [&] {
                            magnification = document->Document().View().Magnification;
                            previewShown = document->Document().Params().Image ==
                                           document->PGImage1()->PixelGraphic();
                            setup.Frame.AbortClick();
                            return true;
                        },
                        [&] { return !setup.Frame.Session().Running(); }},
                       5000);
        RUN_SCRIPT(script);
        QVERIFY(Near(magnification, 2 / (28.0 / 3 / 400 * 175 / 4)));
        QVERIFY(previewShown);
        QCOMPARE(setup.Runs, 1);
        QCOMPARE(document->windowTitle(), QStringLiteral("Quarn IFS: 1"));
    }
};

QTEST_MAIN(ZoomTest)
#include "ZoomTest.moc"
