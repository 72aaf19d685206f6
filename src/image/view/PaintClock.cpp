#include "image/view/PaintClock.h"

#include "image/view/QtColor.h"

#include <QPainter>

#include <cmath>
#include <numbers>

namespace {

constexpr int ClockSize = 15;

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
    painter.drawEllipse(QRect(x, y, ClockSize - 1, ClockSize - 1));
    const double minutes = percent * pi * 0.02;
    DrawHand(painter, x + 7, y + 7, ((stage - 1) * 2 * pi + minutes) / 12, 6);
    DrawHand(painter, x + 7, y + 7, minutes, 7);
}

std::vector<QPoint> ProgressClockPositions(const QRect& rect, bool fiveClocks) {
    std::vector<QPoint> positions;
    if (rect.width() > 20 && rect.height() > 20)
        positions.emplace_back(rect.left() + rect.width() / 2 - 7,
                               rect.top() + rect.height() / 2 - 7);
    if (!fiveClocks || rect.width() < 101 || rect.height() < 101)
        return positions;
    const int right = rect.left() + rect.width();
    const int bottom = rect.top() + rect.height();
    positions.emplace_back(rect.left() + 5, rect.top() + 5);
    positions.emplace_back(right - 20, rect.top() + 5);
    positions.emplace_back(rect.left() + 5, bottom - 20);
    positions.emplace_back(right - 20, bottom - 20);
    return positions;
}

QRegion ProgressClockRegion(const QRect& rect, bool fiveClocks) {
    QRegion region;
    for (const QPoint& position : ProgressClockPositions(rect, fiveClocks))
        region += QRect(position, QSize(ClockSize, ClockSize));
    return region;
}

void DrawProgressClocks(QPainter& painter, const QRect& rect, int stage, int percent,
                        const TProgressClockStyle& style) {
    for (const QPoint& position : ProgressClockPositions(rect, style.FiveClocks))
        DrawProgressClock(painter, position.x(), position.y(), stage, percent, style);
}
