#include "image/view/PaintClock.h"

#include "image/view/QtColor.h"

#include <QPainter>

#include <cmath>
#include <numbers>

namespace {

int Round(double value) {
    return static_cast<int>(std::nearbyint(value));
}

void DrawHand(QPainter& painter, int cx, int cy, double angle, int length) {
    painter.drawLine(cx, cy, cx + Round(std::sin(angle) * length),
                     cy - Round(std::cos(angle) * length));
}

} // namespace

void DrawProgressClock(QPainter& painter, int x, int y, int stage, int percent,
                       const TProgressClockStyle& style) {
    constexpr double pi = std::numbers::pi;
    painter.setPen(ToQColor(style.LineColor));
    painter.setBrush(ToQColor(style.BkColor));
    // A one-pixel pen on a rectangle of 14 covers 15 pixels.
    painter.drawEllipse(QRect(x, y, 14, 14));
    const double minutes = percent * pi * 0.02;
    DrawHand(painter, x + 7, y + 7, ((stage - 1) * 2 * pi + minutes) / 12, 6);
    DrawHand(painter, x + 7, y + 7, minutes, 7);
}

void DrawProgressClocks(QPainter& painter, const QRect& rect, int stage, int percent,
                        const TProgressClockStyle& style) {
    if (rect.width() > 20 && rect.height() > 20)
        DrawProgressClock(painter, rect.left() + rect.width() / 2 - 7,
                          rect.top() + rect.height() / 2 - 7, stage, percent, style);
    if (!style.FiveClocks || rect.width() < 101 || rect.height() < 101)
        return;
    const int right = rect.left() + rect.width();
    const int bottom = rect.top() + rect.height();
    DrawProgressClock(painter, rect.left() + 5, rect.top() + 5, stage, percent, style);
    DrawProgressClock(painter, right - 20, rect.top() + 5, stage, percent, style);
    DrawProgressClock(painter, rect.left() + 5, bottom - 20, stage, percent, style);
    DrawProgressClock(painter, right - 20, bottom - 20, stage, percent, style);
}
