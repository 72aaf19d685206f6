#include "image/view/PicBox.h"

#include "image/view/PGImage.h"

#include <QContextMenuEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>

TPicBox::TPicBox(TPGImage* view) : QWidget(view->viewport()), FView(view) {
    // Mouse moves without a button are reported too, for position read-outs.
    setMouseTracking(true);
}

void TPicBox::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    emit FView->PicBoxOnPaint(&painter);
}

void TPicBox::mousePressEvent(QMouseEvent* event) {
    emit FView->PicBoxOnMouseDown(event);
}

void TPicBox::mouseMoveEvent(QMouseEvent* event) {
    emit FView->PicBoxOnMouseMove(event);
}

void TPicBox::mouseReleaseEvent(QMouseEvent* event) {
    emit FView->PicBoxOnMouseUp(event);
}

// A double click is reported, then its press follows as a mouse down of its own, so that the
// user sees the second press with its double-click type.
void TPicBox::mouseDoubleClickEvent(QMouseEvent* event) {
    emit FView->PicBoxOnDblClick(event);
    emit FView->PicBoxOnMouseDown(event);
}

void TPicBox::contextMenuEvent(QContextMenuEvent* event) {
    if (QMenu* menu = FView->PicBoxPopupMenu())
        menu->exec(event->globalPos());
    else
        event->ignore();
}
