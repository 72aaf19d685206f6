#include "image/view/SelectionFrame.h"

#include "image/view/PGImage.h"
#include "image/view/PicBox.h"
#include "image/view/QtColor.h"

#include <QImage>
#include <QPainter>
#include <QTimer>

namespace {

constexpr int PatternSize = 8;
constexpr int AnimationInterval = 50;

// The four one-pixel edges of a rectangle.
std::array<QRect, 4> Edges(const QRect& rect) {
    return {QRect(rect.left(), rect.top(), rect.width(), 1),
            QRect(rect.left(), rect.bottom(), rect.width(), 1),
            QRect(rect.left(), rect.top(), 1, rect.height()),
            QRect(rect.right(), rect.top(), 1, rect.height())};
}

} // namespace

std::array<QRect, TSelectionFrame::HandleCount>
TSelectionFrame::HandleRects(const QRect& selection) {
    const int left = selection.left();
    const int top = selection.top();
    const int right = selection.left() + selection.width();
    const int bottom = selection.top() + selection.height();
    const int middleX = (left + right) / 2;
    const int middleY = (top + bottom) / 2;
    const auto square = [](int x, int y) { return QRect(x, y, 5, 5); };
    return {square(left - 8, top - 8),       square(middleX - 2, top - 8),
            square(right + 3, top - 8),      square(left - 8, middleY - 2),
            square(right + 3, middleY - 2),  square(left - 8, bottom + 3),
            square(middleX - 2, bottom + 3), square(right + 3, bottom + 3)};
}

int TSelectionFrame::PatternPhase(int animationPhase, int left, int top) {
    const int phase = (animationPhase + left + top) % PatternSize;
    return phase < 0 ? phase + PatternSize : phase;
}

TColor TSelectionFrame::PatternColor(int phase, int x, int y, TColor color1, TColor color2) {
    return (x + y - phase + PatternSize) % PatternSize > 3 ? color2 : color1;
}

QRegion TSelectionFrame::FramePixels(const QRect& selection, bool handles) {
    QRegion pixels;
    for (const QRect& edge : Edges(selection.adjusted(-1, -1, 1, 1)))
        pixels += edge;
    if (handles)
        for (const QRect& handle : HandleRects(selection))
            for (const QRect& edge : Edges(handle))
                pixels += edge;
    return pixels;
}

QRegion TSelectionFrame::FrameStrips(const QRect& selection, int thickness) {
    const int left = selection.left();
    const int top = selection.top();
    const int right = selection.left() + selection.width();
    const int bottom = selection.top() + selection.height();
    QRegion strips(
        QRect(QPoint(left - thickness, top - thickness), QPoint(right + thickness - 1, top - 1)));
    strips += QRect(QPoint(left - thickness, bottom),
                    QPoint(right + thickness - 1, bottom + thickness - 1));
    strips += QRect(QPoint(left - thickness, top), QPoint(left - 1, bottom - 1));
    strips += QRect(QPoint(right, top), QPoint(right + thickness - 1, bottom - 1));
    return strips;
}

TSelectionFrame::TSelectionFrame(TPGImage& view) : QObject(&view), FView(view) {}

bool TSelectionFrame::Handles() const {
    return FView.ActionMode() == amMoveResizeCreateSelection;
}

void TSelectionFrame::SetAnimating(bool animating) {
    if (animating && !FTimer) {
        FTimer = new QTimer(this);
        FTimer->setInterval(AnimationInterval);
        connect(FTimer, &QTimer::timeout, this, &TSelectionFrame::Advance);
        FTimer->start();
    } else if (!animating && FTimer) {
        delete FTimer;
        FTimer = nullptr;
    }
}

void TSelectionFrame::ColorsChanged() {
    FBrushesMade = false;
}

// Only the frame's own pixels are repainted; the picture under them is drawn again for those
// pixels alone.
void TSelectionFrame::Advance() {
    FAnimationPhase = (FAnimationPhase + 1) % PatternSize;
    FView.PicBox()->update(FramePixels(FView.SelectionBoxRect(), Handles()));
}

const QBrush& TSelectionFrame::Brush(int phase) {
    if (!FBrushesMade) {
        for (int p = 0; p < PatternSize; ++p) {
            QImage pattern(PatternSize, PatternSize, QImage::Format_RGB32);
            for (int y = 0; y < PatternSize; ++y)
                for (int x = 0; x < PatternSize; ++x)
                    pattern.setPixelColor(x, y,
                                          ToQColor(PatternColor(p, x, y, FView.SelectionColor1(),
                                                                FView.SelectionColor2())));
            FBrushes[p] = QBrush(pattern);
        }
        FBrushesMade = true;
    }
    return FBrushes[phase];
}

void TSelectionFrame::Paint(QPainter& painter) {
    if (!FView.Selection())
        return;
    const QRect selection = FView.SelectionBoxRect();
    // The texture lies on the paint box's pixel grid; a phase that follows the selection's
    // corner makes the stripes travel with the selection when it moves.
    const QBrush& brush = Brush(PatternPhase(FAnimationPhase, selection.left(), selection.top()));
    for (const QRect& rect : FramePixels(selection, Handles()))
        painter.fillRect(rect, brush);
}
