#include "document/MDIChild.h"

#include "app/ApplicationTitle.h"
#include "app/Messages.h"
#include "document/ParameterFileDialog.h"
#include "document/RenderSession.h"
#include "export/dialog/PGSaveDialog.h"
#include "image/PixelGraphic.h"
#include "tools/Form2.h"
#include "tools/Form4.h"
#include "tools/MutationWindow.h"
#include "tools/XYSize.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMouseEvent>
#include <QTimer>
#include <QVBoxLayout>

TMDIChild::TMDIChild(TRenderSession& session, TForm4& form4, TXYSize& xySize,
                     std::unique_ptr<TFractalDocument> document, QWidget* parent)
    : QWidget(parent), FDocument(std::move(document)), FSession(session), FForm4(form4),
      FXYSize(xySize) {
    setObjectName(QStringLiteral("MDIChild"));
    resize(399, 199);

    FPGImage1 = new TFractalView(this);
    connect(FPGImage1, &TPGImage::PicBoxOnMouseDown, this, &TMDIChild::PGImage1PicBoxOnMouseDown);
    connect(FPGImage1, &TPGImage::PicBoxOnMouseMove, this, &TMDIChild::PGImage1PicBoxOnMouseMove);
    connect(FPGImage1, &TPGImage::PicBoxOnMouseUp, this, &TMDIChild::PGImage1PicBoxOnMouseUp);
    connect(FPGImage1, &TPGImage::OnMouseUp, this, &TMDIChild::PGImage1PicBoxOnMouseUp);
    connect(FPGImage1, &TPGImage::PicBoxOnDblClick, this, &TMDIChild::PGImage1PicBoxOnDblClick);
    connect(FPGImage1, &TPGImage::OnNewAutoSize, this, &TMDIChild::PGImage1NewAutoSize);
    FStatusBar1 = new TDocumentStatusBar(this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(FPGImage1, 1);
    layout->addWidget(FStatusBar1);

    FPopupMenu1 = new TDocumentPopupMenu(this);
    connect(FPopupMenu1, &QMenu::aboutToShow, this, &TMDIChild::UpdateMenuItems);
    // Queued: a zoom renders until Stop, which should not happen inside the menu's own loop.
    connect(Zoom1(), &QAction::triggered, this, &TMDIChild::Zoom1Click, Qt::QueuedConnection);
    connect(RectangleMode1(), &QAction::triggered, this, &TMDIChild::RectangleMode1Click);
    connect(ClearRectangle2(), &QAction::triggered, this, &TMDIChild::ClearRectangle2Click);
    connect(Fit1(), &QAction::triggered, this, &TMDIChild::Fit1Click, Qt::QueuedConnection);
    connect(Back1(), &QAction::triggered, this, &TMDIChild::Back1Click, Qt::QueuedConnection);
    connect(Forward1(), &QAction::triggered, this, &TMDIChild::Forward1Click, Qt::QueuedConnection);
    connect(Mutate1(), &QAction::triggered, this, &TMDIChild::Mutate1Click);
    addActions({Back1(), Forward1()});
    FPGImage1->SetPopupMenu(FPopupMenu1);
    FPGSaveDialog1 = new TPGSaveDialog(this);

    FTimer1 = new QTimer(this);
    FTimer1->setInterval(100);
    connect(FTimer1, &QTimer::timeout, this, &TMDIChild::Timer1Timer);
    FTimer2 = new QTimer(this);
    FTimer2->setInterval(250);
    connect(FTimer2, &QTimer::timeout, this, &TMDIChild::Timer2Timer);
    FTimer1->start();
}

void TMDIChild::PGImage1PicBoxOnMouseMove(QMouseEvent* event) {
    const int i = FPGImage1->BoxToImageX(event->position().toPoint().x());
    const int j = FPGImage1->BoxToImageY(event->position().toPoint().y());
    FLastShift = {event->buttons(), event->modifiers(), false};
    if (FDocument->MoveCursor(i, j))
        ShowViewChange();
}

void TMDIChild::PGImage1NewAutoSize(int PGImageWidth, int PGImageHeight) {
    auto* window = qobject_cast<QMdiSubWindow*>(parentWidget());
    if (!window || !window->mdiArea() || window->isMinimized() || window->isMaximized())
        return;
    const QSize frame = window->mdiArea()->viewport()->size();
    const TPixelSize client = TFractalDocument::ClientSizeFor({PGImageWidth, PGImageHeight},
                                                              {frame.width(), frame.height()});
    window->resize(window->size() - size() + QSize(client.Width, client.Height));
}

void TMDIChild::PGImage1PicBoxOnMouseDown(QMouseEvent* event) {
    // Paint-box positions are picture pixels: the view shows the picture at its natural size.
    const QPoint position = event->position().toPoint();
    FDocument->Press(position.x(), position.y());
    FLastShift = {event->buttons(), event->modifiers(),
                  event->type() == QEvent::MouseButtonDblClick};
    if (FLastShift.ExactlyLeft())
        ApplyRectangleMode();
}

void TMDIChild::PGImage1PicBoxOnMouseUp(QMouseEvent*) {
    if (!FLastShift.ExactlyLeft() || (FDocument->RectangleMode() && !FPGImage1->Selection()))
        return;
    FPGImage1->SetSelectionPixels(FDocument->Release(FPGImage1->SelectionPixels()));
}

void TMDIChild::Zoom1Click() {
    const TFractalDocument::TZoomCheck check = FDocument->CheckZoom(FPGImage1->Selection());
    if (check != TFractalDocument::TZoomCheck::Ready) {
        if (check != TFractalDocument::TZoomCheck::NoPicture)
            ShowMessage(this, QString::fromUtf8(TFractalDocument::ZoomRefusal(check)));
        return;
    }
    FTimer2->stop();
    FDocument->ZoomToTarget();
    FPGImage1->SetSelection(false);
    FPGImage1->SetActionMode(amNone);
    ReportErrors(this, [this] {
        // A run in progress ends on its way out with the block's picture, which must stay alive.
        FPGImage1->ShowPicture(
            FDocument->ZoomPreview(*FPGImage1->PixelGraphic(), FPGImage1->SelectionPixels()));
        UpdateGrafX();
    });
}

void TMDIChild::PGImage1PicBoxOnDblClick(QMouseEvent*) {
    Zoom1Click();
    FPGImage1->SetSelection(false);
    // The view handles this double click's own press after this handler: with no mode it
    // leaves no selection behind. The mode returns once that press is done, for when no
    // restart follows to set it (a zoom from a stopped document rendered right here).
    FPGImage1->SetActionMode(amNone);
    QTimer::singleShot(0, this, &TMDIChild::ApplyRectangleMode);
}

void TMDIChild::RectangleMode1Click() {
    FDocument->ToggleRectangleMode();
    ApplyRectangleMode();
    UpdateMenuItems();
}

void TMDIChild::Mutate1Click() {
    if (!FMutationWindow)
        FMutationWindow = new TMutationWindow(*this);
    FMutationWindow->ShowCentre(
        FDocument->ToParameterFile(FSession.DrawClockOf(FDocument->Params())));
}

void TMDIChild::Timer1Timer() {
    FTimer1->stop();
    ReportErrors(this, [this] { FormPaint(); });
}

void TMDIChild::FormPaint() {
    if (!FDocument->FirstShowPending())
        return;
    if (const QWidget* window = parentWidget())
        FPGImage1->LimitAutoSize(window->size() - size());
    ApplyRectangleMode();
    // A second New within 100 ms of the first finds the title already changed back; its
    // document still needs a picture, so it gets the default one as well. An opened document
    // leaves the title to the New it may have overtaken.
    const bool requested = ApplicationTitle() == NewDocumentTitle && !FDocument->Opened();
    if (requested || !FPGImage1->PixelGraphic())
        FPGImage1->ShowPicture(FDocument->FirstPicture());
    if (requested)
        SetApplicationTitle(NormalTitle);
    FDocument->StoreDefaults();
    UpdateGrafX();
    FDocument->FirstShowDone();
}

void TMDIChild::Restart() {
    FSavedCaption = windowTitle();
    FPGImage1->ShowPicture(FDocument->NewPicture());
    UpdateMenuItems();
    // A zoom left the view without a mode; the first press on the new picture must act.
    ApplyRectangleMode();
    FTimer2->start();
    TypeFractal();
    FDocument->EndRun();
    FTimer2->stop();
}

void TMDIChild::TypeFractal() {
    FDocument->PrepareRun();
    ShowViewChange();
    FTimer2->start();
    if (const auto seed = FDocument->TakeOrbitSeed())
        FSession.Engine().SetRandomSeed(*seed);
    emit RunStarted();
    FSession.Run(FDocument->Params(), [this](std::uint32_t drawClock) { SetAccepted(drawClock); });
    FDocument->PictureChanged();
    FTimer2->stop();
    setWindowTitle(FSavedCaption);
}

void TMDIChild::ShowHistoryEntry() {
    FSession.Keep(FDocument->Params(), FDocument->KeptDrawClock());
    // Else an open Parameters window writes the settings left behind back at its next change.
    if (FForm4.isVisible())
        FForm4.LoadSettings(FDocument->Params());
    ReportErrors(this, [this] { UpdateGrafX(); });
}

void TMDIChild::Timer2Timer() {
    FDocument->PictureChanged();
    QCoreApplication::processEvents();
    setWindowTitle(QString::fromStdString(FDocument->TickCaption()));
    // Only what is already queued: waiting here for the next event would stall the engine
    // until the next tick.
    QCoreApplication::processEvents();
}

void TMDIChild::closeEvent(QCloseEvent* event) {
    // A document lives as long as the program: closing only stops and minimises it.
    Abort();
    event->ignore();
    if (QWidget* window = parentWidget())
        window->showMinimized();
}

void TMDIChild::Parameters1Click() {
    FForm4.ToggleFor(FDocument->Params());
}

void TMDIChild::ApplyParameters() {
    FForm4.StoreSettings(FDocument->Params());
}

void TMDIChild::XYSize1Click() {
    FXYSize.ToggleFor(FDocument->DocWidth(), FDocument->DocHeight());
}

void TMDIChild::Resolution() {
    if (FXYSize.isVisible())
        FDocument->Resize(FXYSize.PictureSize().width(), FXYSize.PictureSize().height());
    UpdateGrafX();
}

void TMDIChild::Options1Click(TForm2& form2) {
    form2.LoadOptions();
    if (form2.exec() != QDialog::Accepted)
        return;
    ReportErrors(form2.parentWidget(), [&form2] { form2.StoreOptions(); });
}

void TMDIChild::SaveParameters1Click() {
    const QString fileName = TParameterFileDialog::SaveFileName(this);
    if (fileName.isEmpty())
        return;
    ReportErrors(this, [&] {
        FDocument->SaveParameters(fileName.toLocal8Bit().toStdString(),
                                  FSession.DrawClockOf(FDocument->Params()));
    });
}

void TMDIChild::SaveAs1Click() {
    FPGSaveDialog1->SetFileName(FPGImage1->FileName());
    if (!FPGSaveDialog1->RunDialog())
        return;
    ReportErrors(this, [this] {
        FPGImage1->SaveImageFile(FPGSaveDialog1->FileName());
        setWindowTitle(FPGSaveDialog1->FileName());
    });
}
