#include "tools/Form4.h"

#include "tools/ToolWindowFont.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLinearGradient>
#include <QSlider>
#include <QTimer>
#include <QWindow>

TForm4::TForm4(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint |
                          Qt::WindowTitleHint | Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("Form4"));
    setWindowTitle(tr("Parameters"));
    setFixedSize(252, 463);
    setFont(ToolWindowFont());
    move(591, 175);

    QLinearGradient silver(0, 0, 0, 463);
    silver.setColorAt(0, QColor(240, 240, 240));
    silver.setColorAt(1, QColor(160, 160, 160));
    QPalette background = palette();
    background.setBrush(QPalette::Window, silver);
    setPalette(background);
    setAutoFillBackground(true);

    square_root = AddCheckBox(this, tr("Cube Root Filtering"), 8, 8, 121);
    Invert = AddCheckBox(this, tr("White"), 144, 8, 57);
    Intensity = AddTrackBar(Qt::Vertical, 64, Qt::lightGray, 216, 8);
    RedBar1 = AddTrackBar(Qt::Horizontal, 10, Qt::red, 8, 32);
    GrnBar1 = AddTrackBar(Qt::Horizontal, 10, Qt::green, 8, 56);
    BluBar1 = AddTrackBar(Qt::Horizontal, 10, Qt::blue, 8, 80);
    RedLabel1 = AddLabel(QString(), 128, 40, 80);
    GrnLabel1 = AddLabel(QString(), 128, 64, 80);
    BluLabel1 = AddLabel(QString(), 128, 88, 80);
    // The two factor labels end where the vertical bars begin.
    Factor1 = AddLabel(tr("Intensity"), 184, 56, 32);
    Factor2 = AddLabel(tr("Probability"), 184, 408, 32);

    CoolGroupBox1 = AddGroupBox(tr("Lattoocarfian"), 120);
    // This box sits over the group box, not inside it, where the box's title would be.
    Latoocarfian01 = AddCheckBox(this, tr("Latoocarfian 01"), 16, 136, 105);
    L_Rotation01 = AddCheckBox(CoolGroupBox1, tr("L_Rotation01"), 120, 16, 97);
    Latoocarfian02 = AddCheckBox(CoolGroupBox1, tr("Latoocarfian 02"), 8, 40, 105);
    L_Rotation02 = AddCheckBox(CoolGroupBox1, tr("L_Rotation02"), 120, 40, 97);

    CoolGroupBox2 = AddGroupBox(tr("Iterated Function System"), 192);
    IFS_01 = AddCheckBox(CoolGroupBox2, tr("IFS 01"), 8, 16, 73);
    IFS_Rotation01 = AddCheckBox(CoolGroupBox2, tr("IFS_Rotation01"), 120, 16, 105);
    IFS_02 = AddCheckBox(CoolGroupBox2, tr("IFS 02"), 8, 40, 73);
    IFS_Rotation02 = AddCheckBox(CoolGroupBox2, tr("IFS_Rotation02"), 120, 40, 105);

    CoolGroupBox3 = AddGroupBox(tr("Chaotic Iterated Functions"), 264);
    AT_01 = AddCheckBox(CoolGroupBox3, tr("CIF 01"), 8, 16, 73);
    AT_Rotation01 = AddCheckBox(CoolGroupBox3, tr("AT_Rotation01"), 120, 16, 105);
    AT_02 = AddCheckBox(CoolGroupBox3, tr("CIF 02"), 8, 40, 89);
    AT_Rotation02 = AddCheckBox(CoolGroupBox3, tr("AT_Rotation02"), 120, 40, 105);

    Linear = AddCheckBox(this, tr("Rotational"), 16, 344, 97);
    Sinusoidal = AddCheckBox(this, tr("Sinusoidal"), 128, 344, 89);
    Spherical = AddCheckBox(this, tr("Spherical"), 16, 368, 89);
    Swirl = AddCheckBox(this, tr("Swirl"), 128, 368, 73);
    Horseshoe = AddCheckBox(this, tr("Horseshoe"), 16, 392, 97);
    Polar = AddCheckBox(this, tr("Polar"), 128, 392, 57);
    Bent = AddCheckBox(this, tr("Bent"), 16, 416, 73);
    Probability = AddTrackBar(Qt::Vertical, 50, Qt::lightGray, 216, 336);

    QWidget* const tabOrder[] = {
        RedBar1,       GrnBar1,   BluBar1,        Latoocarfian01, L_Rotation01,   Latoocarfian02,
        L_Rotation02,  IFS_01,    IFS_Rotation01, IFS_02,         IFS_Rotation02, AT_01,
        AT_Rotation01, AT_02,     AT_Rotation02,  Intensity,      square_root,    Linear,
        Sinusoidal,    Spherical, Swirl,          Horseshoe,      Polar,          Bent,
        Probability,   Invert};
    for (std::size_t i = 1; i < std::size(tabOrder); ++i)
        setTabOrder(tabOrder[i - 1], tabOrder[i]);

    ColorTimer = new QTimer(this);
    ColorTimer->setInterval(250);
    connect(ColorTimer, &QTimer::timeout, this, &TForm4::ColorTimerTimer);
}

void TForm4::ColorTimerTimer() {
    if (ChangeCount == 0) {
        ChangeCount = 1;
        return;
    }
    ColorTimer->stop();
    emit UpdateColorsRequested();
    ChangeCount = 0;
}

void TForm4::ControlChanged() {
    ChangeCount = 0;
    ColorTimer->start();
}

QCheckBox* TForm4::AddCheckBox(QWidget* parent, const QString& caption, int left, int top,
                               int width) {
    auto* box = new QCheckBox(caption, parent);
    box->setGeometry(left, top, width, 17);
    // Only the user's clicks count as changes; the document's loading of a box is silent.
    connect(box, &QCheckBox::clicked, this, &TForm4::ControlChanged);
    return box;
}

QSlider* TForm4::AddTrackBar(Qt::Orientation orientation, int maximum, const QColor& colour,
                             int left, int top) {
    auto* bar = new QSlider(orientation, this);
    bar->setRange(0, maximum);
    bar->setSingleStep(1);
    bar->setPageStep(1);
    bar->setTickPosition(QSlider::TicksBelow);
    if (orientation == Qt::Vertical)
        bar->setGeometry(left, top, 25, 113);
    else
        bar->setGeometry(left, top, 113, 25);
    QPalette tinted = bar->palette();
    tinted.setColor(QPalette::Highlight, colour);
    tinted.setColor(QPalette::Button, colour);
    bar->setPalette(tinted);
    // Any change of position counts, also one made by the document: it re-arms the timer.
    connect(bar, &QSlider::valueChanged, this, &TForm4::ControlChanged);
    return bar;
}

QLabel* TForm4::AddLabel(const QString& caption, int left, int top, int width) {
    auto* label = new QLabel(caption, this);
    label->setGeometry(left, top, width, 17);
    return label;
}

QGroupBox* TForm4::AddGroupBox(const QString& caption, int top) {
    auto* box = new QGroupBox(caption, this);
    box->setGeometry(8, top, 233, 65);
    return box;
}

// A window that stays on top would cover the modal windows the user must answer (Save As, the
// file options, message boxes): it stays on top only while none of them is open.
bool TForm4::event(QEvent* event) {
    if (event->type() == QEvent::WindowBlocked || event->type() == QEvent::WindowUnblocked) {
        if (QWindow* window = windowHandle())
            window->setFlag(Qt::WindowStaysOnTopHint, event->type() == QEvent::WindowUnblocked);
    }
    return QWidget::event(event);
}
