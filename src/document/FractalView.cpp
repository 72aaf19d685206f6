#include "document/FractalView.h"

#include "image/PixelGraphic.h"

#include <QScreen>

TFractalView::TFractalView(QWidget* parent) : TPGImage(parent) {
    SetColor(RGB(64, 0, 64));
    SetPicBoxColor(RGB(64, 0, 64));
    SetCenter(true);
    SetZoomFactor(1.0L);
    SetActionMode(amNone);
}

TPixelRect TFractalView::SelectionPixels() const {
    return {SelectionLeft(), SelectionTop(), SelectionWidth(), SelectionHeight()};
}

void TFractalView::SetSelectionPixels(const TPixelRect& rect) {
    SetSelectionBounds(rect.Left, rect.Top, rect.Width, rect.Height);
}

void TFractalView::ShowPicture(std::unique_ptr<TPixelGraphic> picture) {
    TPixelGraphic* shown = picture.get();
    SetPixelGraphic(std::move(picture));
    shown->NotifyChange(nullptr);
}

void TFractalView::ApplyRectangleMode(bool rectangleMode) {
    SetActionMode(rectangleMode ? amMoveResizeCreateSelection : amNone);
}

void TFractalView::LimitAutoSize(QSize frame) {
    const QSize screenSize = screen()->size();
    SetAutoSizeMaxWidth(screenSize.width() - frame.width());
    SetAutoSizeMaxHeight(screenSize.height() - frame.height());
}
