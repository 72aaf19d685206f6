#pragma once

#include "image/PGTypes.h"

#include <QBrush>
#include <QObject>
#include <QRect>
#include <QRegion>

#include <array>

class QPainter;
class QTimer;
class TPGImage;

// The animated frame of a view's selection: a one-pixel ring just outside the selection, drawn
// with diagonal stripes of the two selection colours that march every 50 ms, and the eight
// handle squares framed with the same stripes while the selection can be resized. All
// rectangles are in paint-box pixels.
class TSelectionFrame : public QObject {
    Q_OBJECT

public:
    static constexpr int HandleCount = 8;
    // Top-left, top, top-right, left, right, bottom-left, bottom, bottom-right: the order in
    // which a press looks for a handle.
    static std::array<QRect, HandleCount> HandleRects(const QRect& selection);
    // The stripe pattern (0..7) for the animation phase and a selection at (left, top).
    static int PatternPhase(int animationPhase, int left, int top);
    // The colour of pattern `phase` at (x mod 8, y mod 8).
    static TColor PatternColor(int phase, int x, int y, TColor color1, TColor color2);
    // The pixels the frame paints.
    static QRegion FramePixels(const QRect& selection, bool handles);
    // Four strips of the given thickness around the selection: all the frame can cover.
    static QRegion FrameStrips(const QRect& selection, int thickness);

    explicit TSelectionFrame(TPGImage& view);

    int AnimationPhase() const { return FAnimationPhase; }
    // The animation runs while the view has a selection.
    void SetAnimating(bool animating);
    // Forgets the brushes, which are made from the selection colours.
    void ColorsChanged();
    // Draws the view's selection on the paint box.
    void Paint(QPainter& painter);

private:
    bool Handles() const;
    void Advance();
    const QBrush& Brush(int phase);

    TPGImage& FView;
    QTimer* FTimer = nullptr;
    int FAnimationPhase = 0;
    std::array<QBrush, 8> FBrushes;
    bool FBrushesMade = false;
};
