#pragma once

#include "render/CandidateScreen.h"

#include <QImage>
#include <QSize>
#include <QString>
#include <QWidget>

#include <vector>

// Thumbnails of sets in a grid, each with its numbers under it: as many columns and rows as the
// widget's size allows, or a fixed number of columns. A cell without a picture yet shows that it
// is on its way. Double-clicking a cell activates it.
class TSetGrid : public QWidget {
    Q_OBJECT

public:
    static constexpr QSize ThumbnailSize{160, 120};

    struct TCell {
        QImage Picture;
        QString Caption;
        // Drawn with a frame: the set the others are variants of, say.
        bool Marked = false;
    };

    explicit TSetGrid(QWidget* parent = nullptr);

    // A screened candidate's picture, plain or fitted, with its numbers.
    static TCell CellOf(const TCandidate& candidate, bool fitted);

    // 0 to follow the widget's width.
    void SetFixedColumns(int columns);
    void SetCells(std::vector<TCell> cells);
    const std::vector<TCell>& Cells() const { return FCells; }
    // The cells the widget's size shows.
    int Columns() const;
    int Rows() const;
    int Capacity() const { return Columns() * Rows(); }
    // The cell at a point of the widget, -1 for none; the centre of a cell's picture.
    int CellAt(QPoint point) const;
    QPoint PictureCentre(int cell) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    void CellActivated(int cell);
    // The cells the widget shows changed with its size.
    void CapacityChanged(int cells);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    static constexpr int Spacing = 8;
    QSize CellSize() const;
    QRect PictureRect(int cell) const;

    std::vector<TCell> FCells;
    int FFixedColumns = 0;
    int FCapacity = 0;
};
