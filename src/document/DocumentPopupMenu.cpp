#include "document/DocumentPopupMenu.h"

TDocumentPopupMenu::TDocumentPopupMenu(QWidget* parent) : QMenu(parent) {
    FZoom1 = addAction(tr("Zoom In (double click)"));
    FRectangleMode1 = addAction(tr("Rectangle Mode"));
    FRectangleMode1->setCheckable(true);
    addSeparator();
    FClearRectangle2 = addAction(tr("Clear Rectangle"));
    FFit1 = addAction(tr("Fit"));
    addSeparator();
    FBack1 = addAction(tr("Back"));
    FBack1->setShortcut(QKeySequence(Qt::ALT | Qt::Key_Left));
    FForward1 = addAction(tr("Forward"));
    FForward1->setShortcut(QKeySequence(Qt::ALT | Qt::Key_Right));
    addSeparator();
    FMutate1 = addAction(tr("Mutate"));
    // Every document has its own pair: the keys act in the document that has the focus.
    for (QAction* item : {FBack1, FForward1}) {
        item->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        item->setEnabled(false);
    }
}
