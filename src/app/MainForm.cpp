#include "app/MainForm.h"

#include "app/RenderDialog.h"

#include "app/AboutBox.h"
#include "app/ApplicationTitle.h"
#include "app/Messages.h"
#include "document/MDIChild.h"
#include "document/ParameterFileDialog.h"
#include "document/RenderSession.h"
#include "export/dialog/WarningMessageBox.h"
#include "tools/Form2.h"
#include "tools/Form4.h"
#include "tools/GalleryWindow.h"
#include "tools/XYSize.h"

#include <QAction>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLinearGradient>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QMimeData>
#include <QResizeEvent>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include <QShowEvent>
#include <QSpacerItem>
#include <QVBoxLayout>

#include <utility>

TMainForm::TMainForm(QWidget* parent)
    : QMainWindow(parent), FSession(std::make_unique<TRenderSession>()) {
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(tr("Quarn IFS"));
    setAcceptDrops(true);
    resize(426, 333);

    ClientArea = new QMdiArea(this);
    // Documents placed beyond the frame's edge stay reachable.
    ClientArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    ClientArea->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    ClientArea->viewport()->installEventFilter(this);
    setCentralWidget(ClientArea);
    createActions();
    createMenus();
    createToolButtons();
    statusBar();

    Timer1 = new QTimer(this);
    Timer1->setInterval(100);
    connect(Timer1, &QTimer::timeout, this, &TMainForm::Timer1Timer);

    SetApplicationTitle(NewDocumentTitle);
    // The library's colour-resolution and compression warnings ask the user in message boxes.
    InstallWarningMessageBox();
    connect(ClientArea, &QMdiArea::subWindowActivated, this, &TMainForm::UpdateMenuItems);
    FSession->OnIdle = [this] {
        if (FExitRequested)
            QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
    };
    Timer1->start();

    // The other windows, in the order the program has always created them.
    AboutBox = new TAboutBox(this);
    Form2 = new TForm2(this);
    Form4 = new TForm4(this);
    connect(Form4, &TForm4::UpdateColorsRequested, this, &TMainForm::UpdateColors);
    XYSize = new TXYSize(this);
    connect(XYSize, &TXYSize::ApplyRequested, this, &TMainForm::TP01);
    for (QWidget* window : {static_cast<QWidget*>(AboutBox), static_cast<QWidget*>(Form2),
                            static_cast<QWidget*>(Form4), static_cast<QWidget*>(XYSize)})
        window->setAttribute(Qt::WA_QuitOnClose, false);
    UpdateMenuItems();
}

TMainForm::~TMainForm() {
    FormDestroy();
}

void TMainForm::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!std::exchange(FShownBefore, true))
        FitFirstDocument();
}

// The frame's stated 426 x 333 would crop the first document's picture behind scroll bars: on
// its first showing the frame grows until a new document shows its whole picture, its status
// bar and the tool buttons, within the screen's available area.
void TMainForm::FitFirstDocument() {
    const QSize client = TMDIChild::DefaultClientSize();
    // A document window adds the window manager's title bar and edges to its client area.
    QMdiSubWindow probe(this);
    auto* content = new QWidget;
    auto* layout = new QVBoxLayout(content);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addSpacerItem(
        new QSpacerItem(client.width(), client.height(), QSizePolicy::Fixed, QSizePolicy::Fixed));
    probe.setWidget(content);
    const QSize document = probe.sizeHint();
    const QSize missing = (document - ClientArea->viewport()->size()).expandedTo(QSize(0, 0));
    if (missing.isNull())
        return;
    resize((size() + missing).boundedTo(screen()->availableGeometry().size()));
}

void TMainForm::FormDestroy() {
    ShowMessage(nullptr, QStringLiteral("destroy"));
    // The documents go down with the frame; each would report a change of the active window.
    disconnect(ClientArea, &QMdiArea::subWindowActivated, this, &TMainForm::UpdateMenuItems);
}

// The client area fades from black at the top to silver at the bottom. The area paints each
// damaged rectangle on its own, so the gradient is laid out in the area's own coordinates.
bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ClientArea->viewport() && event->type() == QEvent::Resize) {
        QLinearGradient background(0, 0, 0, static_cast<QResizeEvent*>(event)->size().height());
        background.setColorAt(0, Qt::black);
        background.setColorAt(1, QColor(192, 192, 192));
        ClientArea->setBackground(background);
    }
    return QMainWindow::eventFilter(watched, event);
}

void TMainForm::createActions() {
    const auto addAction = [this](const QString& caption, const QString& hint,
                                  void (TMainForm::*handler)()) {
        auto* action = new QAction(caption, this);
        action->setStatusTip(hint);
        if (handler)
            connect(action, &QAction::triggered, this, handler);
        return action;
    };
    FileNewItem = addAction(tr("&New"), tr("Create a new file"), &TMainForm::FileNewItemClick);
    FileOpenItem =
        addAction(tr("&Open"), tr("Open an existing file"), &TMainForm::FileOpenItemClick);
    FileCloseItem =
        addAction(tr("&Close"), tr("Close current file"), &TMainForm::FileCloseItemClick);
    FileSaveAsItem = addAction(tr("Save &As..."), tr("Save current file as..."),
                               &TMainForm::FileSaveAsItemClick);
    FileSaveParametersItem =
        addAction(tr("Save Parameters..."), tr("Save the active fractal's parameters"),
                  &TMainForm::FileSaveParametersItemClick);
    FileRenderItem = addAction(tr("Render..."), tr("Render the active fractal large into a file"),
                               &TMainForm::FileRenderItemClick);
    FileGalleryItem =
        addAction(tr("Gallery"), tr("Pages of fresh sets with their numbers, to open one"),
                  &TMainForm::FileGalleryItemClick);
    JPGFileOptions1 =
        addAction(tr("JPG File Options"), QString(), &TMainForm::JPGFileOptions1Click);
    FileExitItem =
        addAction(tr("E&xit"), tr("Exit the application"), &TMainForm::FileExitItemClick);
    WindowCascadeItem = addAction(tr("&Cascade"), tr("Arrange windows to overlap"),
                                  &TMainForm::WindowCascadeItemClick);
    WindowTileItem = addAction(tr("&Tile"), tr("Arrange windows without overlap"),
                               &TMainForm::WindowTileItemClick);
    WindowArrangeItem =
        addAction(tr("&Arrange Icons"), tr("Arrange window icons at bottom of main window"),
                  &TMainForm::WindowArrangeItemClick);
    WindowMinimizeItem = addAction(tr("&Minimize All"), tr("Minimize all windows"),
                                   &TMainForm::WindowMinimizeItemClick);
    HelpAboutItem = addAction(tr("&About"), QString(), &TMainForm::HelpAboutItemClick);
}

void TMainForm::createMenus() {
    File1 = menuBar()->addMenu(tr("&File"));
    File1->menuAction()->setStatusTip(tr("File related commands"));
    File1->addActions({FileNewItem, FileOpenItem, FileCloseItem, FileSaveAsItem,
                       FileSaveParametersItem, FileRenderItem, FileGalleryItem, JPGFileOptions1});
    File1->addSeparator();
    File1->addAction(FileExitItem);

    Window1 = menuBar()->addMenu(tr("&Window"));
    Window1->menuAction()->setStatusTip(tr("Window related commands such as Tile and Cascade"));
    connect(Window1, &QMenu::aboutToShow, this, &TMainForm::updateWindowMenu);
    updateWindowMenu();

    Help1 = menuBar()->addMenu(tr("&Help"));
    Help1->menuAction()->setStatusTip(tr("Help topics"));
    Help1->addAction(HelpAboutItem);
}

void TMainForm::createToolButtons() {
    CoolPanel1 = new QToolBar(this);
    CoolPanel1->setObjectName(QStringLiteral("CoolPanel1"));
    CoolPanel1->setMovable(false);
    CoolPanel1->setFloatable(false);
    CoolPanel1->setFixedWidth(42);
    addToolBar(Qt::LeftToolBarArea, CoolPanel1);
    CoolSpeedButton3 =
        createToolButton(tr("Reset"), QStyle::SP_BrowserReload, &TMainForm::ResetClick);
    AbortButton = createToolButton(tr("Stop"), QStyle::SP_BrowserStop, &TMainForm::AbortClick);
    CoolSpeedButton5 =
        createToolButton(tr("Params"), QStyle::SP_FileDialogDetailedView, &TMainForm::ParamsClick);
    CoolSpeedButton6 =
        createToolButton(tr("XYSize"), QStyle::SP_TitleBarMaxButton, &TMainForm::XYSizeClick);
    CoolSpeedButton1 = createToolButton(tr("Draw"), QStyle::SP_MediaPlay, &TMainForm::DrawBtnClick);
}

QToolButton* TMainForm::createToolButton(const QString& caption, QStyle::StandardPixmap glyph,
                                         void (TMainForm::*handler)()) {
    auto* button = new QToolButton(CoolPanel1);
    button->setText(caption);
    button->setIcon(style()->standardIcon(glyph));
    button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    button->setAutoRaise(true);
    button->setFixedSize(40, 40);
    // Captions under the glyphs fit a 40-pixel button only in a small font.
    QFont small = button->font();
    small.setPixelSize(10);
    button->setFont(small);
    connect(button, &QToolButton::clicked, this, handler);
    CoolPanel1->addWidget(button);
    return button;
}

void TMainForm::updateWindowMenu() {
    Window1->clear();
    Window1->addActions({WindowCascadeItem, WindowTileItem, WindowArrangeItem, WindowMinimizeItem});
    const QList<QMdiSubWindow*> windows = ClientArea->subWindowList();
    if (!windows.isEmpty())
        Window1->addSeparator();
    for (QMdiSubWindow* window : windows) {
        QAction* entry = Window1->addAction(window->windowTitle());
        entry->setCheckable(true);
        entry->setChecked(window == ClientArea->currentSubWindow());
        connect(entry, &QAction::triggered, window, [this, window] {
            if (window->isMinimized())
                window->showNormal();
            ClientArea->setActiveSubWindow(window);
        });
    }
}

// ---- Documents ---------------------------------------------------------------------------

TMDIChild* TMainForm::ActiveDocument() const {
    // The current window, not only the active one: a click into a tool window deactivates
    // the frame, and the commands of that tool window still mean the document in front.
    QMdiSubWindow* window = ClientArea->currentSubWindow();
    return window ? qobject_cast<TMDIChild*>(window->widget()) : nullptr;
}

QList<TMDIChild*> TMainForm::Documents() const {
    QList<TMDIChild*> documents;
    for (QMdiSubWindow* window : ClientArea->subWindowList())
        if (auto* document = qobject_cast<TMDIChild*>(window->widget()))
            documents.append(document);
    return documents;
}

TMDIChild* TMainForm::CreateDocumentWindow(const QString& caption,
                                           std::unique_ptr<TFractalDocument> content) {
    if (!content)
        content = std::make_unique<TFractalDocument>();
    auto* document = new TMDIChild(*FSession, *Form4, *XYSize, std::move(content));
    QMdiSubWindow* window = ClientArea->addSubWindow(document);
    document->setWindowTitle(caption);
    window->resize(399, 199);
    window->show();
    UpdateMenuItems();
    return document;
}

// ---- Commands ----------------------------------------------------------------------------

void TMainForm::FileNewItemClick() {
    SetApplicationTitle(NewDocumentTitle);
    const QString caption =
        tr("Quarn IFS: ") + QString::number(ClientArea->subWindowList().size() + 1);
    CreateDocumentWindow(caption);
}

void TMainForm::FileOpenItemClick() {
    OpenParameterFiles(TParameterFileDialog::OpenFileNames(this));
}

void TMainForm::OpenParameterFiles(const QStringList& fileNames) {
    for (const QString& fileName : fileNames)
        ReportErrors(this, [&] {
            auto document = TFractalDocument::Open(fileName.toLocal8Bit().toStdString());
            const QString caption =
                tr("Quarn IFS: ") + QString::number(ClientArea->subWindowList().size() + 1);
            CreateDocumentWindow(caption, std::move(document));
        });
}

namespace {
// The local parameter files among dropped ones.
QStringList ParameterFilesOf(const QMimeData& data) {
    QStringList files;
    for (const QUrl& url : data.urls())
        if (url.isLocalFile() && url.fileName().endsWith(QStringLiteral(".quarn.json")))
            files.append(url.toLocalFile());
    return files;
}
} // namespace

void TMainForm::dragEnterEvent(QDragEnterEvent* event) {
    if (!ParameterFilesOf(*event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void TMainForm::dropEvent(QDropEvent* event) {
    const QStringList files = ParameterFilesOf(*event->mimeData());
    if (files.isEmpty())
        return;
    event->acceptProposedAction();
    // After the drop has ended: a new document renders until Stop.
    QTimer::singleShot(0, this, [this, files] { OpenParameterFiles(files); });
}

void TMainForm::FileCloseItemClick() {
    if (ActiveDocument())
        ClientArea->currentSubWindow()->close();
}

void TMainForm::FileSaveAsItemClick() {
    if (TMDIChild* document = ActiveDocument())
        document->SaveAs1Click();
}

void TMainForm::FileSaveParametersItemClick() {
    if (TMDIChild* document = ActiveDocument())
        document->SaveParameters1Click();
}

void TMainForm::FileRenderItemClick() {
    TMDIChild* document = ActiveDocument();
    if (!document)
        return;
    const TFractalDocument& fractal = document->Document();
    // A set still in its warm-up may yet be replaced: there is nothing to render so far.
    if (fractal.Params().StepCount <= TFractalEngine::FirstPlotStep ||
        fractal.Params().NewCoefficients) {
        ShowMessage(this, QStringLiteral("there is no picture to render yet"));
        return;
    }
    if (!FRenderDialog)
        FRenderDialog = new TRenderDialog(this);
    FRenderDialog->SetDocument(
        RenderSettingsOf(fractal.ToParameterFile(FSession->DrawClockOf(fractal.Params()))),
        document->SavedCaption());
    FRenderDialog->show();
    FRenderDialog->raise();
}

void TMainForm::FileGalleryItemClick() {
    if (!FGalleryWindow) {
        FGalleryWindow = new TGalleryWindow(this);
        connect(FGalleryWindow, &TGalleryWindow::SetChosen, this, &TMainForm::OpenChosenSet);
    }
    if (!FGalleryWindow->isVisible()) {
        TFractalParams settings;
        settings.StoreDefaults();
        int width = TFractalDocument::DefaultWidth, height = TFractalDocument::DefaultHeight;
        if (const TMDIChild* document = ActiveDocument();
            document && document->Document().DocWidth() > 0) {
            settings = document->Document().Params();
            width = document->Document().DocWidth();
            height = document->Document().DocHeight();
        }
        FGalleryWindow->Begin(settings, TFractalEngine::UtcMillisecondsOfDay(), width, height);
    }
    FGalleryWindow->show();
    FGalleryWindow->raise();
    FGalleryWindow->activateWindow();
}

void TMainForm::OpenChosenSet(const TParameterFile& file) {
    ReportErrors(this, [&] {
        const QString caption =
            tr("Quarn IFS: ") + QString::number(ClientArea->subWindowList().size() + 1);
        CreateDocumentWindow(caption, std::make_unique<TFractalDocument>(file));
    });
}

void TMainForm::JPGFileOptions1Click() {
    TMDIChild::Options1Click(*Form2);
}

void TMainForm::FileExitItemClick() {
    close();
}

void TMainForm::WindowCascadeItemClick() {
    // The platform's cascade positions; each document keeps the size its picture gave it.
    QList<std::pair<QMdiSubWindow*, QSize>> sizes;
    for (QMdiSubWindow* window : ClientArea->subWindowList())
        if (!window->isMinimized() && !window->isMaximized())
            sizes.append({window, window->size()});
    ClientArea->cascadeSubWindows();
    for (const auto& [window, size] : sizes)
        window->resize(size);
}

void TMainForm::WindowTileItemClick() {
    ClientArea->tileSubWindows();
}

void TMainForm::WindowArrangeItemClick() {
    // Minimised windows side by side along the bottom, rows growing upwards.
    const int areaWidth = ClientArea->viewport()->width();
    int left = 0;
    int bottom = ClientArea->viewport()->height();
    for (QMdiSubWindow* window : ClientArea->subWindowList()) {
        if (!window->isMinimized())
            continue;
        if (left > 0 && left + window->width() > areaWidth) {
            left = 0;
            bottom -= window->height();
        }
        window->move(left, bottom - window->height());
        left += window->width();
    }
}

void TMainForm::WindowMinimizeItemClick() {
    const QList<QMdiSubWindow*> windows = ClientArea->subWindowList();
    for (auto window = windows.crbegin(); window != windows.crend(); ++window)
        (*window)->showMinimized();
}

void TMainForm::HelpAboutItemClick() {
    AboutBox->exec();
}

void TMainForm::ResetClick() {
    if (TMDIChild* document = ActiveDocument())
        ReportErrors(this, [document] {
            document->ResetCoordinates();
            document->UpdateGrafX();
        });
}

void TMainForm::AbortClick() {
    if (TMDIChild* document = ActiveDocument())
        document->Abort();
}

void TMainForm::ParamsClick() {
    if (TMDIChild* document = ActiveDocument())
        document->Parameters1Click();
}

void TMainForm::XYSizeClick() {
    if (TMDIChild* document = ActiveDocument())
        document->XYSize1Click();
}

void TMainForm::DrawBtnClick() {
    if (TMDIChild* document = ActiveDocument())
        document->RequestNewCoefficients();
    // A second press before the tick changes nothing: one tick, one restart.
    if (!Timer1->isActive())
        Timer1->start();
}

void TMainForm::Timer1Timer() {
    Timer1->stop();
    if (ApplicationTitle() == NewDocumentTitle) {
        FileNewItemClick();
        OpenParameterFiles(std::exchange(FStartUpFiles, {}));
        return;
    }
    if (TMDIChild* document = ActiveDocument()) {
        document->RequestNewCoefficients();
        ReportErrors(this, [document] { document->UpdateGrafX(); });
    }
}

void TMainForm::UpdateColors() {
    if (TMDIChild* document = ActiveDocument())
        document->ApplyParameters();
}

void TMainForm::TP01() {
    if (TMDIChild* document = ActiveDocument())
        ReportErrors(this, [document] { document->Resolution(); });
}

void TMainForm::UpdateMenuItems() {
    const bool any = !ClientArea->subWindowList().isEmpty();
    for (QAction* item : {FileCloseItem, FileSaveAsItem, FileSaveParametersItem, WindowCascadeItem,
                          WindowTileItem, WindowArrangeItem, WindowMinimizeItem})
        item->setEnabled(any);
    XYSize->setEnabled(any);
}

void TMainForm::DisplayHint(const QString& hint) {
    statusBar()->showMessage(hint);
}

bool TMainForm::event(QEvent* event) {
    if (event->type() == QEvent::StatusTip) {
        DisplayHint(static_cast<QStatusTipEvent*>(event)->tip());
        return true;
    }
    return QMainWindow::event(event);
}

void TMainForm::closeEvent(QCloseEvent* event) {
    // The run is on the stack below this handler; the program can end only once it returns.
    if (FSession->Running()) {
        FExitRequested = true;
        event->ignore();
        return;
    }
    event->accept();
}
