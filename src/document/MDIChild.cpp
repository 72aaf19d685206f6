#include "document/MDIChild.h"

#include "app/ApplicationTitle.h"
#include "app/Messages.h"
#include "document/RenderSession.h"
#include "engine/EngineMath.h"
#include "engine/ParameterFile.h"
#include "export/dialog/PGSaveDialog.h"
#include "image/PixelGraphic.h"
#include "image/view/PGImage.h"
#include "tools/Form2.h"
#include "tools/Form4.h"
#include "tools/XYSize.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMouseEvent>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>

TMDIChild::TMDIChild(TRenderSession& session, TForm4& form4, TXYSize& xySize, QWidget* parent)
    : QWidget(parent), FSession(session), FForm4(form4), FXYSize(xySize) {
    setObjectName(QStringLiteral("MDIChild"));
    resize(399, 199);

    PGImage1 = new TPGImage(this);
    PGImage1->SetColor(RGB(64, 0, 64));
    PGImage1->SetPicBoxColor(RGB(64, 0, 64));
    PGImage1->SetCenter(true);
    PGImage1->SetZoomFactor(1.0L);
    PGImage1->SetActionMode(amNone);
    connect(PGImage1, &TPGImage::PicBoxOnMouseDown, this, &TMDIChild::PGImage1PicBoxOnMouseDown);
    connect(PGImage1, &TPGImage::PicBoxOnMouseMove, this, &TMDIChild::PGImage1PicBoxOnMouseMove);
    connect(PGImage1, &TPGImage::PicBoxOnMouseUp, this, &TMDIChild::PGImage1PicBoxOnMouseUp);
    connect(PGImage1, &TPGImage::OnMouseUp, this, &TMDIChild::PGImage1PicBoxOnMouseUp);
    connect(PGImage1, &TPGImage::PicBoxOnDblClick, this, &TMDIChild::PGImage1PicBoxOnDblClick);
    connect(PGImage1, &TPGImage::OnNewAutoSize, this, &TMDIChild::PGImage1NewAutoSize);

    StatusBar1 = new QStatusBar(this);
    StatusBar1->setSizeGripEnabled(false);
    // The panels keep their widths, so the readouts keep their decimals; in a window narrower
    // than the three, the status bar cuts them off instead, as the window must follow the
    // picture's size.
    auto* panels = new QWidget(StatusBar1);
    panels->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    auto* row = new QHBoxLayout(panels);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    const int panelWidths[] = {150, 150, 120};
    for (int i = 0; i < 3; ++i) {
        StatusPanels[i] = new QLabel(panels);
        StatusPanels[i]->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        StatusPanels[i]->setFixedWidth(panelWidths[i]);
        row->addWidget(StatusPanels[i]);
    }
    row->addStretch();
    StatusBar1->addWidget(panels, 1);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(PGImage1, 1);
    layout->addWidget(StatusBar1);

    PopupMenu1 = new QMenu(this);
    Zoom1 = PopupMenu1->addAction(tr("Zoom In (double click)"));
    RectangleMode1 = PopupMenu1->addAction(tr("Rectangle Mode"));
    RectangleMode1->setCheckable(true);
    PopupMenu1->addSeparator();
    ClearRectangle2 = PopupMenu1->addAction(tr("Clear Rectangle"));
    connect(PopupMenu1, &QMenu::aboutToShow, this, &TMDIChild::UpdateMenuItems);
    // Queued: a zoom renders until Stop, which should not happen inside the menu's own loop.
    connect(Zoom1, &QAction::triggered, this, &TMDIChild::Zoom1Click, Qt::QueuedConnection);
    connect(RectangleMode1, &QAction::triggered, this, &TMDIChild::RectangleMode1Click);
    connect(ClearRectangle2, &QAction::triggered, this, &TMDIChild::ClearRectangle2Click);
    PGImage1->SetPopupMenu(PopupMenu1);
    PGSaveDialog1 = new TPGSaveDialog(this);

    Timer1 = new QTimer(this);
    Timer1->setInterval(100);
    connect(Timer1, &QTimer::timeout, this, &TMDIChild::Timer1Timer);
    Timer2 = new QTimer(this);
    Timer2->setInterval(250);
    connect(Timer2, &QTimer::timeout, this, &TMDIChild::Timer2Timer);

    Params.AbortRequested = BoolFalse;
    Params.NewCoefficients = BoolTrue;
    Params.WhiteBackground = BoolFalse;
    RectangleMode = BoolTrue;
    FirstShowPending = BoolTrue;
    Timer1->start();
}

// ---- Coordinates -------------------------------------------------------------------------

void TMDIChild::ResetCoordinates() {
    View.ResetCoordinates();
}

void TMDIChild::AdjustCoords() {
    View.AdjustCoords(DocWidth, DocHeight);
}

void TMDIChild::PGImage1PicBoxOnMouseMove(QMouseEvent* event) {
    const int i = PGImage1->BoxToImageX(event->position().toPoint().x());
    const int j = PGImage1->BoxToImageY(event->position().toPoint().y());
    LastShift = {event->buttons(), event->modifiers(), false};
    if (DocWidth == 0)
        return;
    PixelStepX = (Params.ViewXMax - Params.ViewXMin) / DocWidth;
    PixelStepY = (Params.ViewYMax - Params.ViewYMin) / DocHeight;
    CursorX = i * PixelStepX + Params.ViewXMin;
    CursorY = j * PixelStepY + Params.ViewYMin;
    FCursorPixel = QPoint(i, j);
    ShowStatusPanels();
}

void TMDIChild::ShowStatusPanels() {
    StatusPanels[0]->setText(QString::asprintf("cx=%1.12f", CursorX));
    StatusPanels[1]->setText(QString::asprintf("cy=%1.12f", CursorY));
    StatusPanels[2]->setText(QString::asprintf("M=%1.12f", View.Magnification));
}

void TMDIChild::ShowViewChange() {
    // The pixel under the cursor now shows another point of the plane.
    if (FCursorPixel) {
        CursorX = FCursorPixel->x() * PixelStepX + Params.ViewXMin;
        CursorY = FCursorPixel->y() * PixelStepY + Params.ViewYMin;
    }
    ShowStatusPanels();
}

void TMDIChild::PGImage1NewAutoSize(int PGImageWidth, int PGImageHeight) {
    auto* window = qobject_cast<QMdiSubWindow*>(parentWidget());
    if (!window || !window->mdiArea() || window->isMinimized() || window->isMaximized())
        return;
    const QSize frameClient = window->mdiArea()->viewport()->size();
    const QSize whole = ClientSizeFor(QSize(PGImageWidth, PGImageHeight));
    const int width = PGImageWidth < frameClient.width() ? whole.width() : frameClient.width() - 50;
    const int height =
        PGImageHeight < frameClient.height() ? whole.height() : frameClient.height() - 70;
    window->resize(window->size() - size() + QSize(width, height));
}

void TMDIChild::UpdateMenuItems() {
    RectangleMode1->setChecked(RectangleMode != BoolFalse);
}

// ---- Zoom --------------------------------------------------------------------------------

void TMDIChild::PGImage1PicBoxOnMouseDown(QMouseEvent* event) {
    // Paint-box positions are picture pixels: the view shows the picture at its natural size.
    const QPoint position = event->position().toPoint();
    ClickX = position.x();
    ClickYUp = Params.ImageHeight - position.y();
    LastShift = {event->buttons(), event->modifiers(),
                 event->type() == QEvent::MouseButtonDblClick};
    if (LastShift.ExactlyLeft())
        ApplyRectangleMode();
}

void TMDIChild::PGImage1PicBoxOnMouseUp(QMouseEvent*) {
    if (!LastShift.ExactlyLeft())
        return;
    if (RectangleMode && !PGImage1->Selection())
        return;
    double centreX;
    double centreY;
    if (RectangleMode) {
        centreX = PGImage1->SelectionWidth() * 0.5 + PGImage1->SelectionLeft();
        centreY = PGImage1->SelectionHeight() * 0.5 + PGImage1->SelectionTop();
    } else {
        PGImage1->SetSelectionWidth(RoundToInt32(DocWidth * 0.5));
        PGImage1->SetSelectionHeight(RoundToInt32(DocHeight * 0.5));
        // The clicked row, counted from the top as the picture's rows are.
        centreX = ClickX;
        centreY = Params.ImageHeight - ClickYUp;
    }
    const TPixelRect target =
        TViewFit::ProportionalRect(centreX, centreY, PGImage1->SelectionWidth(),
                                   PGImage1->SelectionHeight(), DocWidth, DocHeight);
    PGImage1->SetSelectionBounds(target.Left, target.Top, target.Width, target.Height);
    View.SetZoomTarget({PGImage1->SelectionLeft(), PGImage1->SelectionTop(),
                        PGImage1->SelectionWidth(), PGImage1->SelectionHeight()},
                       DocWidth, DocHeight);
}

void TMDIChild::Zoom1Click() {
    if (DocWidth == 0)
        return;
    if (RectangleMode && !PGImage1->Selection()) {
        ShowMessage(this, QStringLiteral("there is nothing selected"));
        return;
    }
    if (!View.ZoomTargetHasExtent()) {
        ShowMessage(this, QStringLiteral("the selected area is empty"));
        return;
    }
    Timer2->stop();
    View.ZoomToTarget();
    PGImage1->SetSelection(false);
    PGImage1->SetActionMode(amNone);
    ReportErrors(this, [this] {
        // The selected part of the old picture, enlarged, until the new one grows.
        auto preview = std::make_unique<TPixelGraphic>();
        preview->SetSize(DocWidth, DocHeight, bc24Bit);
        preview->StretchCopy(0, 0, DocWidth, DocHeight, PGImage1->SelectionLeft(),
                             PGImage1->SelectionTop(), PGImage1->SelectionWidth(),
                             PGImage1->SelectionHeight(), *PGImage1->PixelGraphic());
        // A run in progress ends on its way out with the block's picture, which must stay alive.
        Params.Image = preview.get();
        PGImage1->SetPixelGraphic(std::move(preview));
        Params.Image->NotifyChange(nullptr);
        UpdateGrafX();
    });
}

void TMDIChild::PGImage1PicBoxOnDblClick(QMouseEvent*) {
    Zoom1Click();
    PGImage1->SetSelection(false);
    // The view handles this double click's own press after this handler: with no mode it
    // leaves no selection behind. The mode returns once that press is done, for when no
    // restart follows to set it (a zoom from a stopped document rendered right here).
    PGImage1->SetActionMode(amNone);
    QTimer::singleShot(0, this, &TMDIChild::ApplyRectangleMode);
}

void TMDIChild::RectangleMode1Click() {
    RectangleMode = RectangleMode ? BoolFalse : BoolTrue;
    ApplyRectangleMode();
    UpdateMenuItems();
}

void TMDIChild::ApplyRectangleMode() {
    PGImage1->SetActionMode(RectangleMode ? amMoveResizeCreateSelection : amNone);
}

void TMDIChild::ClearRectangle2Click() {
    PGImage1->SetSelection(false);
}

// ---- Rendering ---------------------------------------------------------------------------

void TMDIChild::Timer1Timer() {
    Timer1->stop();
    ReportErrors(this, [this] { FormPaint(); });
}

void TMDIChild::FormPaint() {
    if (!FirstShowPending)
        return;
    if (const QWidget* window = parentWidget()) {
        const QSize frame = window->size() - size();
        const QSize screenSize = screen()->size();
        PGImage1->SetAutoSizeMaxWidth(screenSize.width() - frame.width());
        PGImage1->SetAutoSizeMaxHeight(screenSize.height() - frame.height());
    }
    ApplyRectangleMode();
    // A second New within 100 ms of the first finds the title already changed back; its
    // document still needs a picture, so it gets the default one as well.
    const bool requested = ApplicationTitle() == NewDocumentTitle;
    if (requested || !PGImage1->PixelGraphic()) {
        Params.ImageWidth = DefaultPictureSize.width();
        Params.ImageHeight = DefaultPictureSize.height();
        auto image = std::make_unique<TPixelGraphic>();
        image->SetSize(DefaultPictureSize.width(), DefaultPictureSize.height(), bc24Bit);
        PGImage1->SetPixelGraphic(std::move(image));
    }
    if (requested)
        SetApplicationTitle(NormalTitle);
    Params.Image = PGImage1->PixelGraphic();
    Params.Image->NotifyChange(nullptr);
    DocWidth = Params.ImageWidth;
    DocHeight = Params.ImageHeight;
    ResetCoordinates();
    Params.StoreDefaults();
    DocWidth = Params.ImageWidth;
    DocHeight = Params.ImageHeight;
    UpdateGrafX();
    FirstShowPending = BoolFalse;
}

void TMDIChild::UpdateGrafX() {
    FSession.Start(Params, [this] { Restart(); });
}

void TMDIChild::Restart() {
    SavedCaption = windowTitle();
    auto image = std::make_unique<TPixelGraphic>();
    image->SetSize(DocWidth, DocHeight, bc24Bit);
    Params.Image = image.get();
    PGImage1->SetPixelGraphic(std::move(image));
    Params.Image->NotifyChange(nullptr);
    UpdateMenuItems();
    // A zoom left the view without a mode; the first press on the new picture must act.
    ApplyRectangleMode();
    Timer2->start();
    Params.Tick = 0;
    TypeFractal();
    Params.AbortRequested = BoolTrue;
    Params.Image->NotifyChange(nullptr);
    Timer2->stop();
}

void TMDIChild::TypeFractal() {
    AdjustCoords();
    View.CopyToParams(Params);
    PixelStepX = (Params.ViewXMax - Params.ViewXMin) / Params.ImageWidth;
    PixelStepY = (Params.ViewYMax - Params.ViewYMin) / Params.ImageHeight;
    ShowViewChange();
    Timer2->start();
    Params.AbortRequested = BoolFalse;
    emit RunStarted();
    FSession.Engine().RunFractal(&Params);
    Params.Image->NotifyChange(nullptr);
    Timer2->stop();
    setWindowTitle(SavedCaption);
}

void TMDIChild::Timer2Timer() {
    Params.Image->NotifyChange(nullptr);
    QCoreApplication::processEvents();
    setWindowTitle(
        QString::asprintf("%d  %d  %.2f3", Params.Tick, Params.StepCount, Params.Lyapunov));
    ++Params.Tick;
    // Only what is already queued: waiting here for the next event would stall the engine
    // until the next tick.
    QCoreApplication::processEvents();
}

void TMDIChild::Abort() {
    Params.AbortRequested = BoolTrue;
    FSession.Cancel(Params);
}

void TMDIChild::closeEvent(QCloseEvent* event) {
    // A document lives as long as the program: closing only stops and minimises it.
    Abort();
    event->ignore();
    if (QWidget* window = parentWidget())
        window->showMinimized();
}

// ---- Tool windows ------------------------------------------------------------------------

void TMDIChild::Parameters1Click() {
    if (FForm4.isVisible()) {
        FForm4.hide();
        return;
    }
    FForm4.LoadSettings(Params);
    FForm4.show();
}

void TMDIChild::ApplyParameters() {
    FForm4.StoreSettings(Params);
}

void TMDIChild::RequestNewCoefficients() {
    Params.NewCoefficients = BoolTrue;
}

void TMDIChild::XYSize1Click() {
    if (FXYSize.isVisible()) {
        FXYSize.hide();
        return;
    }
    FXYSize.RxWidth->setValue(DocWidth);
    FXYSize.RxHeight->setValue(DocHeight);
    FXYSize.show();
}

void TMDIChild::Resolution() {
    if (FXYSize.isVisible()) {
        DocWidth = Params.ImageWidth = RoundToInt32(FXYSize.RxWidth->value());
        DocHeight = Params.ImageHeight = RoundToInt32(FXYSize.RxHeight->value());
    }
    UpdateGrafX();
}

// ---- Saving ------------------------------------------------------------------------------

void TMDIChild::Options1Click(TForm2& form2) {
    form2.LoadOptions();
    if (form2.exec() != QDialog::Accepted)
        return;
    ReportErrors(form2.parentWidget(), [&form2] { form2.StoreOptions(); });
}

void TMDIChild::SaveParameters1Click() {
    QFileDialog dialog(this, tr("Save Parameters"), QString(),
                       tr("Quarn parameters (*.quarn.json)"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("quarn.json"));
    // The same dialog on every desktop, so that what it offers is what the program tested.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    TParameterFile file;
    file.Params = Params;
    file.CenterX = View.XCenter;
    file.CenterY = View.YCenter;
    file.Magnification = View.Magnification;
    file.DrawClock = FSession.DrawClockOf(Params);
    const QString fileName = dialog.selectedFiles().constFirst();
    ReportErrors(this, [&] { file.Save(fileName.toLocal8Bit().toStdString()); });
}

void TMDIChild::SaveAs1Click() {
    PGSaveDialog1->SetFileName(PGImage1->FileName());
    if (!PGSaveDialog1->RunDialog())
        return;
    ReportErrors(this, [this] {
        PGImage1->SaveImageFile(PGSaveDialog1->FileName());
        setWindowTitle(PGSaveDialog1->FileName());
    });
}
