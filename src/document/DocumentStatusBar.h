#pragma once

#include <QStatusBar>

class QLabel;
struct TPlanePoint;

// A document's status bar with its three panels, 150, 150 and 120 pixels wide: cursor x,
// cursor y and magnification.
class TDocumentStatusBar : public QStatusBar {
    Q_OBJECT

public:
    explicit TDocumentStatusBar(QWidget* parent = nullptr);

    QLabel* Panel(int index) const { return FPanels[index]; }
    void Show(const TPlanePoint& cursor, double magnification);

private:
    QLabel* FPanels[3];
};
