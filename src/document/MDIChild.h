#pragma once

#include "document/DocumentPopupMenu.h"
#include "document/DocumentStatusBar.h"
#include "document/FractalDocument.h"
#include "document/FractalView.h"
#include "document/RenderSession.h"

#include <QAction>
#include <QSize>
#include <QWidget>

#include <memory>

class QAction;
class QMouseEvent;
class QTimer;
class TForm2;
class TForm4;
class TPGSaveDialog;
class TMutationWindow;
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

// A document window: it shows one fractal document, its picture and where the mouse points, and
// forwards the user's commands to the document. Its render runs happen on the user-interface
// thread through the shared session; every handler of the program, this window's own included,
// runs while a picture grows.
class TMDIChild : public QWidget {
    Q_OBJECT

public:
    TMDIChild(TRenderSession& session, TForm4& form4, TXYSize& xySize,
              std::unique_ptr<TFractalDocument> document, QWidget* parent = nullptr);

    // The picture a new document starts with.
    static constexpr QSize DefaultPictureSize{TFractalDocument::DefaultWidth,
                                              TFractalDocument::DefaultHeight};
    // The client size for the view's automatic size (picture and border) when the picture fits
    // the frame: room for the status bar.
    static QSize ClientSizeFor(QSize viewSize) {
        return viewSize +
               QSize(TFractalDocument::ClientMargin.Width, TFractalDocument::ClientMargin.Height);
    }
    // The client size of a new document, whose view shows the default picture in a sunken
    // border of two pixels (the view's frame style).
    static QSize DefaultClientSize() { return ClientSizeFor(DefaultPictureSize + QSize(4, 4)); }

    // ---- Components ----------------------------------------------------------------------
    QTimer* Timer1() const { return FTimer1; }
    QTimer* Timer2() const { return FTimer2; }
    TPGImage* PGImage1() const { return FPGImage1; }
    QStatusBar* StatusBar1() const { return FStatusBar1; }
    // Cursor x, cursor y and magnification.
    QLabel* StatusPanel(int index) const { return FStatusBar1->Panel(index); }
    QMenu* PopupMenu1() const { return FPopupMenu1; }
    QAction* Zoom1() const { return FPopupMenu1->Zoom1(); }
    QAction* RectangleMode1() const { return FPopupMenu1->RectangleMode1(); }
    QAction* ClearRectangle2() const { return FPopupMenu1->ClearRectangle2(); }
    QAction* Fit1() const { return FPopupMenu1->Fit1(); }
    QAction* Back1() const { return FPopupMenu1->Back1(); }
    QAction* Forward1() const { return FPopupMenu1->Forward1(); }
    QAction* Mutate1() const { return FPopupMenu1->Mutate1(); }
    // Made on first use of Mutate.
    TMutationWindow* MutationWindow() const { return FMutationWindow; }

    // ---- State ---------------------------------------------------------------------------
    TFractalDocument& Document() { return *FDocument; }
    const TFractalDocument& Document() const { return *FDocument; }
    // The window's name, without the counters a run shows in its caption.
    const QString& SavedCaption() const { return FSavedCaption; }
    const TShiftState& LastShift() const { return FLastShift; }

    // ---- Coordinates ---------------------------------------------------------------------
    void ResetCoordinates() { FDocument->ResetCoordinates(); }
    void AdjustCoords() { FDocument->AdjustCoords(); }
    void PGImage1PicBoxOnMouseMove(QMouseEvent* event);
    void PGImage1NewAutoSize(int PGImageWidth, int PGImageHeight);
    // The check mark of RectangleMode1; Back and Forward enabled where the history goes on.
    void UpdateMenuItems() {
        RectangleMode1()->setChecked(FDocument->RectangleMode());
        Back1()->setEnabled(FDocument->History().CanGoBack());
        Forward1()->setEnabled(FDocument->History().CanGoForward());
        Mutate1()->setEnabled(!FDocument->History().Empty());
    }

    // ---- Zoom ----------------------------------------------------------------------------
    // The zoom chooses a new part of the plane (centre and Magnification) and renders it
    // afresh; it is not the view's ZoomFactor, which would only scale the picture on the screen.
    void PGImage1PicBoxOnMouseDown(QMouseEvent* event);
    // Sets the zoom target from the rectangle drawn or the point clicked.
    void PGImage1PicBoxOnMouseUp(QMouseEvent* event);
    void PGImage1PicBoxOnDblClick(QMouseEvent* event);
    void Zoom1Click();
    void RectangleMode1Click();
    void ClearRectangle2Click() { FPGImage1->SetSelection(false); }

    // The view that shows the set's attractor whole, rendered afresh; the set stays.
    void Fit1Click() {
        if (FDocument->FitToAttractor(FSession.DrawClockOf(FDocument->Params())))
            UpdateGrafX();
    }

    // ---- History -------------------------------------------------------------------------
    // The previous or next set and view of the document, rendered again without drawing.
    void Back1Click() {
        if (FDocument->GoBack())
            ShowHistoryEntry();
    }
    void Forward1Click() {
        if (FDocument->GoForward())
            ShowHistoryEntry();
    }

    // Another set, from a gallery or a mutation, recorded in the history and rendered.
    void ShowSet(const TParameterFile& file) {
        FDocument->ShowSet(file);
        UpdateMenuItems();
        ShowHistoryEntry();
    }
    // The mutations of the document's set, in a window of its own.
    void Mutate1Click();

    // ---- Rendering -----------------------------------------------------------------------
    void Timer1Timer();
    // The first showing: picture, defaults, view, and the first run.
    void FormPaint();
    // Restart on a fresh picture. While any run is in progress, that run ends first.
    void UpdateGrafX() {
        FSession.Start(FDocument->Params(), [this] { Restart(); });
    }
    void TypeFractal();
    void Timer2Timer();
    void Abort() {
        FDocument->RequestAbort();
        FSession.Cancel(FDocument->Params());
    }

    // ---- Tool windows --------------------------------------------------------------------
    void Parameters1Click();
    void ApplyParameters();
    // Draw: the next run starts with a new coefficient set.
    void RequestNewCoefficients() { FDocument->RequestNewCoefficients(); }
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
    void ShowHistoryEntry();
    // A set drawn in this document's run has passed its warm-up.
    void SetAccepted(std::uint32_t drawClock) {
        FDocument->SetAccepted(drawClock);
        UpdateMenuItems();
    }
    // The view's action mode as RectangleMode asks, so that the next press already acts in it.
    void ApplyRectangleMode() { FPGImage1->ApplyRectangleMode(FDocument->RectangleMode()); }
    // The panels after the view of the plane changed: the magnification, and the point under
    // the cursor where it last was.
    void ShowViewChange() {
        FStatusBar1->Show(FDocument->FollowView(), FDocument->View().Magnification);
    }

    QTimer* FTimer1;
    QTimer* FTimer2;
    TFractalView* FPGImage1;
    TDocumentStatusBar* FStatusBar1;
    TDocumentPopupMenu* FPopupMenu1;
    TPGSaveDialog* FPGSaveDialog1;
    TMutationWindow* FMutationWindow = nullptr;

    std::unique_ptr<TFractalDocument> FDocument;
    TShiftState FLastShift;
    // The caption as it was when the current restart began.
    QString FSavedCaption;

    TRenderSession& FSession;
    TForm4& FForm4;
    TXYSize& FXYSize;
};
