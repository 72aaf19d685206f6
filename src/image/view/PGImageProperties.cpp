#include "image/view/PGImage.h"

#include "image/view/PicBox.h"
#include "image/view/SelectionFrame.h"

// ---- Selection -----------------------------------------------------------------------------

void TPGImage::SetSelection(bool value) {
    if (value == FSelection)
        return;
    FSelection = value;
    FSelectionFrame->SetAnimating(value);
    FPicBox->update();
    emit OnSelectionChange();
}

void TPGImage::SetSelectionBounds(int left, int top, int width, int height) {
    if (left == FSelectionLeft && top == FSelectionTop && width == FSelectionWidth &&
        height == FSelectionHeight)
        return;
    // The handles reach 8 pixels out from the selection, the frame alone 1.
    const int thickness = FActionMode == amMoveResizeCreateSelection ? 8 : 1;
    QRegion strips;
    if (FSelection)
        strips = TSelectionFrame::FrameStrips(SelectionBoxRect(), thickness);
    FSelectionLeft = left;
    FSelectionTop = top;
    FSelectionWidth = width;
    FSelectionHeight = height;
    if (FSelection)
        strips += TSelectionFrame::FrameStrips(SelectionBoxRect(), thickness);
    emit OnSelectionChange();
    if (FSelection)
        FPicBox->repaint(strips);
}

void TPGImage::SetSelectionLeft(int value) {
    SetSelectionBounds(value, FSelectionTop, FSelectionWidth, FSelectionHeight);
}

void TPGImage::SetSelectionTop(int value) {
    SetSelectionBounds(FSelectionLeft, value, FSelectionWidth, FSelectionHeight);
}

void TPGImage::SetSelectionWidth(int value) {
    SetSelectionBounds(FSelectionLeft, FSelectionTop, value, FSelectionHeight);
}

void TPGImage::SetSelectionHeight(int value) {
    SetSelectionBounds(FSelectionLeft, FSelectionTop, FSelectionWidth, value);
}

int TPGImage::SelectionAnimationPhase() const {
    return FSelectionFrame->AnimationPhase();
}

QRect TPGImage::SelectionRect() const {
    return {FSelectionLeft, FSelectionTop, FSelectionWidth, FSelectionHeight};
}

QRect TPGImage::SelectionBoxRect() const {
    const int left = ImageToBoxX(FSelectionLeft);
    const int top = ImageToBoxY(FSelectionTop);
    return {left, top, ImageToBoxX(FSelectionLeft + FSelectionWidth) - left,
            ImageToBoxY(FSelectionTop + FSelectionHeight) - top};
}

void TPGImage::SetSelectionColor1(TColor value) {
    SetSelectionColor(FSelectionColor1, value);
}

void TPGImage::SetSelectionColor2(TColor value) {
    SetSelectionColor(FSelectionColor2, value);
}

void TPGImage::SetSelectionColor(TColor& color, TColor value) {
    if (value == color)
        return;
    color = value;
    FSelectionFrame->ColorsChanged();
    if (FSelection)
        FPicBox->update(TSelectionFrame::FramePixels(SelectionBoxRect(),
                                                     FActionMode == amMoveResizeCreateSelection));
}

// ---- Layout --------------------------------------------------------------------------------

void TPGImage::SetActionMode(TActionMode value) {
    if (value == FActionMode)
        return;
    FActionMode = value;
    InvalidateView();
}

void TPGImage::SetStretch(TStretch value) {
    if (value == FStretch)
        return;
    FStretch = value;
    Arrange(true);
}

void TPGImage::SetCenter(bool value) {
    if (value == FCenter)
        return;
    FCenter = value;
    setAlignment(FCenter ? Qt::AlignCenter : Qt::AlignLeft | Qt::AlignTop);
    Arrange(true);
}

void TPGImage::SetZoomFactor(long double value) {
    if (value == FZoomFactor)
        return;
    FZoomFactor = value;
    Arrange(true);
}

void TPGImage::SetAutoSize(bool value) {
    FAutoSize = value;
    PixelGraphicChanged();
}

void TPGImage::SetAutoSizeMaxWidth(int value) {
    SetAutoSizeBound(FAutoSizeMaxWidth, value);
}

void TPGImage::SetAutoSizeMaxHeight(int value) {
    SetAutoSizeBound(FAutoSizeMaxHeight, value);
}

void TPGImage::SetAutoSizeMinWidth(int value) {
    SetAutoSizeBound(FAutoSizeMinWidth, value);
}

void TPGImage::SetAutoSizeMinHeight(int value) {
    SetAutoSizeBound(FAutoSizeMinHeight, value);
}

void TPGImage::SetAutoSizeBound(int& bound, int value) {
    if (value == bound)
        return;
    bound = value;
    if (FAutoSize)
        PixelGraphicChanged();
}

// ---- Drawing -------------------------------------------------------------------------------

void TPGImage::SetFlipHorizontal(bool value) {
    SetInvalidating(FFlipHorizontal, value);
}

void TPGImage::SetFlipVertical(bool value) {
    SetInvalidating(FFlipVertical, value);
}

void TPGImage::SetTiling(TTiling value) {
    if (value == FTiling)
        return;
    FTiling = value;
    InvalidateView();
}

void TPGImage::SetInvalidating(bool& field, bool value) {
    if (value == field)
        return;
    field = value;
    InvalidateView();
}

void TPGImage::SetColor(TColor value) {
    FColor = value;
    if (FPicBoxParentColor)
        FPicBoxColor = value;
    InvalidateView();
}

void TPGImage::SetPicBoxColor(TColor value) {
    FPicBoxColor = value;
    FPicBoxParentColor = false;
    InvalidateView();
}

void TPGImage::SetPicBoxParentColor(bool value) {
    FPicBoxParentColor = value;
    if (!value)
        return;
    FPicBoxColor = FColor;
    InvalidateView();
}

void TPGImage::SetPicBoxFrameColor(TColor value) {
    FPicBoxFrameColor = value;
    InvalidateView();
}

// ---- Paint copy ----------------------------------------------------------------------------

void TPGImage::SetStretchMode(TStretchMode value) {
    SetRebuilding(FStretchMode, value);
}

void TPGImage::SetDither(bool value) {
    SetRebuilding(FDither, value);
}

void TPGImage::SetRGBWeighting(bool value) {
    SetRebuilding(FRGBWeighting, value);
}

void TPGImage::SetAllow24BitStretch(bool value) {
    SetRebuilding(FAllow24BitStretch, value);
}

void TPGImage::SetPalette8BitSys24BitGraphic(TPaletteIdent value) {
    SetRebuilding(FPalette8BitSys24BitGraphic, value);
}

void TPGImage::SetPalette8BitSys8BitGraphic(TPaletteIdent value) {
    SetRebuilding(FPalette8BitSys8BitGraphic, value);
}

void TPGImage::SetDitherErrorLimit(std::uint8_t value) {
    SetDitherSetting(FDitherErrorLimit, value);
}

void TPGImage::SetDitherErrorLimitAuto(bool value) {
    SetDitherSetting(FDitherErrorLimitAuto, value);
}

void TPGImage::SetDitherErrorLimitSoft(bool value) {
    SetDitherSetting(FDitherErrorLimitSoft, value);
}

void TPGImage::SetUseThread(bool value) {
    if (value == FUseThread)
        return;
    StopPaintThread();
    FPaintPixelGraphicStale = true;
    FUseThread = value;
    InvalidateView();
}

// ---- Paint box -----------------------------------------------------------------------------

void TPGImage::SetPicBoxCursor(const QCursor& cursor) {
    FPicBoxCursor = cursor;
    FPicBox->setCursor(cursor);
}

void TPGImage::SetPicBoxHint(const QString& hint) {
    FPicBoxHint = hint;
    FPicBox->setToolTip(FPicBoxShowHint ? FPicBoxHint : QString());
}

void TPGImage::SetPicBoxShowHint(bool value) {
    FPicBoxShowHint = value;
    FPicBox->setToolTip(FPicBoxShowHint ? FPicBoxHint : QString());
}
