#pragma once

#include "image/PGTypes.h"

#include <QColor>

// The library's colour values (red in the low byte) and Qt's colours.
inline QColor ToQColor(TColor color) {
    return QColor(GetRValue(color), GetGValue(color), GetBValue(color));
}

inline TColor FromQColor(const QColor& color) {
    return RGB(color.red(), color.green(), color.blue());
}
