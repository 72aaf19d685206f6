#pragma once

#include "image/PGTypes.h"

#include <QRect>

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

// A clock in the middle of `rect` when it is larger than 20 x 20, and with FiveClocks one in
// each corner when it is at least 101 x 101.
void DrawProgressClocks(QPainter& painter, const QRect& rect, int stage, int percent,
                        const TProgressClockStyle& style);
