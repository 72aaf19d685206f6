#pragma once

#include <QMenu>

// The popup menu of a document's picture. Back and Forward also act by their keys in the
// window the menu belongs to.
class TDocumentPopupMenu : public QMenu {
    Q_OBJECT

public:
    explicit TDocumentPopupMenu(QWidget* parent = nullptr);

    QAction* Zoom1() const { return FZoom1; }
    QAction* RectangleMode1() const { return FRectangleMode1; }
    QAction* ClearRectangle2() const { return FClearRectangle2; }
    QAction* Fit1() const { return FFit1; }
    QAction* Back1() const { return FBack1; }
    QAction* Forward1() const { return FForward1; }
    QAction* Mutate1() const { return FMutate1; }

private:
    QAction* FZoom1;
    QAction* FRectangleMode1;
    QAction* FClearRectangle2;
    QAction* FFit1;
    QAction* FBack1;
    QAction* FForward1;
    QAction* FMutate1;
};
