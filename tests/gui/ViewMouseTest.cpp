#include "image/PixelGraphic.h"
#include "image/view/PGImage.h"
#include "image/view/PicBox.h"
#include "image/view/QtColor.h"
#include "image/view/SelectionFrame.h"
#include "image/view/ViewCursors.h"
#include "image/view/ViewMouseTool.h"

#include <QBitmap>
#include <QImage>
#include <QPaintEvent>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

#include <memory>

namespace {

constexpr TColor Gray = RGB(40, 80, 120);
constexpr TColor White = RGB(255, 255, 255);
constexpr TColor Red = RGB(255, 0, 0);

std::unique_ptr<TPixelGraphic> Picture(int width, int height) {
    auto picture = std::make_unique<TPixelGraphic>();
    picture->SetSize(width, height, bc24Bit);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            picture->SetPixel(x, y, Gray);
    return picture;
}

// Everything the viewport paints, as the union of its paint events' regions.
class TPaintedRegion : public QObject {
public:
    explicit TPaintedRegion(QWidget* widget) { widget->installEventFilter(this); }
    QRegion Painted;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            Painted += static_cast<QPaintEvent*>(event)->region();
        return false;
    }
};

int Area(const QRegion& region) {
    int area = 0;
    for (const QRect& rect : region)
        area += rect.width() * rect.height();
    return area;
}

QRect Selection(const TPGImage& view) {
    return view.SelectionRect();
}

bool SameCursor(const QCursor& a, const QCursor& b) {
    return a.shape() == b.shape() && a.hotSpot() == b.hotSpot() &&
           a.bitmap().toImage() == b.bitmap().toImage() && a.mask().toImage() == b.mask().toImage();
}

} // namespace

class ViewMouseTest : public QObject {
    Q_OBJECT

private:
    // A view of the given size showing a picture at its natural size at the view's top left.
    static std::unique_ptr<TPGImage> ShownView(QSize viewSize, QSize pictureSize,
                                               TActionMode mode) {
        auto view = std::make_unique<TPGImage>();
        view->resize(viewSize);
        view->SetActionMode(mode);
        view->SetPixelGraphic(Picture(pictureSize.width(), pictureSize.height()));
        view->show();
        if (!QTest::qWaitForWindowExposed(view.get()))
            return nullptr;
        return view;
    }

    static QImage Shot(TPGImage& view) { return view.viewport()->grab().toImage(); }

private slots:
    void initTestCase() { qRegisterMetaType<QMouseEvent*>(); }

    void creatingMovingAndClampingTheSelection() {
        auto view = ShownView({500, 400}, {400, 300}, amMoveResizeCreateSelection);
        QVERIFY(view);
        QWidget* box = view->PicBox();
        QStringList order;
        connect(view.get(), &TPGImage::PicBoxOnMouseUp, this, [&] { order << "user up"; });
        connect(view.get(), &TPGImage::OnSelectionMade, this,
                [&] { order << QStringLiteral("made %1").arg(view->DragState()); });
        QSignalSpy changes(view.get(), &TPGImage::OnSelectionChange);

        // Dragging up and left from the anchor spans the rectangle the other way round.
        QTest::mousePress(box, Qt::LeftButton, {}, {60, 50});
        QCOMPARE(view->DragState(), dsCreateSelection);
        QVERIFY(view->Selection());
        QCOMPARE(Selection(*view), QRect(60, 50, 1, 1));
        QTest::mouseMove(box, {10, 20});
        QCOMPARE(Selection(*view), QRect(10, 20, 51, 31));
        QTest::mouseRelease(box, Qt::LeftButton, {}, {10, 20});
        QCOMPARE(view->DragState(), dsNone);
        // The user's handler first, then the view's announcement, still during the drag.
        QCOMPARE(order, QStringList({"user up", "made 3"}));
        QVERIFY(changes.count() >= 3);

        // A press inside moves it by whole picture pixels.
        QTest::mousePress(box, Qt::LeftButton, {}, {30, 30});
        QCOMPARE(view->DragState(), dsMoveSelection);
        QTest::mouseMove(box, {40, 45});
        QCOMPARE(Selection(*view), QRect(20, 35, 51, 31));
        // Far outside, one column and one row stay on the picture.
        QTest::mouseMove(box, {-1000, -1000});
        QCOMPARE(Selection(*view), QRect(1 - 51, 1 - 31, 51, 31));
        QTest::mouseMove(box, {3000, 2000});
        QCOMPARE(Selection(*view), QRect(399, 299, 51, 31));
        QTest::mouseRelease(box, Qt::LeftButton, {}, {3000, 2000});
        QCOMPARE(order.last(), QStringLiteral("made 2"));

        // Without selection modes the mouse leaves the selection alone.
        view->SetActionMode(amNone);
        QTest::mousePress(box, Qt::LeftButton, {}, {5, 5});
        QCOMPARE(view->DragState(), dsNone);
        QTest::mouseRelease(box, Qt::LeftButton, {}, {5, 5});
        QCOMPARE(Selection(*view), QRect(399, 299, 51, 31));
    }

    void handlesAreFoundInOrderAndKeepOnePixel() {
        auto view = ShownView({500, 400}, {400, 300}, amMoveResizeCreateSelection);
        QVERIFY(view);
        QWidget* box = view->PicBox();
        const QRect start(100, 100, 50, 40);
        view->SetSelection(true);
        view->SetSelectionBounds(100, 100, 50, 40);
        const auto handles = TSelectionFrame::HandleRects(view->SelectionBoxRect());
        QCOMPARE(handles[0], QRect(92, 92, 5, 5));
        QCOMPARE(handles[4], QRect(153, 118, 5, 5));
        QCOMPARE(handles[7], QRect(153, 143, 5, 5));
        for (int handle = 0; handle < TSelectionFrame::HandleCount; ++handle) {
            const QPoint centre = handles[handle].center();
            QTest::mousePress(box, Qt::LeftButton, {}, centre);
            QCOMPARE(view->DragState(), dsHandleTopLeft + handle);
            QTest::mouseRelease(box, Qt::LeftButton, {}, centre);
            QCOMPARE(Selection(*view), start);
        }
        // Just outside a handle's right and bottom edges nothing is hit: a new selection starts.
        QTest::mousePress(box, Qt::LeftButton, {}, handles[0].topLeft() + QPoint(5, 0));
        QCOMPARE(view->DragState(), dsCreateSelection);
        QTest::mouseRelease(box, Qt::LeftButton, {}, handles[0].topLeft() + QPoint(5, 0));

        // The top-left handle moves two edges, the bottom-right one the other two.
        view->SetSelectionBounds(100, 100, 50, 40);
        QTest::mousePress(box, Qt::LeftButton, {}, {94, 94});
        QTest::mouseMove(box, {84, 89});
        QCOMPARE(Selection(*view), QRect(90, 95, 60, 45));
        QTest::mouseRelease(box, Qt::LeftButton, {}, {84, 89});
        const QPoint bottomRight =
            TSelectionFrame::HandleRects(view->SelectionBoxRect())[7].center();
        QTest::mousePress(box, Qt::LeftButton, {}, bottomRight);
        QTest::mouseMove(box, bottomRight + QPoint(7, -3));
        QCOMPARE(Selection(*view), QRect(90, 95, 67, 42));
        QTest::mouseRelease(box, Qt::LeftButton, {}, bottomRight + QPoint(7, -3));

        // The right handle dragged past the left edge, the left handle past the right edge.
        view->SetSelectionBounds(100, 100, 50, 40);
        const QPoint right = TSelectionFrame::HandleRects(view->SelectionBoxRect())[4].center();
        QTest::mousePress(box, Qt::LeftButton, {}, right);
        QTest::mouseMove(box, {20, right.y()});
        QCOMPARE(Selection(*view), QRect(100, 100, 1, 40));
        QTest::mouseRelease(box, Qt::LeftButton, {}, {20, right.y()});
        view->SetSelectionBounds(100, 100, 50, 40);
        const QPoint left = TSelectionFrame::HandleRects(view->SelectionBoxRect())[3].center();
        QTest::mousePress(box, Qt::LeftButton, {}, left);
        QTest::mouseMove(box, {300, left.y()});
        QCOMPARE(Selection(*view), QRect(149, 100, 1, 40));
        QTest::mouseRelease(box, Qt::LeftButton, {}, {300, left.y()});
    }

    void otherButtonsStartNoDrag() {
        auto view = ShownView({500, 400}, {400, 300}, amMoveResizeCreateSelection);
        QVERIFY(view);
        QSignalSpy downs(view.get(), &TPGImage::PicBoxOnMouseDown);
        QSignalSpy made(view.get(), &TPGImage::OnSelectionMade);
        QTest::mousePress(view->PicBox(), Qt::RightButton, {}, {50, 50});
        QCOMPARE(view->DragState(), dsNone);
        QCOMPARE(downs.count(), 1);
        QVERIFY(!view->Selection());
        QTest::mouseRelease(view->PicBox(), Qt::RightButton, {}, {50, 50});
        QCOMPARE(made.count(), 0);
    }

    void draggingAScrollablePicture() {
        auto view = ShownView({300, 200}, {800, 600}, amMoveImage);
        QVERIFY(view);
        QWidget* box = view->PicBox();
        const TViewCursors& cursors = TViewCursors::Instance();
        QTest::mouseMove(box, {100, 100});
        QVERIFY(SameCursor(box->cursor(), cursors.OpenHand));
        QTest::mousePress(box, Qt::LeftButton, {}, {100, 100});
        QCOMPARE(view->DragState(), dsPicture);
        QVERIFY(SameCursor(box->cursor(), cursors.GrabbingHand));

        // The pointer stays at one place on the screen while the picture moves under it.
        const QPoint pointer = box->mapToGlobal(QPoint(100, 100)) - QPoint(30, 20);
        QTest::mouseMove(box, box->mapFromGlobal(pointer));
        QCOMPARE(view->horizontalScrollBar()->value(), 30);
        QCOMPARE(view->verticalScrollBar()->value(), 20);
        QCOMPARE(box->mapFromGlobal(pointer), QPoint(100, 100));
        // Against the left edge the scroll position stops at 0; turning back moves at once.
        QTest::mouseMove(box, box->mapFromGlobal(pointer + QPoint(100, 0)));
        QCOMPARE(view->horizontalScrollBar()->value(), 0);
        QTest::mouseMove(box, box->mapFromGlobal(pointer + QPoint(90, 0)));
        QCOMPARE(view->horizontalScrollBar()->value(), 10);
        QTest::mouseRelease(box, Qt::LeftButton, {}, box->mapFromGlobal(pointer + QPoint(90, 0)));
        QCOMPARE(view->DragState(), dsNone);
        QVERIFY(SameCursor(box->cursor(), cursors.OpenHand));

        // A picture that fits has nothing to drag.
        view->SetPixelGraphic(Picture(100, 80));
        QTest::mousePress(box, Qt::LeftButton, {}, {10, 10});
        QCOMPARE(view->DragState(), dsNone);
        QCOMPARE(box->cursor().shape(), Qt::ArrowCursor);
        QTest::mouseRelease(box, Qt::LeftButton, {}, {10, 10});
    }

    void selectionDragsScrollThePictureFromOutside() {
        auto view = ShownView({300, 200}, {800, 600}, amMoveResizeCreateSelection);
        QVERIFY(view);
        QWidget* box = view->PicBox();
        QTest::mousePress(box, Qt::LeftButton, {}, {50, 50});
        // Right of and below the client area.
        const QPoint outside =
            box->mapFrom(view->viewport(),
                         QPoint(view->viewport()->width() + 10, view->viewport()->height() + 10));
        QTest::mouseMove(box, outside);
        QTRY_VERIFY(view->horizontalScrollBar()->value() >= 15);
        QVERIFY(view->verticalScrollBar()->value() >= 15);
        QCOMPARE(view->horizontalScrollBar()->value() % 5, 0);
        QTest::mouseRelease(box, Qt::LeftButton, {}, outside);
        const int stopped = view->horizontalScrollBar()->value();
        QTest::qWait(150);
        QCOMPARE(view->horizontalScrollBar()->value(), stopped);

        // Left of it, back towards 0 and not below.
        QTest::mousePress(box, Qt::LeftButton, {}, box->mapFrom(view->viewport(), QPoint(5, 5)));
        QTest::mouseMove(box, box->mapFrom(view->viewport(), QPoint(-10, 5)));
        QTRY_COMPARE(view->horizontalScrollBar()->value(), 0);
        QTest::qWait(120);
        QCOMPARE(view->horizontalScrollBar()->value(), 0);
        QTest::mouseRelease(box, Qt::LeftButton, {},
                            box->mapFrom(view->viewport(), QPoint(-10, 5)));
    }

    void cursorsFollowTheRulesInOrder() {
        const TViewCursors& cursors = TViewCursors::Instance();
        const QCursor* all[] = {&cursors.OpenHand, &cursors.GrabbingHand, &cursors.SelectionCross,
                                &cursors.MoveSelection};
        for (const QCursor* cursor : all) {
            QCOMPARE(cursor->bitmap().size(), QSize(32, 32));
            QCOMPARE(cursor->mask().size(), QSize(32, 32));
        }
        QCOMPARE(cursors.OpenHand.hotSpot(), QPoint(16, 12));
        QCOMPARE(cursors.GrabbingHand.hotSpot(), QPoint(16, 12));
        QCOMPARE(cursors.SelectionCross.hotSpot(), QPoint(15, 15));
        QCOMPARE(cursors.MoveSelection.hotSpot(), QPoint(16, 15));
        // The cross's dashes: black where bitmap and mask are set, inverted with the bitmap
        // alone, across the whole cursor.
        const QImage crossBits = cursors.SelectionCross.bitmap().toImage();
        const QImage crossMask = cursors.SelectionCross.mask().toImage();
        const auto set = [](const QImage& image, int x, int y) {
            return image.pixelColor(x, y) == QColor(Qt::black);
        };
        QVERIFY(set(crossBits, 15, 0) && set(crossMask, 15, 0));
        QVERIFY(set(crossBits, 15, 2) && !set(crossMask, 15, 2));
        QVERIFY(set(crossBits, 28, 15) && set(crossMask, 28, 15));
        QVERIFY(set(crossBits, 31, 15) && !set(crossMask, 31, 15));
        QVERIFY(!set(crossBits, 0, 0) && !set(crossMask, 0, 0));

        auto view = ShownView({500, 400}, {400, 300}, amMoveResizeCreateSelection);
        QVERIFY(view);
        QWidget* box = view->PicBox();
        view->SetSelection(true);
        view->SetSelectionBounds(100, 100, 50, 40);
        const auto handles = TSelectionFrame::HandleRects(view->SelectionBoxRect());
        const auto cursorAt = [&](QPoint point) {
            QTest::mouseMove(box, point);
            return box->cursor();
        };
        QVERIFY(SameCursor(cursorAt({20, 20}), cursors.SelectionCross));
        QVERIFY(SameCursor(cursorAt({100, 100}), cursors.MoveSelection));
        QVERIFY(SameCursor(cursorAt({149, 139}), cursors.MoveSelection));
        QVERIFY(SameCursor(cursorAt({150, 139}), cursors.SelectionCross));
        const Qt::CursorShape sizing[] = {
            Qt::SizeFDiagCursor, Qt::SizeVerCursor,   Qt::SizeBDiagCursor, Qt::SizeHorCursor,
            Qt::SizeHorCursor,   Qt::SizeBDiagCursor, Qt::SizeVerCursor,   Qt::SizeFDiagCursor};
        for (int handle = 0; handle < TSelectionFrame::HandleCount; ++handle)
            QCOMPARE(cursorAt(handles[handle].center()).shape(), sizing[handle]);

        // Moving only: no cross and no handles, but the move cursor inside.
        view->SetActionMode(amMoveSelection);
        QCOMPARE(cursorAt({20, 20}).shape(), Qt::ArrowCursor);
        QCOMPARE(cursorAt(handles[1].center()).shape(), Qt::ArrowCursor);
        QVERIFY(SameCursor(cursorAt({120, 120}), cursors.MoveSelection));
        // The paint box's own cursor where no rule applies, and the user's last word.
        view->SetActionMode(amNone);
        view->SetPicBoxCursor(Qt::IBeamCursor);
        QCOMPARE(cursorAt({120, 120}).shape(), Qt::IBeamCursor);
        connect(view.get(), &TPGImage::PicBoxOnSetCursor, this,
                [](QCursor& cursor) { cursor = Qt::PointingHandCursor; });
        QCOMPARE(cursorAt({121, 120}).shape(), Qt::PointingHandCursor);
        QCOMPARE(view->PicBoxCursor().shape(), Qt::IBeamCursor);

        // Around the paint box, the control's own cursor, which the user may replace too.
        view->setCursor(Qt::CrossCursor);
        QTest::mouseMove(view->viewport(), {450, 350});
        QCOMPARE(view->viewport()->cursor().shape(), Qt::CrossCursor);
        connect(view.get(), &TPGImage::OnSetCursor, this,
                [](QCursor& cursor) { cursor = Qt::WaitCursor; });
        QTest::mouseMove(view->viewport(), {451, 350});
        QCOMPARE(view->viewport()->cursor().shape(), Qt::WaitCursor);
    }

    void framePatternFollowsPhaseAndCorner() {
        QCOMPARE(TSelectionFrame::PatternPhase(3, -5, -7), 7);
        QCOMPARE(TSelectionFrame::PatternPhase(0, -8, 0), 0);
        QCOMPARE(TSelectionFrame::PatternPhase(7, -1, 0), 6);
        QCOMPARE(TSelectionFrame::PatternPhase(5, 10, 1), 0);
        QCOMPARE(TSelectionFrame::PatternColor(0, 0, 0, White, Red), White);
        QCOMPARE(TSelectionFrame::PatternColor(0, 4, 0, White, Red), Red);
        QCOMPARE(TSelectionFrame::PatternColor(2, 4, 0, White, Red), White);
        QCOMPARE(TSelectionFrame::PatternColor(7, 0, 0, White, Red), White);
        QCOMPARE(TSelectionFrame::PatternColor(7, 6, 0, White, Red), Red);

        auto view = ShownView({500, 400}, {400, 300}, amMoveResizeCreateSelection);
        QVERIFY(view);
        view->SetSelectionColor1(White);
        view->SetSelectionColor2(Red);
        // Left and top add up to a negative sum: the frame's top and right edges are visible.
        view->SetSelection(true);
        view->SetSelectionBounds(-13, 4, 40, 20);
        const auto expectFrame = [&] {
            const int phase = view->SelectionAnimationPhase();
            const QImage shot = Shot(*view);
            const int pattern = TSelectionFrame::PatternPhase(phase, -13, 4);
            for (int x = 0; x <= 27; ++x) {
                if (FromQColor(shot.pixelColor(x, 3)) !=
                    TSelectionFrame::PatternColor(pattern, x % 8, 3, White, Red))
                    return false;
            }
            for (int y = 3; y <= 24; ++y)
                if (FromQColor(shot.pixelColor(27, y)) !=
                    TSelectionFrame::PatternColor(pattern, 27 % 8, y % 8, White, Red))
                    return false;
            // Inside, the picture.
            return FromQColor(shot.pixelColor(10, 10)) == Gray &&
                   FromQColor(shot.pixelColor(26, 23)) == Gray;
        };
        QVERIFY(expectFrame());
        // The right handle's frame, and the picture inside it.
        const QImage shot = Shot(*view);
        QVERIFY(FromQColor(shot.pixelColor(30, 12)) != Gray);
        QCOMPARE(FromQColor(shot.pixelColor(32, 14)), Gray);

        // The stripes march.
        const int phase = view->SelectionAnimationPhase();
        QTRY_VERIFY(view->SelectionAnimationPhase() != phase);
        QVERIFY(expectFrame());
        // Without a selection the animation stops.
        view->SetSelection(false);
        const int stopped = view->SelectionAnimationPhase();
        QTest::qWait(120);
        QCOMPARE(view->SelectionAnimationPhase(), stopped);
        QCOMPARE(FromQColor(Shot(*view).pixelColor(27, 10)), Gray);
    }

    void selectionChangesRepaintOnlyTheFrame() {
        auto view = ShownView({500, 400}, {400, 300}, amNone);
        QVERIFY(view);
        view->SetSelection(true);
        view->SetSelectionBounds(100, 100, 50, 40);
        TPaintedRegion painted(view->viewport());
        QTest::qWait(20);

        // One pixel around the frame without handles, eight with them.
        painted.Painted = {};
        view->SetSelectionBounds(110, 100, 50, 40);
        QCOMPARE(painted.Painted, TSelectionFrame::FrameStrips({100, 100, 50, 40}, 1) +
                                      TSelectionFrame::FrameStrips({110, 100, 50, 40}, 1));
        view->SetActionMode(amMoveResizeCreateSelection);
        QTest::qWait(20);
        painted.Painted = {};
        view->SetSelectionBounds(110, 105, 50, 40);
        const QRegion strips = TSelectionFrame::FrameStrips({110, 100, 50, 40}, 8) +
                               TSelectionFrame::FrameStrips({110, 105, 50, 40}, 8);
        QCOMPARE(painted.Painted, strips);
        QVERIFY(Area(strips) < 400 * 300 / 20);

        // An animation step repaints the frame's own pixels alone.
        const int phase = view->SelectionAnimationPhase();
        painted.Painted = {};
        QTRY_VERIFY(view->SelectionAnimationPhase() != phase);
        QTRY_VERIFY(!painted.Painted.isEmpty());
        QVERIFY(
            (painted.Painted - TSelectionFrame::FramePixels({110, 105, 50, 40}, true)).isEmpty());
    }

    void frameStaysThroughRepaintsAndScrolling() {
        auto view = ShownView({300, 200}, {800, 600}, amMoveResizeCreateSelection);
        QVERIFY(view);
        view->SetSelectionColor1(White);
        view->SetSelectionColor2(Red);
        view->SetSelection(true);
        view->SetSelectionBounds(40, 40, 60, 30);
        const auto frameAt = [&](QPoint offset) {
            const QImage shot = Shot(*view);
            for (int x = 39; x <= 100; ++x) {
                const QColor c = shot.pixelColor(x - offset.x(), 39 - offset.y());
                if (FromQColor(c) != White && FromQColor(c) != Red)
                    return false;
            }
            return FromQColor(shot.pixelColor(60 - offset.x(), 60 - offset.y())) == Gray;
        };
        QVERIFY(frameAt({0, 0}));
        // The growing picture is repainted as a whole: the frame is drawn over it again.
        QSignalSpy painted(view.get(), &TPGImage::OnPaint);
        view->PixelGraphic()->NotifyChange(nullptr);
        QTRY_VERIFY(painted.count() > 0);
        QVERIFY(frameAt({0, 0}));
        view->horizontalScrollBar()->setValue(20);
        view->verticalScrollBar()->setValue(10);
        QVERIFY(frameAt({20, 10}));
        QTest::qWait(60);
        QVERIFY(frameAt({20, 10}));
    }
};

QTEST_MAIN(ViewMouseTest)
#include "ViewMouseTest.moc"
