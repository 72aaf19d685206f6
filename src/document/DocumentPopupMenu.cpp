#include "document/DocumentPopupMenu.h"

TDocumentPopupMenu::TDocumentPopupMenu(QWidget* parent) : QMenu(parent) {
    FZoom1 = addAction(tr("Zoom In (double click)"));
    FRectangleMode1 = addAction(tr("Rectangle Mode"));
    FRectangleMode1->setCheckable(true);
    addSeparator();
    FClearRectangle2 = addAction(tr("Clear Rectangle"));
}
