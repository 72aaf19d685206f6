#pragma once

#include <QMenu>

// The popup menu of a document's picture.
class TDocumentPopupMenu : public QMenu {
    Q_OBJECT

public:
    explicit TDocumentPopupMenu(QWidget* parent = nullptr);

    QAction* Zoom1() const { return FZoom1; }
    QAction* RectangleMode1() const { return FRectangleMode1; }
    QAction* ClearRectangle2() const { return FClearRectangle2; }

private:
    QAction* FZoom1;
    QAction* FRectangleMode1;
    QAction* FClearRectangle2;
};
