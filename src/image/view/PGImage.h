#pragma once

#include "image/PGPalette.h"
#include "image/PGTypes.h"

#include <QCursor>
#include <QImage>
#include <QScrollArea>
#include <QString>

#include <memory>

class QMenu;
class QMouseEvent;
class QPainter;
class TCreatePaintPGThread;
class TPicBox;
class TPixelGraphic;
class TSelectionFrame;
class TViewMouseTool;

// What a left-button drag on the picture does.
enum TActionMode {
    amMoveImage,
    amMoveResizeCreateSelection,
    amMoveSelection,
    amMoveSelectionMoveImage,
    amCreateSelection,
    amNone
};

// How the paint box is sized against the client area; KAR keeps the aspect ratio.
enum TStretch {
    sNeverKAR,
    sAlways,
    sAlwaysKAR,
    sShrink,
    sShrinkKAR,
    sEnlarge,
    sEnlargeKAR,
    sAlwaysLongerEdgeKAR,
    sShrinkLongerEdgeKAR,
    sEnlargeShrinkLongerEdgeKAR,
    sEnlargeLongerEdgeKAR,
    sZoomKAR
};

// Repetition of the picture around the paint box, optionally mirrored in every other tile.
enum TTiling { tNone, tRepeat, tMirrorHorizontal, tMirrorVertical, tMirror };

// A scrolling view of one TPixelGraphic. The paint box (TPicBox) marks where the picture is
// shown; the view sizes, centres and scrolls it and paints the picture into its own client area.
// The view owns the picture handed to it. What the mouse does on the paint box (dragging the
// picture, drawing, moving and resizing the selection) is the view's mouse tool, and the
// selection's animated frame is drawn by the paint box over the picture.
//
// When the screen has too few colours for the picture, or StretchMode asks for a smoothing
// stretch to a paint box of another size, the view paints a paint copy instead, built by
// default on a background thread while progress clocks stand in for it. Every change of the
// shown picture stops that thread first.
class TPGImage : public QScrollArea {
    Q_OBJECT

public:
    explicit TPGImage(QWidget* parent = nullptr);
    ~TPGImage() override;

    // ---- Picture ---------------------------------------------------------------------------
    TPixelGraphic* PixelGraphic() const { return FPixelGraphic.get(); }
    // Frees the current picture and takes `graphic` (may be null) into ownership.
    void SetPixelGraphic(std::unique_ptr<TPixelGraphic> graphic);
    // The reaction to the picture's OnChange: auto-size report, layout, repaint.
    void PixelGraphicChanged();
    int PictureWidth() const { return FPictureWidth; }
    int PictureHeight() const { return FPictureHeight; }
    // Scale of the last layout; -1 when the two axes were scaled differently.
    long double EffectiveZoom() const { return FEffectiveZoom; }
    TPicBox* PicBox() const { return FPicBox; }
    // What the current left-button drag on the paint box does.
    std::uint8_t DragState() const;

    // ---- Paint copy ------------------------------------------------------------------------
    // Whether painting needs a paint copy; starts building one when it is needed and missing
    // or stale.
    bool PreparePaintPixelGraphic();
    TPixelGraphic* PaintPixelGraphic() const { return FPaintPixelGraphic.get(); }
    bool PaintPixelGraphicStale() const { return FPaintPixelGraphicStale; }
    // With KeepOldPaintPixelGraphic and UseThread only marks the copy stale, so that it stays
    // on the screen until the new one arrives; otherwise frees it.
    void DiscardPaintPixelGraphic();
    // The builder of the current (or last) paint copy; a stand-in that never runs until the
    // first copy is needed.
    const TCreatePaintPGThread& PaintThread() const { return *FPaintThread; }
    // The palette of what is painted: the paint copy when one is needed, else the picture;
    // none for the fixed system palettes, and none while there is nothing to paint.
    std::shared_ptr<const TPGPalette> PaletteHandle();
    // Bits per pixel of the screen the view paints for. 0 (the default) follows the real
    // screen; another value stands for a display mode of that depth. A change marks the paint
    // copy stale.
    int ScreenDepth() const;
    void SetScreenDepth(int bitsPerPixel);
    // The display mode changed: the paint copy is rebuilt for it.
    void DisplayModeChanged();
    // What the clocks show: the build's stage (of StageCount) and that stage's percentage.
    int ProgressClockStage() const { return FClockStage; }
    int ProgressClockStageCount() const { return FClockStageCount; }
    int ProgressClockPercent() const { return FClockPercent; }

    // ---- Layout ----------------------------------------------------------------------------
    void Arrange(bool forced);
    void InvalidateView();
    // Paint-box pixels to picture pixels and back; 0 when the divisor is 0.
    int BoxToImageX(int x) const;
    int BoxToImageY(int y) const;
    int ImageToBoxX(int x) const;
    int ImageToBoxY(int y) const;

    // ---- Files -----------------------------------------------------------------------------
    // Clears FileName and the picture, then loads the file; on failure the view stays empty
    // and the exception passes on.
    void LoadImageFile(const QString& fileName);
    virtual void SaveImageFile(const QString& fileName);
    const QString& FileName() const { return FFileName; }
    // Stores the name and loads that file.
    void SetFileName(const QString& fileName);

    // ---- Selection -------------------------------------------------------------------------
    bool Selection() const { return FSelection; }
    // A selection's frame is animated while it exists.
    void SetSelection(bool value);
    int SelectionLeft() const { return FSelectionLeft; }
    int SelectionTop() const { return FSelectionTop; }
    int SelectionWidth() const { return FSelectionWidth; }
    int SelectionHeight() const { return FSelectionHeight; }
    void SetSelectionLeft(int value);
    void SetSelectionTop(int value);
    void SetSelectionWidth(int value);
    void SetSelectionHeight(int value);
    // The one writer of the four values; repaints only the strips along the old and new frame.
    // The values are not clamped to the picture.
    void SetSelectionBounds(int left, int top, int width, int height);
    // In picture pixels, and converted to paint-box pixels.
    QRect SelectionRect() const;
    QRect SelectionBoxRect() const;
    // 0..7; advances every 50 ms while there is a selection.
    int SelectionAnimationPhase() const;
    TColor SelectionColor1() const { return FSelectionColor1; }
    TColor SelectionColor2() const { return FSelectionColor2; }
    void SetSelectionColor1(TColor value);
    void SetSelectionColor2(TColor value);

    // ---- Layout properties -----------------------------------------------------------------
    TActionMode ActionMode() const { return FActionMode; }
    void SetActionMode(TActionMode value);
    TStretch Stretch() const { return FStretch; }
    void SetStretch(TStretch value);
    bool Center() const { return FCenter; }
    void SetCenter(bool value);
    // The scale of the picture on the screen under sZoomKAR. It does not change what the picture
    // shows: a document's magnification and zoom target choose that part of the plane.
    long double ZoomFactor() const { return FZoomFactor; }
    void SetZoomFactor(long double value);
    bool RearrangeAlways() const { return FRearrangeAlways; }
    void SetRearrangeAlways(bool value) { FRearrangeAlways = value; }
    bool AutoSize() const { return FAutoSize; }
    void SetAutoSize(bool value);
    int AutoSizeMaxWidth() const { return FAutoSizeMaxWidth; }
    int AutoSizeMaxHeight() const { return FAutoSizeMaxHeight; }
    int AutoSizeMinWidth() const { return FAutoSizeMinWidth; }
    int AutoSizeMinHeight() const { return FAutoSizeMinHeight; }
    void SetAutoSizeMaxWidth(int value);
    void SetAutoSizeMaxHeight(int value);
    void SetAutoSizeMinWidth(int value);
    void SetAutoSizeMinHeight(int value);

    // ---- Drawing properties ----------------------------------------------------------------
    bool FlipHorizontal() const { return FFlipHorizontal; }
    void SetFlipHorizontal(bool value);
    bool FlipVertical() const { return FFlipVertical; }
    void SetFlipVertical(bool value);
    TTiling Tiling() const { return FTiling; }
    void SetTiling(TTiling value);
    // The colour of the client area around the paint box.
    TColor Color() const { return FColor; }
    void SetColor(TColor value);
    // The brush of the frame drawn while no picture can be shown; follows Color while
    // PicBoxParentColor is on, and setting it switches that off.
    TColor PicBoxColor() const { return FPicBoxColor; }
    void SetPicBoxColor(TColor value);
    bool PicBoxParentColor() const { return FPicBoxParentColor; }
    void SetPicBoxParentColor(bool value);
    TColor PicBoxFrameColor() const { return FPicBoxFrameColor; }
    void SetPicBoxFrameColor(TColor value);
    bool ProgressClockVisible() const { return FProgressClockVisible; }
    void SetProgressClockVisible(bool value) { FProgressClockVisible = value; }
    bool Progress5Clocks() const { return FProgress5Clocks; }
    void SetProgress5Clocks(bool value) { FProgress5Clocks = value; }
    TColor ProgressClockBkColor() const { return FProgressClockBkColor; }
    void SetProgressClockBkColor(TColor value) { FProgressClockBkColor = value; }
    TColor ProgressClockLineColor() const { return FProgressClockLineColor; }
    void SetProgressClockLineColor(TColor value) { FProgressClockLineColor = value; }

    // ---- Paint-copy properties -------------------------------------------------------------
    TStretchMode StretchMode() const { return FStretchMode; }
    void SetStretchMode(TStretchMode value);
    bool Dither() const { return FDither; }
    void SetDither(bool value);
    std::uint8_t DitherErrorLimit() const { return FDitherErrorLimit; }
    void SetDitherErrorLimit(std::uint8_t value);
    bool DitherErrorLimitAuto() const { return FDitherErrorLimitAuto; }
    void SetDitherErrorLimitAuto(bool value);
    bool DitherErrorLimitSoft() const { return FDitherErrorLimitSoft; }
    void SetDitherErrorLimitSoft(bool value);
    bool RGBWeighting() const { return FRGBWeighting; }
    void SetRGBWeighting(bool value);
    bool Allow24BitStretch() const { return FAllow24BitStretch; }
    void SetAllow24BitStretch(bool value);
    TPaletteIdent Palette8BitSys24BitGraphic() const { return FPalette8BitSys24BitGraphic; }
    void SetPalette8BitSys24BitGraphic(TPaletteIdent value);
    TPaletteIdent Palette8BitSys8BitGraphic() const { return FPalette8BitSys8BitGraphic; }
    void SetPalette8BitSys8BitGraphic(TPaletteIdent value);
    bool UseThread() const { return FUseThread; }
    void SetUseThread(bool value);
    bool KeepOldPaintPixelGraphic() const { return FKeepOldPaintPixelGraphic; }
    void SetKeepOldPaintPixelGraphic(bool value) { FKeepOldPaintPixelGraphic = value; }
    bool ReduceOnLoad() const { return FReduceOnLoad; }
    void SetReduceOnLoad(bool value) { FReduceOnLoad = value; }

    // ---- Loading and saving properties -----------------------------------------------------
    TColor BackGroundColor() const { return FBackGroundColor; }
    void SetBackGroundColor(TColor value) { FBackGroundColor = value; }
    bool ShowHourGlass() const { return FShowHourGlass; }
    void SetShowHourGlass(bool value) { FShowHourGlass = value; }
    TPGWarningAction ReadWarningAction() const { return FReadWarningAction; }
    void SetReadWarningAction(TPGWarningAction value) { FReadWarningAction = value; }
    TPGWarningAction SaveColorResWarningAction() const { return FSaveColorResWarningAction; }
    void SetSaveColorResWarningAction(TPGWarningAction value) {
        FSaveColorResWarningAction = value;
    }

    // ---- Paint-box and control properties --------------------------------------------------
    // The paint box's cursor where no rule of the mouse tool applies.
    QCursor PicBoxCursor() const { return FPicBoxCursor; }
    void SetPicBoxCursor(const QCursor& cursor);
    QString PicBoxHint() const { return FPicBoxHint; }
    void SetPicBoxHint(const QString& hint);
    bool PicBoxShowHint() const { return FPicBoxShowHint; }
    void SetPicBoxShowHint(bool value);
    int PicBoxTag() const { return FPicBoxTag; }
    void SetPicBoxTag(int value) { FPicBoxTag = value; }
    // Context menus shown on a right click over the paint box or the rest of the control; the
    // paint box falls back to the control's menu. Not owned.
    QMenu* PicBoxPopupMenu() const { return FPicBoxPopupMenu; }
    void SetPicBoxPopupMenu(QMenu* menu) { FPicBoxPopupMenu = menu; }
    QMenu* PopupMenu() const { return FPopupMenu; }
    void SetPopupMenu(QMenu* menu) { FPopupMenu = menu; }

    QSize sizeHint() const override { return {100, 100}; }

signals:
    // The size that would fit the picture, after every picture change.
    void OnNewAutoSize(int PGImageWidth, int PGImageHeight);
    void OnPainting();
    void OnPaint();
    void OnPixelGraphicChange();
    void OnPixelGraphicProgress(int step, int max, bool& abort);
    void OnPixelGraphicProgressStart();
    void OnPixelGraphicProgressEnd();
    void OnSelectionChange();
    // A drag that created, moved or resized the selection has ended; the user's mouse-up
    // handler has already run.
    void OnSelectionMade();
    // The cursor chosen for the control around the paint box, or for the paint box; a handler
    // may replace it.
    void OnSetCursor(QCursor& cursor);
    void PicBoxOnSetCursor(QCursor& cursor);
    void OnZoomFactorChange();
    // Mouse events of the control outside the paint box, in client coordinates.
    void OnMouseDown(QMouseEvent* event);
    void OnMouseMove(QMouseEvent* event);
    void OnMouseUp(QMouseEvent* event);
    void OnDblClick(QMouseEvent* event);
    // Mouse events of the paint box, in paint-box coordinates. A double click arrives as
    // PicBoxOnDblClick followed by a PicBoxOnMouseDown whose type() is MouseButtonDblClick.
    void PicBoxOnMouseDown(QMouseEvent* event);
    void PicBoxOnMouseMove(QMouseEvent* event);
    void PicBoxOnMouseUp(QMouseEvent* event);
    void PicBoxOnDblClick(QMouseEvent* event);
    // After the paint box has drawn its own overlay; `painter` paints on the paint box.
    void PicBoxOnPaint(QPainter* painter);

protected:
    // Paints the client area: the colour strips, the picture's tiles, or the empty frame.
    virtual void PaintGraphic(QPainter& painter, const QRect& clip);

    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    // The paint-copy thread's progress and finished copy.
    void customEvent(QEvent* event) override;

private:
    friend class TPicBox;

    // What the paint copy needs now, before anything is built or freed.
    struct TPaintCopyNeed {
        bool Stale;
        bool Needed;
        bool Stretch;
        int ScreenDepth;
    };
    TPaintCopyNeed PaintCopyNeed() const;
    void StartPaintCopy(const TPaintCopyNeed& need);
    // Sets the thread's terminate flag and waits for its end.
    void StopPaintThread();
    // The finished paint copy; with ReduceOnLoad it becomes the picture itself.
    void ReceivePaintPixelGraphic(std::unique_ptr<TPixelGraphic> copy);
    void RepaintProgressClocks();

    int Border() const;
    void ChangeBounds(int width, int height);
    void ConnectProgressEvents(TPixelGraphic& graphic);
    void ConnectChangeEvent(TPixelGraphic& graphic);
    void DrawTiles(QPainter& painter, const QRect& clip, TPixelGraphic& picture);
    void SetAutoSizeBound(int& bound, int value);
    void SetSelectionColor(TColor& color, TColor value);
    void SetInvalidating(bool& field, bool value);
    // A setting the paint copy is built with: a change rebuilds it.
    template <typename T> void SetRebuilding(T& field, T value) {
        if (value == field)
            return;
        field = value;
        PixelGraphicChanged();
    }
    // A dither setting matters only while dithering.
    template <typename T> void SetDitherSetting(T& field, T value) {
        if (value == field)
            return;
        field = value;
        if (FDither)
            PixelGraphicChanged();
    }

    TPicBox* FPicBox;
    TSelectionFrame* FSelectionFrame;
    TViewMouseTool* FMouseTool;
    QCursor FPicBoxCursor;
    std::unique_ptr<TPixelGraphic> FPixelGraphic;
    std::unique_ptr<TPixelGraphic> FPaintPixelGraphic;
    bool FPaintPixelGraphicStale = true;
    // The size the paint copy was built for.
    QSize FPaintPixelGraphicSize;
    std::unique_ptr<TCreatePaintPGThread> FPaintThread;
    int FScreenDepth = 0;
    QImage FPaintBuffer;
    QString FFileName;
    int FPictureWidth = 0;
    int FPictureHeight = 0;
    long double FEffectiveZoom = 1.0L;
    // The progress-clock state shown while a paint copy is being built.
    int FClockStage = 1;
    int FClockStageCount = 1;
    int FClockPercent = 0;

    TActionMode FActionMode = amMoveImage;
    TStretch FStretch = sNeverKAR;
    bool FCenter = false;
    long double FZoomFactor = 1.0L;
    bool FRearrangeAlways = false;
    bool FAutoSize = false;
    int FAutoSizeMaxWidth = 2147483647;
    int FAutoSizeMaxHeight = 2147483647;
    int FAutoSizeMinWidth = 0;
    int FAutoSizeMinHeight = 0;

    bool FFlipHorizontal = false;
    bool FFlipVertical = false;
    TTiling FTiling = tNone;
    TColor FColor;
    TColor FPicBoxColor;
    bool FPicBoxParentColor = true;
    TColor FPicBoxFrameColor;
    bool FProgressClockVisible = true;
    bool FProgress5Clocks = true;
    TColor FProgressClockBkColor;
    TColor FProgressClockLineColor;

    TStretchMode FStretchMode = smFast;
    bool FDither = true;
    std::uint8_t FDitherErrorLimit = 32;
    bool FDitherErrorLimitAuto = true;
    bool FDitherErrorLimitSoft = true;
    bool FRGBWeighting = true;
    bool FAllow24BitStretch = false;
    TPaletteIdent FPalette8BitSys24BitGraphic = pOptimized252Sys16;
    TPaletteIdent FPalette8BitSys8BitGraphic = pOptimized252Sys16;
    bool FUseThread = true;
    bool FKeepOldPaintPixelGraphic = false;
    bool FReduceOnLoad = false;

    TColor FBackGroundColor = 0;
    bool FShowHourGlass = true;
    TPGWarningAction FReadWarningAction = pgwaOKCancelBox;
    TPGWarningAction FSaveColorResWarningAction = pgwaOKCancelBox;

    bool FSelection = false;
    int FSelectionLeft = 0;
    int FSelectionTop = 0;
    int FSelectionWidth = 1;
    int FSelectionHeight = 1;
    TColor FSelectionColor1 = RGB(255, 255, 255);
    TColor FSelectionColor2 = RGB(255, 0, 0);

    QString FPicBoxHint;
    bool FPicBoxShowHint = false;
    int FPicBoxTag = 0;
    QMenu* FPicBoxPopupMenu = nullptr;
    QMenu* FPopupMenu = nullptr;
};
