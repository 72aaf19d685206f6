#pragma once

#include <QWidget>

class QCheckBox;
class QGroupBox;
class QLabel;
class QSlider;
class QTimer;
struct TFractalParams;

// The Parameters window: every setting of the engine that the user can change. It keeps no
// settings of its own; the active document copies its controls in and out, and a change is
// handed on only once the user has left the controls alone for a moment.
class TForm4 : public QWidget {
    Q_OBJECT

public:
    explicit TForm4(QWidget* parent = nullptr);

    // The controls are the window's interface: the document loads and reads them directly.
    QCheckBox* square_root;
    QCheckBox* Invert;
    QSlider* Intensity;
    QSlider* RedBar1;
    QSlider* GrnBar1;
    QSlider* BluBar1;
    QLabel* RedLabel1;
    QLabel* GrnLabel1;
    QLabel* BluLabel1;
    QLabel* Factor1;
    QLabel* Factor2;
    QGroupBox* CoolGroupBox1;
    QCheckBox* Latoocarfian01;
    QCheckBox* L_Rotation01;
    QCheckBox* Latoocarfian02;
    QCheckBox* L_Rotation02;
    QGroupBox* CoolGroupBox2;
    QCheckBox* IFS_01;
    QCheckBox* IFS_Rotation01;
    QCheckBox* IFS_02;
    QCheckBox* IFS_Rotation02;
    QGroupBox* CoolGroupBox3;
    QCheckBox* AT_01;
    QCheckBox* AT_Rotation01;
    QCheckBox* AT_02;
    QCheckBox* AT_Rotation02;
    QCheckBox* Linear;
    QCheckBox* Sinusoidal;
    QCheckBox* Spherical;
    QCheckBox* Swirl;
    QCheckBox* Horseshoe;
    QCheckBox* Polar;
    QCheckBox* Bent;
    QSlider* Probability;
    QTimer* ColorTimer;

    int ChangeCount = 0;

    void ColorTimerTimer();

    // Every control from the block's settings, each label showing its factor.
    void LoadSettings(const TFractalParams& params);
    // Every setting from the controls; the labels then show the factors stored.
    void StoreSettings(TFractalParams& params);
    // Hides the window when it is visible; otherwise shows it with the block's settings.
    void ToggleFor(const TFractalParams& params);

signals:
    // The settings have rested for one full timer period; the frame applies them.
    void UpdateColorsRequested();

protected:
    bool event(QEvent* event) override;

private:
    void ControlChanged();
    QCheckBox* AddCheckBox(QWidget* parent, const QString& caption, int left, int top, int width);
    QSlider* AddTrackBar(Qt::Orientation orientation, int maximum, const QColor& colour, int left,
                         int top);
    QLabel* AddLabel(const QString& caption, int left, int top, int width);
    QGroupBox* AddGroupBox(const QString& caption, int top);
};
