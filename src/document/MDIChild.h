#pragma once

#include "engine/FractalParams.h"
#include "engine/ViewFit.h"

#include <QPoint>
#include <QSize>
#include <QWidget>

#include <optional>

class QAction;
class QLabel;
class QMenu;
class QMouseEvent;
class QStatusBar;
class QTimer;
class TForm2;
class TForm4;
class TPGImage;
class TPGSaveDialog;
class TRenderSession;
class TXYSize;

// The buttons and modifier keys of the last mouse event on the picture.
struct TShiftState {
    Qt::MouseButtons Buttons;
    Qt::KeyboardModifiers Modifiers;
    bool DoubleClick = false;

    // The left button alone: no other button, no Shift, Ctrl or Alt, not a double click.
    bool ExactlyLeft() const {
        return Buttons == Qt::LeftButton &&
               !(Modifiers & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier)) &&
               !DoubleClick;
    }
};

// A document window: one fractal with its parameter block, its view of the plane and its
// picture. Its render runs happen on the user-interface thread through the shared session;
// every handler of the program, this window's own included, runs while a picture grows.
class TMDIChild : public QWidget {
    Q_OBJECT

public:
    TMDIChild(TRenderSession& session, TForm4& form4, TXYSize& xySize, QWidget* parent = nullptr);

    // The picture a new document starts with.
    static constexpr QSize DefaultPictureSize{400, 300};
    // The client size for the view's automatic size (picture and border) when the picture fits
    // the frame: room for the status bar.
    static QSize ClientSizeFor(QSize viewSize) { return viewSize + QSize(20, 40); }
    // The client size of a new document, whose view shows the default picture in a sunken
    // border of two pixels (the view's frame style).
    static QSize DefaultClientSize() { return ClientSizeFor(DefaultPictureSize + QSize(4, 4)); }

    // ---- Components ----------------------------------------------------------------------
    QTimer* Timer1;
    QTimer* Timer2;
    TPGImage* PGImage1;
    QStatusBar* StatusBar1;
    // Cursor x, cursor y and magnification.
    QLabel* StatusPanels[3];
    QMenu* PopupMenu1;
    QAction* Zoom1;
    QAction* RectangleMode1;
    QAction* ClearRectangle2;
    TPGSaveDialog* PGSaveDialog1;

    // ---- State ---------------------------------------------------------------------------
    TFractalParams Params;
    // Centre, magnification, the fitted rectangle and the zoom target.
    TViewFit View;
    // Always equal to the block's ImageWidth and ImageHeight.
    int DocWidth = 0;
    int DocHeight = 0;
    double PixelStepX = 0.0;
    double PixelStepY = 0.0;
    TBool32 RectangleMode = BoolFalse;
    double ClickX = 0.0;
    double ClickYUp = 0.0;
    TShiftState LastShift;
    double CursorX = 0.0;
    double CursorY = 0.0;
    TBool32 FirstShowPending = BoolFalse;
    QString SavedCaption;

    // ---- Coordinates ---------------------------------------------------------------------
    void ResetCoordinates();
    void AdjustCoords();
    void PGImage1PicBoxOnMouseMove(QMouseEvent* event);
    void PGImage1NewAutoSize(int PGImageWidth, int PGImageHeight);
    void UpdateMenuItems();

    // ---- Zoom ----------------------------------------------------------------------------
    // The zoom chooses a new part of the plane (centre and Magnification) and renders it
    // afresh; it is not the view's ZoomFactor, which would only scale the picture on the screen.
    void PGImage1PicBoxOnMouseDown(QMouseEvent* event);
    // Sets the zoom target from the rectangle drawn or the point clicked.
    void PGImage1PicBoxOnMouseUp(QMouseEvent* event);
    void PGImage1PicBoxOnDblClick(QMouseEvent* event);
    void Zoom1Click();
    void RectangleMode1Click();
    void ClearRectangle2Click();

    // ---- Rendering -----------------------------------------------------------------------
    void Timer1Timer();
    // The first showing: picture, defaults, view, and the first run.
    void FormPaint();
    // Restart on a fresh picture. While any run is in progress, that run ends first.
    void UpdateGrafX();
    void TypeFractal();
    void Timer2Timer();
    void Abort();

    // ---- Tool windows --------------------------------------------------------------------
    void Parameters1Click();
    void ApplyParameters();
    // Draw: the next run starts with a new coefficient set.
    void RequestNewCoefficients();
    void XYSize1Click();
    void Resolution();

    // ---- Saving --------------------------------------------------------------------------
    // Writes the current coefficient set, settings and view to a parameter file that
    // quarn-render --params renders; it may run while the picture grows.
    void SaveParameters1Click();
    // The file-options command; it uses nothing of a document, so it runs without one too.
    static void Options1Click(TForm2& form2);
    // Allowed while rendering: it saves the picture as far as it has grown.
    void SaveAs1Click();

signals:
    // A run of this document is about to enter the engine.
    void RunStarted();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void Restart();
    // The view's action mode as RectangleMode asks, so that the next press already acts in it.
    void ApplyRectangleMode();
    void ShowStatusPanels();
    // The panels after the view of the plane changed: the magnification, and the point under
    // the cursor where it last was.
    void ShowViewChange();

    std::optional<QPoint> FCursorPixel;

    TRenderSession& FSession;
    TForm4& FForm4;
    TXYSize& FXYSize;
};
