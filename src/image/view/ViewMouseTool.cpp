#include "image/view/ViewMouseTool.h"

#include "image/view/PGImage.h"
#include "image/view/PicBox.h"
#include "image/view/SelectionFrame.h"
#include "image/view/ViewCursors.h"

#include <QMouseEvent>
#include <QScrollBar>
#include <QTimer>

#include <algorithm>
#include <cstdlib>

namespace {

constexpr int AutoScrollInterval = 50;
constexpr int AutoScrollStep = 5;

// Left and top edges belong to a rectangle, right and bottom edges do not.
bool Inside(const QRect& rect, QPoint point) {
    return rect.left() <= point.x() && point.x() < rect.left() + rect.width() &&
           rect.top() <= point.y() && point.y() < rect.top() + rect.height();
}

// Handle indices as in TSelectionFrame::HandleRects.
bool LeftHandle(int handle) {
    return handle == 0 || handle == 3 || handle == 5;
}
bool TopHandle(int handle) {
    return handle <= 2;
}
bool RightHandle(int handle) {
    return handle == 2 || handle == 4 || handle == 7;
}
bool BottomHandle(int handle) {
    return handle >= 5;
}

Qt::CursorShape SizingCursor(int handle) {
    switch (handle) {
    case 1:
    case 6:
        return Qt::SizeVerCursor;
    case 3:
    case 4:
        return Qt::SizeHorCursor;
    case 0:
    case 7:
        return Qt::SizeFDiagCursor;
    default:
        return Qt::SizeBDiagCursor;
    }
}

} // namespace

TViewMouseTool::TViewMouseTool(TPGImage& view) : QObject(&view), FView(view) {}

bool TViewMouseTool::Scrollable() const {
    const QWidget* box = FView.PicBox();
    const QWidget* client = FView.viewport();
    return (box->width() > client->width() && FView.horizontalScrollBar()->isVisible()) ||
           (box->height() > client->height() && FView.verticalScrollBar()->isVisible());
}

bool TViewMouseTool::SelectionMovable() const {
    const TActionMode mode = FView.ActionMode();
    return mode == amMoveResizeCreateSelection || mode == amMoveSelection ||
           mode == amMoveSelectionMoveImage;
}

int TViewMouseTool::HandleAt(QPoint point) const {
    if (FView.ActionMode() != amMoveResizeCreateSelection || !FView.Selection())
        return -1;
    const auto handles = TSelectionFrame::HandleRects(FView.SelectionBoxRect());
    const auto hit = std::find_if(handles.begin(), handles.end(),
                                  [point](const QRect& handle) { return Inside(handle, point); });
    return hit == handles.end() ? -1 : static_cast<int>(hit - handles.begin());
}

void TViewMouseTool::MouseDown(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    const QPoint point = event->position().toPoint();
    const QPoint pixel(FView.BoxToImageX(point.x()), FView.BoxToImageY(point.y()));
    const TActionMode mode = FView.ActionMode();
    const QPoint origin(FView.SelectionLeft(), FView.SelectionTop());
    const QPoint size(FView.SelectionWidth(), FView.SelectionHeight());
    FPointer = event->globalPosition().toPoint();
    if (SelectionMovable() && FView.Selection() && Inside(FView.SelectionBoxRect(), point)) {
        FDragState = dsMoveSelection;
        FStart = point;
        FGrab = pixel - origin;
    } else if ((mode == amMoveImage || mode == amMoveSelectionMoveImage) && Scrollable()) {
        FDragState = dsPicture;
        FStart = point;
    } else if (const int handle = HandleAt(point); handle >= 0) {
        FDragState = static_cast<TDragState>(dsHandleTopLeft + handle);
        FGrab.setX(LeftHandle(handle)    ? pixel.x() - origin.x()
                   : RightHandle(handle) ? pixel.x() - size.x()
                                         : 0);
        FGrab.setY(TopHandle(handle)      ? pixel.y() - origin.y()
                   : BottomHandle(handle) ? pixel.y() - size.y()
                                          : 0);
    } else if (mode == amMoveResizeCreateSelection || mode == amCreateSelection) {
        FDragState = dsCreateSelection;
        FView.SetSelection(true);
        FAnchor = pixel;
        Span(pixel);
    }
    // While the button is held Qt sends every mouse event to the paint box, wherever the
    // pointer goes: the capture a drag needs.
    if (FDragState >= dsMoveSelection && !FAutoScrollTimer) {
        FAutoScrollTimer = new QTimer(this);
        FAutoScrollTimer->setInterval(AutoScrollInterval);
        connect(FAutoScrollTimer, &QTimer::timeout, this, &TViewMouseTool::AutoScroll);
        FAutoScrollTimer->start();
    }
    UpdateCursor(point);
}

void TViewMouseTool::MouseMove(QMouseEvent* event) {
    const QPoint point = event->position().toPoint();
    const QPoint pixel(FView.BoxToImageX(point.x()), FView.BoxToImageY(point.y()));
    FPointer = event->globalPosition().toPoint();
    const int left = FView.SelectionLeft();
    const int top = FView.SelectionTop();
    const int width = FView.SelectionWidth();
    const int height = FView.SelectionHeight();
    switch (FDragState) {
    case dsNone:
        break;
    case dsPicture:
        Drag(point);
        break;
    case dsMoveSelection:
        // At least one selected pixel stays on the picture.
        FView.SetSelectionBounds(
            std::min(std::max(pixel.x() - FGrab.x(), 1 - width), FView.PictureWidth() - 1),
            std::min(std::max(pixel.y() - FGrab.y(), 1 - height), FView.PictureHeight() - 1), width,
            height);
        break;
    case dsCreateSelection:
        Span(pixel);
        break;
    default: {
        const int handle = FDragState - dsHandleTopLeft;
        int newLeft = left;
        int newTop = top;
        int newWidth = width;
        int newHeight = height;
        // The opposite edge stays; a selection keeps at least one column and row.
        if (LeftHandle(handle)) {
            newLeft = std::min(pixel.x() - FGrab.x(), left + width - 1);
            newWidth = left + width - newLeft;
        }
        if (TopHandle(handle)) {
            newTop = std::min(pixel.y() - FGrab.y(), top + height - 1);
            newHeight = top + height - newTop;
        }
        if (RightHandle(handle))
            newWidth = std::max(pixel.x() - FGrab.x(), 1);
        if (BottomHandle(handle))
            newHeight = std::max(pixel.y() - FGrab.y(), 1);
        FView.SetSelectionBounds(newLeft, newTop, newWidth, newHeight);
    }
    }
    UpdateCursor(point);
}

void TViewMouseTool::MouseUp(QMouseEvent* event) {
    if (FDragState > dsPicture) {
        FView.SetSelection(true);
        emit FView.OnSelectionMade();
    }
    delete FAutoScrollTimer;
    FAutoScrollTimer = nullptr;
    FDragState = dsNone;
    UpdateCursor(event->position().toPoint());
}

// The picture follows the pointer; where a scroll bar stops, the pointer's grip slides.
void TViewMouseTool::Drag(QPoint point) {
    QScrollBar* horizontal = FView.horizontalScrollBar();
    QScrollBar* vertical = FView.verticalScrollBar();
    const QPoint before(horizontal->value(), vertical->value());
    horizontal->setValue(before.x() + FStart.x() - point.x());
    vertical->setValue(before.y() + FStart.y() - point.y());
    FStart = point + QPoint(horizontal->value(), vertical->value()) - before;
}

void TViewMouseTool::Span(QPoint point) {
    FView.SetSelectionBounds(std::min(FAnchor.x(), point.x()), std::min(FAnchor.y(), point.y()),
                             std::abs(FAnchor.x() - point.x()) + 1,
                             std::abs(FAnchor.y() - point.y()) + 1);
}

void TViewMouseTool::AutoScroll() {
    const QWidget* client = FView.viewport();
    const QPoint pointer = client->mapFromGlobal(FPointer);
    const auto scroll = [](QScrollBar* bar, int position, int extent) {
        if (position < 0)
            bar->setValue(std::max(bar->value() - AutoScrollStep, 0));
        else if (position >= extent && bar->value() < bar->maximum())
            bar->setValue(bar->value() + AutoScrollStep);
    };
    scroll(FView.horizontalScrollBar(), pointer.x(), client->width());
    scroll(FView.verticalScrollBar(), pointer.y(), client->height());
}

QCursor TViewMouseTool::CursorAt(QPoint point) const {
    const TViewCursors& cursors = TViewCursors::Instance();
    const TActionMode mode = FView.ActionMode();
    // Later rules win.
    QCursor cursor = FView.PicBoxCursor();
    if ((mode == amMoveImage || mode == amMoveSelectionMoveImage) && Scrollable())
        cursor = FDragState == dsPicture ? cursors.GrabbingHand : cursors.OpenHand;
    if (mode == amMoveResizeCreateSelection || mode == amCreateSelection)
        cursor = cursors.SelectionCross;
    if (SelectionMovable() && FView.Selection() && Inside(FView.SelectionBoxRect(), point))
        cursor = cursors.MoveSelection;
    if (const int handle = HandleAt(point); handle >= 0)
        cursor = SizingCursor(handle);
    return cursor;
}

void TViewMouseTool::UpdateCursor(QPoint point) {
    QCursor cursor = CursorAt(point);
    emit FView.PicBoxOnSetCursor(cursor);
    if (FView.PicBox()->cursor() != cursor)
        FView.PicBox()->setCursor(cursor);
}
