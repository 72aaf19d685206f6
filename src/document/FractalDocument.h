#pragma once

#include "document/DocumentHistory.h"
#include "engine/FractalParams.h"
#include "engine/ParameterFile.h"
#include "engine/PlanePoint.h"
#include "engine/ViewFit.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>

class TPixelGraphic;

// A parameter file that cannot become a document; the text names the file and says why.
class EDocumentOpen : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A size in pixels.
struct TPixelSize {
    int Width = 0;
    int Height = 0;
};

// One fractal apart from any window: its parameter block, its view of the plane with the zoom
// target, its picture size, the history of what it has shown, and the requests that change
// them. The document window shows it and forwards the user's commands here; the render session
// runs its block.
class TFractalDocument {
public:
    // The picture a new document starts with.
    static constexpr int DefaultWidth = 400;
    static constexpr int DefaultHeight = 300;
    // Room around the picture in a window's client area: the view's border and the status bar.
    static constexpr TPixelSize ClientMargin{20, 40};

    // The client size of a window that follows its picture, in a frame with the given client
    // size: the picture and its margin while it fits, else the frame less a margin of its own.
    static TPixelSize ClientSizeFor(TPixelSize picture, TPixelSize frame);

    // A new document: it draws a set at its first run and starts in rectangle mode.
    TFractalDocument();
    // A document for a parameter file's set, settings, view and picture size. It renders that
    // set from the file's clock value instead of drawing one.
    explicit TFractalDocument(const TParameterFile& file);
    // Throws EParameterFile when the file cannot be read, EDocumentOpen when its picture is
    // larger than a window shows or its set fails its warm-up.
    static std::unique_ptr<TFractalDocument> Open(const std::string& fileName);

    TFractalParams& Params() { return FParams; }
    const TFractalParams& Params() const { return FParams; }
    const TViewFit& View() const { return FView; }
    // Equal to the block's ImageWidth and ImageHeight once the document has been shown; before
    // that 0, and nothing that needs a picture acts.
    int DocWidth() const { return FDocWidth; }
    int DocHeight() const { return FDocHeight; }
    double PixelStepX() const { return FPixelStepX; }
    double PixelStepY() const { return FPixelStepY; }
    bool FirstShowPending() const { return FFirstShowPending; }
    bool RectangleMode() const { return FRectangleMode != BoolFalse; }
    void ToggleRectangleMode() { FRectangleMode = RectangleMode() ? BoolFalse : BoolTrue; }

    // ---- First showing and runs ------------------------------------------------------------
    // A black picture of the default size (an opened document's: its file's), which becomes
    // the block's image; the view that shows it owns it.
    std::unique_ptr<TPixelGraphic> FirstPicture();
    // The default settings and view for the picture the block now has; an opened document
    // keeps its file's.
    void StoreDefaults();
    // Opened from a parameter file rather than new.
    bool Opened() const { return FOpened; }
    // The clock value a set the document was given (by its file or its history) was drawn
    // from, where known.
    std::optional<std::uint32_t> KeptDrawClock() const { return FKeptDrawClock; }
    // The generator state the first run of a given set starts from: where the draw of the set
    // left the generator. Given once; later runs go on as a drawn set's do.
    std::optional<std::uint32_t> TakeOrbitSeed() { return std::exchange(FOrbitSeed, {}); }
    void FirstShowDone() { FFirstShowPending = false; }
    // A black picture of the document's size for a restart, which becomes the block's image;
    // the tick starts again at 0.
    std::unique_ptr<TPixelGraphic> NewPicture();
    // The start of a run: the rectangle fitted to the picture and copied into the block, and
    // the abort flag cleared.
    void PrepareRun();
    void RequestAbort() { FParams.AbortRequested = BoolTrue; }
    // The picture has grown: whatever shows it repaints.
    void PictureChanged();
    // The end of a restart: the run stays stopped and the picture is shown complete.
    void EndRun();
    // The counters the window's caption shows while a run is in progress; the tick then
    // advances, which turns the rotations.
    std::string TickCaption();

    // ---- Commands --------------------------------------------------------------------------
    // Draw: the next run starts with a new coefficient set.
    void RequestNewCoefficients() { FParams.NewCoefficients = BoolTrue; }
    // Back to the default view; the coefficient set stays.
    void ResetCoordinates();
    void AdjustCoords() { FView.AdjustCoords(FDocWidth, FDocHeight); }
    // The view of the plane, shown from the next run on.
    void SetView(double xCenter, double yCenter, double magnification);
    // A new picture size, from the next run on; centre and magnification stay.
    void Resize(int width, int height);

    // ---- Cursor and zoom target ------------------------------------------------------------
    // The plane point that pixel (i, j) of the picture being rendered shows.
    TPlanePoint PointAt(int i, int j) const;
    // The point under the mouse pointer; nothing before the document has a picture.
    std::optional<TPlanePoint> MoveCursor(int i, int j);
    TPlanePoint Cursor() const { return FCursor; }
    // The point under the pointer after the view changed: its pixel now shows another one.
    TPlanePoint FollowView();
    // A mouse press at (x, y) on the picture.
    void Press(double x, double y);
    double ClickX() const { return FClickX; }
    double ClickYUp() const { return FClickYUp; }
    // The zoom target a mouse release sets, from the selection drawn in rectangle mode or, in
    // click mode, from a rectangle of half the picture's sides around the press. The target
    // gets the picture's proportions at the same mean side; returns the selection that shows it.
    TPixelRect Release(const TPixelRect& selection);
    // Whether a zoom can go ahead; `selected` tells whether the view has a selection.
    enum class TZoomCheck { Ready, NoPicture, NothingSelected, EmptyTarget };
    TZoomCheck CheckZoom(bool selected) const;
    // The message that tells the user why a zoom did not go ahead.
    static const char* ZoomRefusal(TZoomCheck check);
    // Makes the zoom target the view; the next run renders it.
    void ZoomToTarget();
    // A view that shows the set's attractor whole, found from a sample of the orbit of the set
    // drawn at `drawClock` (the given set's clock when none); the next run renders it. False,
    // and nothing changes, while there is no accepted set or its sample shows no extent.
    bool FitToAttractor(std::optional<std::uint32_t> drawClock);
    // The selected part of the shown picture, enlarged to the document's size, as the block's
    // image until the zoomed picture grows.
    std::unique_ptr<TPixelGraphic> ZoomPreview(const TPixelGraphic& shown,
                                               const TPixelRect& selection);

    // ---- History ---------------------------------------------------------------------------
    // Zooms, Reset and size changes record themselves; a drawn set is recorded here, once the
    // set drawn at `drawClock` has passed its warm-up.
    void SetAccepted(std::uint32_t drawClock);
    const TDocumentHistory& History() const { return FHistory; }
    // Another set, as a gallery or a mutation gives it: its set, settings, view, size and clock
    // become the document's and are recorded; the next run renders it without drawing.
    void ShowSet(const TParameterFile& file);
    // The previous or next entry becomes the document's set, settings, view and size; the next
    // run renders it from its clock value without drawing. False at the ends.
    bool GoBack();
    bool GoForward();

    // ---- Parameter file --------------------------------------------------------------------
    // The set, settings, view and size, with the clock value the set was drawn from (when none
    // is given, that of the set the document was given).
    TParameterFile ToParameterFile(std::optional<std::uint32_t> drawClock) const;
    void SaveParameters(const std::string& fileName, std::optional<std::uint32_t> drawClock) const;

private:
    // The file's set, settings and view, kept rather than drawn.
    void Adopt(const TParameterFile& file);
    void RecordView();
    bool Restore(const std::optional<TParameterFile>& entry);
    TParameterFile HistoryEntry(std::optional<std::uint32_t> drawClock) const;

    TFractalParams FParams;
    TViewFit FView;
    int FDocWidth = 0;
    int FDocHeight = 0;
    double FPixelStepX = 0.0;
    double FPixelStepY = 0.0;
    TBool32 FRectangleMode = BoolTrue;
    bool FFirstShowPending = true;
    bool FOpened = false;
    std::optional<std::uint32_t> FKeptDrawClock;
    std::optional<std::uint32_t> FOrbitSeed;
    double FClickX = 0.0;
    double FClickYUp = 0.0;
    TPlanePoint FCursor;
    std::optional<std::pair<int, int>> FCursorPixel;
    TDocumentHistory FHistory;
};
