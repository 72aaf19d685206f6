#include "image/view/PGImage.h"

#include "image/LibraryMessages.h"
#include "image/PGExceptions.h"
#include "image/PixelGraphic.h"
#include "image/view/CreatePaintPGThread.h"
#include "image/view/PicBox.h"
#include "image/view/QtColor.h"
#include "image/view/SelectionFrame.h"
#include "image/view/StretchBox.h"
#include "image/view/ViewCursors.h"
#include "image/view/ViewMouseTool.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QMouseEvent>
#include <QScreen>
#include <QScrollBar>

#include <algorithm>

namespace {

std::string LocalFileName(const QString& fileName) {
    return QFile::encodeName(fileName).toStdString();
}

// The hourglass while a file loads, restored however loading ends.
class TWaitCursor {
public:
    explicit TWaitCursor(bool show) : FShown(show) {
        if (FShown)
            QApplication::setOverrideCursor(Qt::WaitCursor);
    }
    ~TWaitCursor() {
        if (FShown)
            QApplication::restoreOverrideCursor();
    }
    TWaitCursor(const TWaitCursor&) = delete;
    TWaitCursor& operator=(const TWaitCursor&) = delete;

private:
    bool FShown;
};

} // namespace

TPGImage::TPGImage(QWidget* parent)
    : QScrollArea(parent), FPicBox(new TPicBox(this)), FSelectionFrame(new TSelectionFrame(*this)),
      FMouseTool(new TViewMouseTool(*this)),
      FPaintThread(std::make_unique<TCreatePaintPGThread>()) {
    // The cursors exist before any view needs them.
    TViewCursors::Instance();
    const QPalette& colors = palette();
    FColor = FromQColor(colors.color(QPalette::Button));
    FPicBoxColor = FColor;
    FPicBoxFrameColor = FromQColor(colors.color(QPalette::Dark));
    FProgressClockBkColor = FColor;
    FProgressClockLineColor = FPicBoxFrameColor;

    // A sunken three-dimensional border of two pixels.
    setFrameStyle(QFrame::WinPanel | QFrame::Sunken);
    setWidgetResizable(false);
    setWidget(FPicBox);
    // The view paints the picture under the paint box and every pixel around it.
    FPicBox->setAutoFillBackground(false);
    FPicBox->resize(0, 0);
    viewport()->setAutoFillBackground(false);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    viewport()->setMouseTracking(true);
    resize(sizeHint());
    connect(qApp, &QGuiApplication::primaryScreenChanged, this, &TPGImage::DisplayModeChanged);
    if (QScreen* shown = screen())
        connect(shown, &QScreen::geometryChanged, this, &TPGImage::DisplayModeChanged);
}

TPGImage::~TPGImage() {
    StopPaintThread();
}

std::uint8_t TPGImage::DragState() const {
    return FMouseTool->DragState();
}

// ---- Picture -------------------------------------------------------------------------------

void TPGImage::SetPixelGraphic(std::unique_ptr<TPixelGraphic> graphic) {
    StopPaintThread();
    FPixelGraphic.reset();
    DiscardPaintPixelGraphic();
    FPixelGraphic = std::move(graphic);
    if (FPixelGraphic) {
        ConnectProgressEvents(*FPixelGraphic);
        ConnectChangeEvent(*FPixelGraphic);
    }
    PixelGraphicChanged();
}

void TPGImage::ConnectProgressEvents(TPixelGraphic& graphic) {
    graphic.OnProgress = [this](TPixelGraphic&, int step, int max, bool& abort) {
        emit OnPixelGraphicProgress(step, max, abort);
    };
    graphic.OnProgressStart = [this](TPixelGraphic&) { emit OnPixelGraphicProgressStart(); };
    graphic.OnProgressEnd = [this](TPixelGraphic&) { emit OnPixelGraphicProgressEnd(); };
}

void TPGImage::ConnectChangeEvent(TPixelGraphic& graphic) {
    graphic.OnChange = [this](TPixelGraphic&) { PixelGraphicChanged(); };
}

void TPGImage::PixelGraphicChanged() {
    StopPaintThread();
    FPictureWidth = FPixelGraphic ? FPixelGraphic->Width() : 0;
    FPictureHeight = FPixelGraphic ? FPixelGraphic->Height() : 0;

    const int border = Border();
    int width = FPictureWidth + 2 * border;
    int height = FPictureHeight + 2 * border;
    // A bar that one axis needs takes room from the other, which may then need a bar too.
    bool hBar = false;
    bool vBar = false;
    for (int pass = 0; pass < 2; ++pass) {
        if (FAutoSizeMaxWidth < width && !hBar) {
            height += horizontalScrollBar()->sizeHint().height();
            hBar = true;
        }
        if (FAutoSizeMaxHeight < height && !vBar) {
            width += verticalScrollBar()->sizeHint().width();
            vBar = true;
        }
    }
    width = std::max(std::min(width, FAutoSizeMaxWidth), FAutoSizeMinWidth);
    height = std::max(std::min(height, FAutoSizeMaxHeight), FAutoSizeMinHeight);
    emit OnNewAutoSize(width, height);
    FPaintPixelGraphicStale = true;

    if (!FAutoSize || size() == QSize(width, height))
        Arrange(false);
    else
        ChangeBounds(width, height);
    emit OnPixelGraphicChange();
}

// ---- Layout --------------------------------------------------------------------------------

int TPGImage::Border() const {
    return frameWidth();
}

void TPGImage::ChangeBounds(int width, int height) {
    FPicBox->resize(0, 0);
    resize(width, height);
    Arrange(true);
}

void TPGImage::resizeEvent(QResizeEvent* event) {
    QScrollArea::resizeEvent(event);
    Arrange(true);
}

void TPGImage::Arrange(bool forced) {
    const int border = Border();
    const int areaWidth = width() - 2 * border;
    const int areaHeight = height() - 2 * border;
    const int hBarHeight = horizontalScrollBar()->sizeHint().height();
    const int vBarWidth = verticalScrollBar()->sizeHint().width();
    const TBoxSize box = StretchBox(FStretch, FPictureWidth, FPictureHeight, areaWidth, areaHeight,
                                    hBarHeight, vBarWidth, FZoomFactor);
    const QSize boxSize(std::max(box.Width, 0), std::max(box.Height, 0));
    if (box.Zoom != FEffectiveZoom) {
        FEffectiveZoom = box.Zoom;
        emit OnZoomFactorChange();
    }

    // Where a centred box goes, and the client area left beside the bars it will cause.
    QPoint position(0, 0);
    QSize client(areaWidth, areaHeight);
    bool hBar = false;
    bool vBar = false;
    if (FCenter) {
        for (int pass = 0; pass < 2; ++pass) {
            if (client.width() < boxSize.width() && !hBar) {
                client.rheight() -= hBarHeight;
                hBar = true;
            }
            if (boxSize.height() > client.height() && !vBar) {
                client.rwidth() -= vBarWidth;
                vBar = true;
            }
        }
        position.setX(client.width() > boxSize.width() ? (client.width() - boxSize.width()) / 2
                                                       : 0);
        position.setY(client.height() > boxSize.height() ? (client.height() - boxSize.height()) / 2
                                                         : 0);
    }

    QScrollBar* hScroll = horizontalScrollBar();
    QScrollBar* vScroll = verticalScrollBar();
    const int hMiddle = (boxSize.width() - client.width()) / 2;
    const int vMiddle = (boxSize.height() - client.height()) / 2;
    bool layout = FPicBox->size() != boxSize;
    if (!layout && (forced || FRearrangeAlways))
        layout = FPicBox->pos() != position || (FCenter && hBar && hScroll->value() != hMiddle) ||
                 (FCenter && vBar && vScroll->value() != vMiddle) ||
                 (!FCenter && (hScroll->value() != 0 || vScroll->value() != 0));
    if (layout) {
        hScroll->setValue(0);
        vScroll->setValue(0);
        // The scroll area places the box by its alignment, which yields `position`.
        FPicBox->resize(boxSize);
        // The scroll area shows its bars only later, from the event loop; until then its ranges
        // are measured against the old client area and would clip the middle positions.
        if (hBar) {
            hScroll->setRange(0, boxSize.width() - client.width());
            hScroll->setValue(hMiddle);
        }
        if (vBar) {
            vScroll->setRange(0, boxSize.height() - client.height());
            vScroll->setValue(vMiddle);
        }
    }
    InvalidateView();
}

void TPGImage::InvalidateView() {
    viewport()->update();
}

int TPGImage::BoxToImageX(int x) const {
    const int boxWidth = FPicBox->width();
    return boxWidth == 0 ? 0 : static_cast<int>(std::int64_t{x} * FPictureWidth / boxWidth);
}

int TPGImage::BoxToImageY(int y) const {
    const int boxHeight = FPicBox->height();
    return boxHeight == 0 ? 0 : static_cast<int>(std::int64_t{y} * FPictureHeight / boxHeight);
}

int TPGImage::ImageToBoxX(int x) const {
    return FPictureWidth <= 0
               ? 0
               : static_cast<int>(std::int64_t{x} * FPicBox->width() / FPictureWidth);
}

int TPGImage::ImageToBoxY(int y) const {
    return FPictureHeight <= 0
               ? 0
               : static_cast<int>(std::int64_t{y} * FPicBox->height() / FPictureHeight);
}

// ---- Files ---------------------------------------------------------------------------------

void TPGImage::LoadImageFile(const QString& fileName) {
    FFileName.clear();
    const TWaitCursor waitCursor(FShowHourGlass);
    StopPaintThread();
    FPixelGraphic.reset();
    DiscardPaintPixelGraphic();
    try {
        if (!QFileInfo(fileName).fileName().isEmpty()) {
            auto graphic = std::make_unique<TPixelGraphic>();
            graphic->ReadWarningAction = FReadWarningAction;
            graphic->SetBackgroundColor(FBackGroundColor);
            ConnectProgressEvents(*graphic);
            graphic->LoadImageFile(LocalFileName(fileName));
            ConnectChangeEvent(*graphic);
            FPixelGraphic = std::move(graphic);
        }
        FFileName = fileName;
    } catch (...) {
        PixelGraphicChanged();
        throw;
    }
    PixelGraphicChanged();
}

void TPGImage::SetFileName(const QString& fileName) {
    FFileName = fileName;
    LoadImageFile(fileName);
}

void TPGImage::SaveImageFile(const QString& fileName) {
    if (!FPixelGraphic)
        throw EPGEmpty(FormatLibraryMessage(16, "PixelGraphic"));
    FPixelGraphic->SaveColorResWarningAction = FSaveColorResWarningAction;
    FPixelGraphic->SaveImageFile(LocalFileName(fileName));
    FFileName = fileName;
}

// ---- Mouse on the client area around the paint box -----------------------------------------

void TPGImage::mousePressEvent(QMouseEvent* event) {
    emit OnMouseDown(event);
}

void TPGImage::mouseMoveEvent(QMouseEvent* event) {
    QCursor chosen = cursor();
    emit OnSetCursor(chosen);
    viewport()->setCursor(chosen);
    emit OnMouseMove(event);
}

void TPGImage::mouseReleaseEvent(QMouseEvent* event) {
    emit OnMouseUp(event);
}

void TPGImage::mouseDoubleClickEvent(QMouseEvent* event) {
    emit OnDblClick(event);
    emit OnMouseDown(event);
}

void TPGImage::contextMenuEvent(QContextMenuEvent* event) {
    if (FPopupMenu)
        FPopupMenu->exec(event->globalPos());
    else
        event->ignore();
}
