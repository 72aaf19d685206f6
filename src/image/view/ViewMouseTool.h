#pragma once

#include <QObject>
#include <QPoint>

#include <cstdint>

class QCursor;
class QMouseEvent;
class QTimer;
class TPGImage;

// What a left-button drag on the paint box is doing.
enum TDragState : std::uint8_t {
    dsNone,
    dsPicture,
    dsMoveSelection,
    dsCreateSelection,
    dsHandleTopLeft,
    dsHandleTop,
    dsHandleTopRight,
    dsHandleLeft,
    dsHandleRight,
    dsHandleBottomLeft,
    dsHandleBottom,
    dsHandleBottomRight
};

// The view's mouse on its paint box: dragging a scrollable picture, creating, moving and
// resizing the selection by its eight handles, scrolling while a selection drag leaves the
// client area, and the cursor that tells which of these a press would start. Positions are
// paint-box pixels; the selection is kept in picture pixels.
class TViewMouseTool : public QObject {
    Q_OBJECT

public:
    explicit TViewMouseTool(TPGImage& view);

    TDragState DragState() const { return FDragState; }

    void MouseDown(QMouseEvent* event);
    void MouseMove(QMouseEvent* event);
    void MouseUp(QMouseEvent* event);
    // The cursor for a paint-box point after the view's rules, before the user's handler.
    QCursor CursorAt(QPoint point) const;

private:
    bool Scrollable() const;
    bool SelectionMovable() const;
    // The handle under the point, 0..7 in the order of TSelectionFrame::HandleRects, or -1.
    int HandleAt(QPoint point) const;
    void Drag(QPoint point);
    void Span(QPoint point);
    void AutoScroll();
    void UpdateCursor(QPoint point);

    TPGImage& FView;
    TDragState FDragState = dsNone;
    // In paint-box pixels.
    QPoint FStart;
    // In picture pixels.
    QPoint FGrab;
    QPoint FAnchor;
    // Where the pointer was last seen during a drag, in global coordinates.
    QPoint FPointer;
    QTimer* FAutoScrollTimer = nullptr;
};
