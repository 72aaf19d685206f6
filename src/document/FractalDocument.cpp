#include "document/FractalDocument.h"

#include "engine/EngineMath.h"
#include "image/PixelGraphic.h"

#include <cstdio>

TFractalDocument::TFractalDocument() {
    FParams.AbortRequested = BoolFalse;
    FParams.NewCoefficients = BoolTrue;
    FParams.WhiteBackground = BoolFalse;
}

TPixelSize TFractalDocument::ClientSizeFor(TPixelSize picture, TPixelSize frame) {
    return {picture.Width < frame.Width ? picture.Width + ClientMargin.Width : frame.Width - 50,
            picture.Height < frame.Height ? picture.Height + ClientMargin.Height
                                          : frame.Height - 70};
}

std::unique_ptr<TPixelGraphic> TFractalDocument::FirstPicture() {
    FParams.ImageWidth = DefaultWidth;
    FParams.ImageHeight = DefaultHeight;
    auto picture = std::make_unique<TPixelGraphic>();
    picture->SetSize(DefaultWidth, DefaultHeight, bc24Bit);
    FParams.Image = picture.get();
    return picture;
}

void TFractalDocument::StoreDefaults() {
    ResetCoordinates();
    FParams.StoreDefaults();
    FDocWidth = FParams.ImageWidth;
    FDocHeight = FParams.ImageHeight;
}

std::unique_ptr<TPixelGraphic> TFractalDocument::NewPicture() {
    auto picture = std::make_unique<TPixelGraphic>();
    picture->SetSize(FDocWidth, FDocHeight, bc24Bit);
    FParams.Image = picture.get();
    FParams.Tick = 0;
    return picture;
}

void TFractalDocument::PrepareRun() {
    AdjustCoords();
    FView.CopyToParams(FParams);
    FPixelStepX = (FParams.ViewXMax - FParams.ViewXMin) / FParams.ImageWidth;
    FPixelStepY = (FParams.ViewYMax - FParams.ViewYMin) / FParams.ImageHeight;
    FParams.AbortRequested = BoolFalse;
}

void TFractalDocument::PictureChanged() {
    FParams.Image->NotifyChange(nullptr);
}

void TFractalDocument::EndRun() {
    RequestAbort();
    PictureChanged();
}

std::string TFractalDocument::TickCaption() {
    char text[64];
    std::snprintf(text, sizeof text, "%d  %d  %.2f3", FParams.Tick, FParams.StepCount,
                  FParams.Lyapunov);
    ++FParams.Tick;
    return text;
}

void TFractalDocument::SetView(double xCenter, double yCenter, double magnification) {
    FView.XCenter = xCenter;
    FView.YCenter = yCenter;
    FView.Magnification = magnification;
}

void TFractalDocument::Resize(int width, int height) {
    FDocWidth = FParams.ImageWidth = width;
    FDocHeight = FParams.ImageHeight = height;
}

TPlanePoint TFractalDocument::PointAt(int i, int j) const {
    return {i * FPixelStepX + FParams.ViewXMin, j * FPixelStepY + FParams.ViewYMin};
}

std::optional<TPlanePoint> TFractalDocument::MoveCursor(int i, int j) {
    if (FDocWidth == 0)
        return std::nullopt;
    FPixelStepX = (FParams.ViewXMax - FParams.ViewXMin) / FDocWidth;
    FPixelStepY = (FParams.ViewYMax - FParams.ViewYMin) / FDocHeight;
    FCursorPixel = {i, j};
    return FollowView();
}

TPlanePoint TFractalDocument::FollowView() {
    if (FCursorPixel)
        FCursor = PointAt(FCursorPixel->first, FCursorPixel->second);
    return FCursor;
}

void TFractalDocument::Press(double x, double y) {
    FClickX = x;
    FClickYUp = FParams.ImageHeight - y;
}

TPixelRect TFractalDocument::Release(const TPixelRect& selection) {
    const bool drawn = RectangleMode();
    const int width = drawn ? selection.Width : RoundToInt32(FDocWidth * 0.5);
    const int height = drawn ? selection.Height : RoundToInt32(FDocHeight * 0.5);
    const double centreX = drawn ? width * 0.5 + selection.Left : FClickX;
    // The clicked row, counted from the top as the picture's rows are.
    const double centreY = drawn ? height * 0.5 + selection.Top : FParams.ImageHeight - FClickYUp;
    const TPixelRect target =
        TViewFit::ProportionalRect(centreX, centreY, width, height, FDocWidth, FDocHeight);
    FView.SetZoomTarget(target, FDocWidth, FDocHeight);
    return target;
}

TFractalDocument::TZoomCheck TFractalDocument::CheckZoom(bool selected) const {
    if (FDocWidth == 0)
        return TZoomCheck::NoPicture;
    if (RectangleMode() && !selected)
        return TZoomCheck::NothingSelected;
    // The fitting would divide by zero.
    if (!FView.ZoomTargetHasExtent())
        return TZoomCheck::EmptyTarget;
    return TZoomCheck::Ready;
}

const char* TFractalDocument::ZoomRefusal(TZoomCheck check) {
    switch (check) {
    case TZoomCheck::NothingSelected:
        return "there is nothing selected";
    case TZoomCheck::EmptyTarget:
        return "the selected area is empty";
    default:
        return "";
    }
}

std::unique_ptr<TPixelGraphic> TFractalDocument::ZoomPreview(const TPixelGraphic& shown,
                                                             const TPixelRect& selection) {
    auto preview = std::make_unique<TPixelGraphic>();
    preview->SetSize(FDocWidth, FDocHeight, bc24Bit);
    preview->StretchCopy(0, 0, FDocWidth, FDocHeight, selection.Left, selection.Top,
                         selection.Width, selection.Height, shown);
    FParams.Image = preview.get();
    return preview;
}

TParameterFile TFractalDocument::ToParameterFile(std::optional<std::uint32_t> drawClock) const {
    TParameterFile file;
    file.Params = FParams;
    file.CenterX = FView.XCenter;
    file.CenterY = FView.YCenter;
    file.Magnification = FView.Magnification;
    file.DrawClock = drawClock;
    return file;
}

void TFractalDocument::SaveParameters(const std::string& fileName,
                                      std::optional<std::uint32_t> drawClock) const {
    ToParameterFile(drawClock).Save(fileName);
}
