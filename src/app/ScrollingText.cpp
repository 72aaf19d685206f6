#include "app/ScrollingText.h"

#include <QPainter>
#include <QTimer>

TScrollingText::TScrollingText(const QString& text, QWidget* parent)
    : QWidget(parent), FText(text), FTimer(new QTimer(this)) {
    FTimer->setInterval(30);
    connect(FTimer, &QTimer::timeout, this, &TScrollingText::Advance);
}

void TScrollingText::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Window));
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(rect().translated(width() - FOffset, 0), Qt::AlignLeft | Qt::AlignVCenter,
                     FText);
}

QSize TScrollingText::sizeHint() const {
    return {fontMetrics().horizontalAdvance(FText), fontMetrics().height() + 6};
}

// The banner moves only while someone can see it.
void TScrollingText::showEvent(QShowEvent*) {
    FTimer->start();
}

void TScrollingText::hideEvent(QHideEvent*) {
    FTimer->stop();
}

void TScrollingText::Advance() {
    const int travel = width() + fontMetrics().horizontalAdvance(FText);
    FOffset = (FOffset + 1) % qMax(travel, 1);
    update();
}
