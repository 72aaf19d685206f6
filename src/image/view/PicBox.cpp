#include "image/view/PicBox.h"

#include "image/view/PGImage.h"
#include "image/view/SelectionFrame.h"
#include "image/view/ViewMouseTool.h"

#include <QContextMenuEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>

TPicBox::TPicBox(TPGImage* view) : QWidget(view->viewport()), FView(view) {
    // Mouse moves without a button are reported too, for position read-outs.
    setMouseTracking(true);
}

// The view has painted the picture underneath; the selection frame goes over it.
void TPicBox::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    FView->FSelectionFrame->Paint(painter);
    emit FView->PicBoxOnPaint(&painter);
}

void TPicBox::mousePressEvent(QMouseEvent* event) {
    FView->FMouseTool->MouseDown(event);
    emit FView->PicBoxOnMouseDown(event);
}

void TPicBox::mouseMoveEvent(QMouseEvent* event) {
    FView->FMouseTool->MouseMove(event);
    emit FView->PicBoxOnMouseMove(event);
}

// The user's handler sees the finished drag before the view announces the selection.
void TPicBox::mouseReleaseEvent(QMouseEvent* event) {
    emit FView->PicBoxOnMouseUp(event);
    FView->FMouseTool->MouseUp(event);
}

// A double click is reported, then its press follows as a mouse down of its own, so that the
// user sees the second press with its double-click type.
void TPicBox::mouseDoubleClickEvent(QMouseEvent* event) {
    emit FView->PicBoxOnDblClick(event);
    FView->FMouseTool->MouseDown(event);
    emit FView->PicBoxOnMouseDown(event);
}

void TPicBox::contextMenuEvent(QContextMenuEvent* event) {
    if (QMenu* menu = FView->PicBoxPopupMenu())
        menu->exec(event->globalPos());
    else
        event->ignore();
}
