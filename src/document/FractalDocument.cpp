#include "document/FractalDocument.h"

#include "engine/EngineMath.h"
#include "engine/FractalEngine.h"
#include "image/PixelGraphic.h"
#include "render/AttractorFit.h"

#include <algorithm>
#include <bit>
#include <cstdio>

namespace {
bool SameCoefficients(const TFractalParams& a, const TFractalParams& b) {
    return std::equal(a.RotationLimitAndCoef + 1, std::end(a.RotationLimitAndCoef),
                      b.RotationLimitAndCoef + 1, [](double x, double y) {
                          return std::bit_cast<std::uint64_t>(x) == std::bit_cast<std::uint64_t>(y);
                      });
}

// The Lyapunov estimate at which the block's set fails its warm-up from that generator state,
// or nothing when it passes. The engine would draw a new set in its place.
std::optional<double> FailedWarmUp(TFractalParams block, std::uint32_t seed) {
    TFractalEngine engine(block.ImageWidth, block.ImageHeight);
    TPixelGraphic picture;
    picture.SetSize(block.ImageWidth, block.ImageHeight, bc24Bit);
    block.Image = &picture;
    block.NewCoefficients = BoolFalse;
    block.AbortRequested = BoolFalse;
    std::optional<double> failed;
    engine.SetClock([&] {
        failed = block.Lyapunov;
        block.AbortRequested = BoolTrue;
        return 0u;
    });
    engine.SetStepLimit(TFractalEngine::FirstPlotStep);
    engine.SetRandomSeed(seed);
    engine.RunFractal(&block);
    return failed;
}
} // namespace

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

TFractalDocument::TFractalDocument(const TParameterFile& file) : FOpened(true) {
    Adopt(file);
    FHistory.Record(HistoryEntry(file.DrawClock));
}

void TFractalDocument::Adopt(const TParameterFile& file) {
    // A run may still be on its way out with the picture.
    TPixelGraphic* const image = FParams.Image;
    FParams = file.Params;
    FParams.Image = image;
    FParams.AbortRequested = BoolFalse;
    FParams.NewCoefficients = BoolFalse;
    // As right after the set's draw.
    FParams.Lyapunov = 1.0;
    FParams.StepCount = 0;
    FKeptDrawClock = file.DrawClock;
    FOrbitSeed = TFractalEngine::OrbitStreamStart(file.DrawClock.value_or(0), 0, 1);
    SetView(file.CenterX, file.CenterY, file.Magnification);
}

std::unique_ptr<TFractalDocument> TFractalDocument::Open(const std::string& fileName) {
    const TParameterFile file = TParameterFile::Load(fileName);
    const TFractalParams& block = file.Params;
    if (block.ImageWidth > TFractalEngine::MaxImageWidth ||
        block.ImageHeight > TFractalEngine::MaxImageHeight)
        throw EDocumentOpen(fileName + " asks for a picture of " +
                            std::to_string(block.ImageWidth) + " x " +
                            std::to_string(block.ImageHeight) +
                            " pixels; a window shows at most 1024 x 768 (render it with "
                            "quarn-render --params " +
                            fileName + ")");
    auto document = std::make_unique<TFractalDocument>(file);
    if (const auto lyapunov = FailedWarmUp(document->FParams, *document->FOrbitSeed)) {
        char estimate[32];
        std::snprintf(estimate, sizeof estimate, "%g", *lyapunov);
        throw EDocumentOpen("the coefficient set in " + fileName +
                            " failed its warm-up (Lyapunov estimate " + estimate + ")");
    }
    return document;
}

std::unique_ptr<TPixelGraphic> TFractalDocument::FirstPicture() {
    if (!FOpened) {
        FParams.ImageWidth = DefaultWidth;
        FParams.ImageHeight = DefaultHeight;
    }
    auto picture = std::make_unique<TPixelGraphic>();
    picture->SetSize(FParams.ImageWidth, FParams.ImageHeight, bc24Bit);
    FParams.Image = picture.get();
    return picture;
}

void TFractalDocument::StoreDefaults() {
    if (!FOpened) {
        ResetCoordinates();
        FParams.StoreDefaults();
    }
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
    RecordView();
}

void TFractalDocument::ResetCoordinates() {
    FView.ResetCoordinates();
    RecordView();
}

bool TFractalDocument::FitToAttractor(std::optional<std::uint32_t> drawClock) {
    if (!drawClock)
        drawClock = FKeptDrawClock;
    if (!drawClock || FParams.NewCoefficients || FDocWidth == 0)
        return false;
    constexpr int SamplePoints = 100000;
    const std::optional<TAttractorBox> box =
        TAttractorBox::Of(SampleOrbit(FParams, *drawClock, SamplePoints));
    const std::optional<TPlaneView> view =
        box ? FitView(*box, FDocWidth, FDocHeight) : std::nullopt;
    if (!view)
        return false;
    SetView(view->CenterX, view->CenterY, view->Magnification);
    RecordView();
    return true;
}

void TFractalDocument::ZoomToTarget() {
    FView.ZoomToTarget();
    RecordView();
}

void TFractalDocument::SetAccepted(std::uint32_t drawClock) {
    FHistory.Record(HistoryEntry(drawClock));
}

void TFractalDocument::RecordView() {
    // Before its first set a document has nothing to return to. A set about to be drawn, or
    // drawn and still in its warm-up, is recorded with this view once it is accepted.
    if (FHistory.Empty() || FParams.NewCoefficients ||
        !SameCoefficients(FParams, FHistory.Current().Params))
        return;
    FHistory.Record(HistoryEntry(FHistory.Current().DrawClock));
}

void TFractalDocument::ShowSet(const TParameterFile& file) {
    Adopt(file);
    FDocWidth = FParams.ImageWidth;
    FDocHeight = FParams.ImageHeight;
    FHistory.Record(HistoryEntry(file.DrawClock));
}

bool TFractalDocument::GoBack() {
    return Restore(FHistory.Back());
}

bool TFractalDocument::GoForward() {
    return Restore(FHistory.Forward());
}

bool TFractalDocument::Restore(const std::optional<TParameterFile>& entry) {
    if (!entry)
        return false;
    Adopt(*entry);
    FDocWidth = FParams.ImageWidth;
    FDocHeight = FParams.ImageHeight;
    return true;
}

TParameterFile TFractalDocument::HistoryEntry(std::optional<std::uint32_t> drawClock) const {
    TParameterFile entry = ToParameterFile(drawClock);
    entry.Params.Image = nullptr;
    // An entry is a set and a view, however far it had grown.
    entry.PlottedSteps.reset();
    entry.TickEvery.reset();
    // Every restart starts the tick at 0.
    entry.Params.Tick = 0;
    return entry;
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
    file.DrawClock = drawClock ? drawClock : FKeptDrawClock;
    // How far the picture has grown, so that a render of the file looks as it does.
    const std::int64_t plotted = std::int64_t{FParams.StepCount} - TFractalEngine::WarmUpSteps;
    if (plotted > 0) {
        file.PlottedSteps = plotted;
        file.TickEvery = std::max<std::int64_t>(1, plotted / std::max(1, FParams.Tick));
    }
    return file;
}

void TFractalDocument::SaveParameters(const std::string& fileName,
                                      std::optional<std::uint32_t> drawClock) const {
    ToParameterFile(drawClock).Save(fileName);
}
