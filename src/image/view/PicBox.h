#pragma once

#include <QWidget>

class TPGImage;

// The rectangle of a TPGImage in which the picture is shown. The view paints the picture
// itself; the paint box draws the selection frame over it and hands its mouse events to the
// view's mouse tool and to the view's user events, so that positions arrive in paint-box
// coordinates.
class TPicBox : public QWidget {
    Q_OBJECT

public:
    explicit TPicBox(TPGImage* view);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    TPGImage* FView;
};
