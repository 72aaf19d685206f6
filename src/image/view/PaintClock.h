#pragma once

#include "image/PGTypes.h"

#include <QRect>
#include <QRegion>

#include <vector>

class QPainter;

// How the progress clocks look.
struct TProgressClockStyle {
    bool FiveClocks = true;
    TColor BkColor = 0;
    TColor LineColor = 0;
};

// One 15 x 15 clock with its top left at (x, y): the short hand turns once per stage, the long
// hand once per stage's 100 percent.
void DrawProgressClock(QPainter& painter, int x, int y, int stage, int percent,
                       const TProgressClockStyle& style);

// The top left corners of the clocks for `rect`: one in the middle when it is larger than
// 20 x 20, and with `fiveClocks` one in each corner when it is at least 101 x 101.
std::vector<QPoint> ProgressClockPositions(const QRect& rect, bool fiveClocks);
// The pixels the clocks for `rect` cover.
QRegion ProgressClockRegion(const QRect& rect, bool fiveClocks);

// The clocks at ProgressClockPositions.
void DrawProgressClocks(QPainter& painter, const QRect& rect, int stage, int percent,
                        const TProgressClockStyle& style);
