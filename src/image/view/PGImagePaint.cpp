#include "image/view/PGImage.h"

#include "image/PixelGraphic.h"
#include "image/RasterTarget.h"
#include "image/view/PaintClock.h"
#include "image/view/PicBox.h"
#include "image/view/QtColor.h"

#include <QPaintEvent>
#include <QPainter>

#include <array>
#include <vector>

namespace {

// Tiles by mirroring: bit 0 left to right, bit 1 top to bottom.
constexpr int FlipKinds = 4;
constexpr int FlipHorizontally = 1;
constexpr int FlipVertically = 2;

struct TTile {
    QRect Rect;
    int Flip;
};

std::unique_ptr<TPixelGraphic> MirroredCopy(const TPixelGraphic& picture, int flip) {
    auto copy = std::make_unique<TPixelGraphic>();
    copy->AssignImage(&picture);
    const int width = picture.Width();
    const int height = picture.Height();
    for (int y = 0; y < height; ++y) {
        const int sourceY = flip & FlipVertically ? height - 1 - y : y;
        for (int x = 0; x < width; ++x)
            copy->SetPixel(x, y,
                           picture.GetPixel(flip & FlipHorizontally ? width - 1 - x : x, sourceY));
    }
    return copy;
}

// The range of tile indices that covers [0, clientExtent) along one axis.
std::pair<int, int> TileRange(int start, int extent, int clientExtent) {
    const int end = start + extent;
    return {start > 0 ? (1 - end) / extent : 0,
            end < clientExtent ? (clientExtent - start - 1) / extent : 0};
}

TRect ToTRect(const QRect& rect) {
    return {rect.left(), rect.top(), rect.left() + rect.width(), rect.top() + rect.height()};
}

} // namespace

// Rectangle by rectangle: the selection frame's repaints are thin rings, whose bounding
// rectangle would cover the whole selection.
void TPGImage::paintEvent(QPaintEvent* event) {
    QPainter painter(viewport());
    emit OnPainting();
    for (const QRect& rect : event->region())
        PaintGraphic(painter, rect);
    emit OnPaint();
}

void TPGImage::PaintGraphic(QPainter& painter, const QRect& clip) {
    const QRect rect = FPicBox->geometry();
    // Until a needed paint copy arrives there is nothing to show but the frame and the clocks.
    TPixelGraphic* picture =
        PreparePaintPixelGraphic() ? FPaintPixelGraphic.get() : FPixelGraphic.get();
    if (FTiling == tNone || !picture || rect.isEmpty()) {
        // The four strips around the paint box; a box reaching past the client area leaves
        // some of them empty.
        const QRect client = viewport()->rect();
        const QColor color = ToQColor(FColor);
        const auto fill = [&](const QRect& strip) {
            if (strip.isValid())
                painter.fillRect(strip, color);
        };
        fill(QRect(QPoint(0, 0), QPoint(client.right(), rect.top() - 1)));
        fill(QRect(QPoint(0, rect.bottom() + 1), client.bottomRight()));
        fill(QRect(QPoint(0, rect.top()), QPoint(rect.left() - 1, rect.bottom())));
        fill(QRect(QPoint(rect.right() + 1, rect.top()), QPoint(client.right(), rect.bottom())));
    }
    if (picture) {
        if (!rect.isEmpty())
            DrawTiles(painter, clip, *picture);
        return;
    }
    if (!rect.isEmpty()) {
        painter.setPen(ToQColor(FPicBoxFrameColor));
        painter.setBrush(ToQColor(FPicBoxColor));
        painter.drawRect(rect.adjusted(0, 0, -1, -1));
    }
    if (FProgressClockVisible)
        DrawProgressClocks(painter, rect, FClockStage, FClockPercent,
                           {FProgress5Clocks, FProgressClockBkColor, FProgressClockLineColor});
}

void TPGImage::DrawTiles(QPainter& painter, const QRect& clip, TPixelGraphic& picture) {
    const QRect rect = FPicBox->geometry();
    const QSize client = viewport()->size();
    std::pair<int, int> rows{0, 0};
    std::pair<int, int> columns{0, 0};
    if (FTiling != tNone) {
        rows = TileRange(rect.top(), rect.height(), client.height());
        columns = TileRange(rect.left(), rect.width(), client.width());
    }
    const bool mirrorColumns = FTiling == tMirrorHorizontal || FTiling == tMirror;
    const bool mirrorRows = FTiling == tMirrorVertical || FTiling == tMirror;

    std::vector<TTile> tiles;
    std::array<int, FlipKinds> counts{};
    for (int j = rows.first; j <= rows.second; ++j) {
        for (int i = columns.first; i <= columns.second; ++i) {
            const QRect tile = rect.translated(i * rect.width(), j * rect.height());
            if (!tile.intersects(clip))
                continue;
            const bool flipH = FFlipHorizontal != (mirrorColumns && i % 2 != 0);
            const bool flipV = FFlipVertical != (mirrorRows && j % 2 != 0);
            const int flip = (flipH ? FlipHorizontally : 0) | (flipV ? FlipVertically : 0);
            tiles.push_back({tile, flip});
            ++counts[flip];
        }
    }
    // A mirrored copy costs a pass over the picture; it pays off when several tiles share it.
    std::array<std::unique_ptr<TPixelGraphic>, FlipKinds> mirrored;
    for (int flip = 1; flip < FlipKinds; ++flip)
        if (counts[flip] > 2)
            mirrored[flip] = MirroredCopy(picture, flip);

    if (FPaintBuffer.size() != client)
        FPaintBuffer = QImage(client, QImage::Format_RGB32);
    TRasterTarget target(reinterpret_cast<std::uint32_t*>(FPaintBuffer.bits()), client.width(),
                         client.height());
    target.SetClipRect(ToTRect(clip));
    for (const TTile& tile : tiles) {
        TRect r = ToTRect(tile.Rect);
        if (mirrored[tile.Flip]) {
            mirrored[tile.Flip]->DrawToContext(target, r, true);
            continue;
        }
        // Exchanged edges make the drawing mirror the picture within the same pixels.
        if (tile.Flip & FlipHorizontally)
            std::swap(r.Left, r.Right);
        if (tile.Flip & FlipVertically)
            std::swap(r.Top, r.Bottom);
        picture.DrawToContext(target, r, true);
    }
    const QRect drawn = FTiling == tNone ? clip & rect : clip & QRect(QPoint(0, 0), client);
    painter.drawImage(drawn.topLeft(), FPaintBuffer, drawn);
}
