#pragma once

#include <QFont>

// The tool windows' fixed layouts leave room for captions in a narrow 11-pixel font. A
// condensed sans keeps every caption inside its control; where the system lacks it, font
// matching picks the nearest sans.
inline QFont ToolWindowFont() {
    QFont font(QStringLiteral("DejaVu Sans Condensed"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(11);
    return font;
}
