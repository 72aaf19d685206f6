#include "tools/SetGrid.h"

#include <QMouseEvent>
#include <QPainter>
#include <QResizeEvent>

#include <algorithm>
#include <array>
#include <string>

TSetGrid::TSetGrid(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("SetGrid"));
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Base);
}

TSetGrid::TCell TSetGrid::CellOf(const TCandidate& candidate, bool fitted) {
    TCell cell;
    if (!candidate.Failure.empty()) {
        cell.Caption = QString::fromStdString(candidate.Failure);
        return cell;
    }
    const TPictureRows& picture = fitted ? candidate.Fitted : candidate.Plain;
    // Rows of the image library's 24-bit pictures hold blue, green and red.
    cell.Picture = QImage(picture.Pixels.data(), picture.Width, picture.Height, picture.Width * 3,
                          QImage::Format_BGR888)
                       .copy();
    const std::array<std::string, 2> lines = NumberLines(candidate.Set.Numbers);
    cell.Caption = QString::fromStdString(lines[0] + '\n' + lines[1]);
    return cell;
}

void TSetGrid::SetFixedColumns(int columns) {
    FFixedColumns = columns;
    updateGeometry();
    update();
}

void TSetGrid::SetCells(std::vector<TCell> cells) {
    FCells = std::move(cells);
    update();
}

QSize TSetGrid::CellSize() const {
    // Two lines of numbers under each picture.
    return ThumbnailSize + QSize(Spacing, Spacing + 2 * fontMetrics().height());
}

int TSetGrid::Columns() const {
    return FFixedColumns > 0 ? FFixedColumns : std::max(1, width() / CellSize().width());
}

int TSetGrid::Rows() const {
    if (FFixedColumns > 0)
        return (static_cast<int>(FCells.size()) + FFixedColumns - 1) / FFixedColumns;
    return std::max(1, height() / CellSize().height());
}

QRect TSetGrid::PictureRect(int cell) const {
    const QSize size = CellSize();
    return {QPoint(cell % Columns() * size.width() + Spacing / 2,
                   cell / Columns() * size.height() + Spacing / 2),
            ThumbnailSize};
}

int TSetGrid::CellAt(QPoint point) const {
    const QSize size = CellSize();
    const int column = point.x() / size.width();
    const int cell = point.y() / size.height() * Columns() + column;
    if (point.x() < 0 || point.y() < 0 || column >= Columns() || cell >= Capacity() ||
        cell >= static_cast<int>(FCells.size()))
        return -1;
    return cell;
}

QPoint TSetGrid::PictureCentre(int cell) const {
    return PictureRect(cell).center();
}

QSize TSetGrid::sizeHint() const {
    const QSize size = CellSize();
    const int columns = FFixedColumns > 0 ? FFixedColumns : 4;
    const int rows = FFixedColumns > 0 ? Rows() : 3;
    return {columns * size.width(), rows * size.height()};
}

QSize TSetGrid::minimumSizeHint() const {
    return FFixedColumns > 0 ? sizeHint() : CellSize();
}

void TSetGrid::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const int shown = std::min(Capacity(), static_cast<int>(FCells.size()));
    for (int cell = 0; cell < shown; ++cell) {
        const TCell& content = FCells[static_cast<std::size_t>(cell)];
        const QRect picture = PictureRect(cell);
        if (content.Picture.isNull()) {
            painter.fillRect(picture, palette().color(QPalette::AlternateBase));
            painter.drawText(picture, Qt::AlignCenter, tr("rendering..."));
        } else {
            painter.drawImage(picture.topLeft(), content.Picture);
        }
        if (content.Marked) {
            painter.setPen(QPen(palette().color(QPalette::Highlight), 3));
            painter.drawRect(picture.adjusted(-2, -2, 1, 1));
            painter.setPen(palette().color(QPalette::Text));
        }
        const QRect caption(picture.left(), picture.bottom() + 1, picture.width(),
                            2 * fontMetrics().height());
        painter.drawText(caption, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, content.Caption);
    }
}

void TSetGrid::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (Capacity() != FCapacity) {
        FCapacity = Capacity();
        emit CapacityChanged(FCapacity);
    }
}

void TSetGrid::mouseDoubleClickEvent(QMouseEvent* event) {
    const int cell = CellAt(event->position().toPoint());
    if (cell >= 0)
        emit CellActivated(cell);
}
