#pragma once

#include <QMainWindow>

class QAction;
class QDoubleSpinBox;
class QLabel;
class QMenu;
class QPushButton;

// The image-size window: two numeric fields, a menu of preset sizes and an Apply button that
// hands the fields to the active document. Sizes beyond what the engine can hold are clamped.
class TXYSize : public QMainWindow {
    Q_OBJECT

public:
    explicit TXYSize(QWidget* parent = nullptr);

    QPushButton* CoolBtn1;
    QLabel* CoolLabel1;
    QLabel* CoolLabel2;
    QDoubleSpinBox* RxWidth;
    QDoubleSpinBox* RxHeight;
    QMenu* Size1;
    QAction* N120by801;
    QAction* N160by1201;
    QAction* N320by2402;
    QAction* N400by3001;
    QAction* N640by4801;
    QAction* N800by6001;
    QAction* N1024by7681;

    void CoolBtn1Click();
    // Hides the window when it is visible; otherwise shows it with the given size.
    void ToggleFor(int width, int height);
    // The fields' size in whole pixels.
    QSize PictureSize() const;

signals:
    // Apply: the frame passes the fields on to the active document.
    void ApplyRequested();

private:
    QAction* AddPreset(const QString& caption, int width, int height);
    void Limit(QDoubleSpinBox* field, double lowest, double highest, const QString& tooSmall,
               const QString& tooLarge);
};
