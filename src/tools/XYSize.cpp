#include "tools/XYSize.h"

#include "tools/ToolWindowFont.h"

#include "app/Messages.h"
#include "engine/EngineMath.h"
#include "engine/FractalEngine.h"

#include <QDoubleSpinBox>
#include <QLabel>
#include <QLayout>
#include <QMenuBar>
#include <QPushButton>

namespace {
constexpr double FieldRange = 1e9;

QDoubleSpinBox* AddField(QWidget* parent, int left, int top) {
    auto* field = new QDoubleSpinBox(parent);
    field->setGeometry(left, top, 57, 21);
    field->setDecimals(0);
    field->setRange(-FieldRange, FieldRange);
    field->setSingleStep(10);
    field->setButtonSymbols(QAbstractSpinBox::UpDownArrows);
    return field;
}
} // namespace

TXYSize::TXYSize(QWidget* parent)
    : QMainWindow(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                              Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("XYSize"));
    setWindowTitle(tr("XYSize"));
    setCursor(Qt::PointingHandCursor);
    setFont(ToolWindowFont());

    auto* client = new QWidget(this);
    client->setFixedSize(208, 71);
    setCentralWidget(client);
    layout()->setSizeConstraint(QLayout::SetFixedSize);

    CoolBtn1 = new QPushButton(tr("Apply"), client);
    CoolBtn1->setGeometry(8, 8, 75, 25);
    connect(CoolBtn1, &QPushButton::clicked, this, &TXYSize::CoolBtn1Click);
    CoolLabel1 = new QLabel(tr("Width"), client);
    CoolLabel1->move(88, 16);
    CoolLabel2 = new QLabel(tr("Height"), client);
    CoolLabel2->move(88, 40);
    RxWidth = AddField(client, 128, 8);
    RxHeight = AddField(client, 128, 32);

    Size1 = menuBar()->addMenu(tr("Size"));
    // "120 by 80" has always given a 4:3 picture of 120 x 90.
    N120by801 = AddPreset(tr("120 by 80"), 120, 90);
    N160by1201 = AddPreset(tr("160 by 120"), 160, 120);
    N320by2402 = AddPreset(tr("320 by 240"), 320, 240);
    N400by3001 = AddPreset(tr("400 by 300"), 400, 300);
    N640by4801 = AddPreset(tr("640 by 480"), 640, 480);
    N800by6001 = AddPreset(tr("800 by 600"), 800, 600);
    N1024by7681 = AddPreset(tr("1024 by 768"), 1024, 768);
}

void TXYSize::CoolBtn1Click() {
    // The engine's hit counters hold no larger picture.
    const int maxWidth = TFractalEngine::MaxImageWidth;
    const int maxHeight = TFractalEngine::MaxImageHeight;
    Limit(RxWidth, 1, maxWidth, tr("width must be at least 1"),
          tr("width cannot be greater than %1").arg(maxWidth));
    Limit(RxHeight, 1, maxHeight, tr("height must be at least 1"),
          tr("height cannot be greater than %1").arg(maxHeight));
    emit ApplyRequested();
}

QAction* TXYSize::AddPreset(const QString& caption, int width, int height) {
    QAction* preset = Size1->addAction(caption);
    connect(preset, &QAction::triggered, this, [this, width, height] {
        RxWidth->setValue(width);
        RxHeight->setValue(height);
    });
    return preset;
}

void TXYSize::Limit(QDoubleSpinBox* field, double lowest, double highest, const QString& tooSmall,
                    const QString& tooLarge) {
    if (field->value() > highest) {
        ShowMessage(this, tooLarge);
        field->setValue(highest);
    } else if (field->value() < lowest) {
        ShowMessage(this, tooSmall);
        field->setValue(lowest);
    }
}

void TXYSize::ToggleFor(int width, int height) {
    if (isVisible()) {
        hide();
        return;
    }
    RxWidth->setValue(width);
    RxHeight->setValue(height);
    show();
}

QSize TXYSize::PictureSize() const {
    return {RoundToInt32(RxWidth->value()), RoundToInt32(RxHeight->value())};
}
