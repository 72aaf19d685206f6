#pragma once

#include <QCursor>

// The view's own 32 x 32 monochrome cursors, made once for the whole program on first use.
class TViewCursors {
public:
    static const TViewCursors& Instance();

    // Over a picture that can be dragged, and while dragging it.
    QCursor OpenHand;
    QCursor GrabbingHand;
    // Where a selection can be drawn.
    QCursor SelectionCross;
    // Inside a selection that can be moved.
    QCursor MoveSelection;

private:
    TViewCursors();
};
