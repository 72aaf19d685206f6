#include "document/DocumentStatusBar.h"

#include "document/FractalDocument.h"

#include <QHBoxLayout>
#include <QLabel>

TDocumentStatusBar::TDocumentStatusBar(QWidget* parent) : QStatusBar(parent) {
    setSizeGripEnabled(false);
    // The panels keep their widths, so the readouts keep their decimals; in a window narrower
    // than the three, the status bar cuts them off instead, as the window must follow the
    // picture's size.
    auto* panels = new QWidget(this);
    panels->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    auto* row = new QHBoxLayout(panels);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    const int widths[] = {150, 150, 120};
    for (int i = 0; i < 3; ++i) {
        FPanels[i] = new QLabel(panels);
        FPanels[i]->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        FPanels[i]->setFixedWidth(widths[i]);
        row->addWidget(FPanels[i]);
    }
    row->addStretch();
    addWidget(panels, 1);
}

void TDocumentStatusBar::Show(const TPlanePoint& cursor, double magnification) {
    FPanels[0]->setText(QString::asprintf("cx=%1.12f", cursor.X));
    FPanels[1]->setText(QString::asprintf("cy=%1.12f", cursor.Y));
    FPanels[2]->setText(QString::asprintf("M=%1.12f", magnification));
}
