#pragma once

#include <QList>
#include <QMainWindow>
#include <QStringList>
#include <QStyle>

#include <memory>

class QAction;
class QMdiArea;
class QMenu;
class QTimer;
class QToolBar;
class QToolButton;
class TAboutBox;
class TForm2;
class TForm4;
class TFractalDocument;
class TGalleryWindow;
class TParameterFile;
class TMDIChild;
class TRenderDialog;
class TRenderSession;
class TXYSize;

// The frame: a multiple-document area with the tool buttons, the menus and the hint line. It
// owns the engine (through the render session) and the tool windows, and forwards every
// command about a fractal to the active document.
class TMainForm : public QMainWindow {
    Q_OBJECT

public:
    explicit TMainForm(QWidget* parent = nullptr);
    ~TMainForm() override;

    // The document in front; it stays the active one while a tool window has the focus.
    TMDIChild* ActiveDocument() const;
    QList<TMDIChild*> Documents() const;
    TRenderSession& Session() { return *FSession; }

    // ---- Components ----------------------------------------------------------------------
    QMdiArea* ClientArea;
    QToolBar* CoolPanel1;
    QToolButton* CoolSpeedButton3;
    QToolButton* AbortButton;
    QToolButton* CoolSpeedButton5;
    QToolButton* CoolSpeedButton6;
    QToolButton* CoolSpeedButton1;
    QMenu* File1;
    QAction* FileNewItem;
    QAction* FileOpenItem;
    QAction* FileCloseItem;
    QAction* FileSaveAsItem;
    QAction* FileSaveParametersItem;
    QAction* FileRenderItem;
    QAction* FileGalleryItem;
    QAction* JPGFileOptions1;
    QAction* FileExitItem;
    QMenu* Window1;
    QAction* WindowCascadeItem;
    QAction* WindowTileItem;
    QAction* WindowArrangeItem;
    QAction* WindowMinimizeItem;
    QMenu* Help1;
    QAction* HelpAboutItem;
    QTimer* Timer1;

    // ---- The other windows created at start-up -------------------------------------------
    TAboutBox* AboutBox;
    TForm2* Form2;
    TForm4* Form4;
    TXYSize* XYSize;

    // ---- Commands ------------------------------------------------------------------------
    void FileNewItemClick();
    // Opens parameter files, each as a new document.
    void FileOpenItemClick();
    void FileCloseItemClick();
    void FileSaveAsItemClick();
    void FileSaveParametersItemClick();
    // The Render dialog for the active document: its set large and clean into a file.
    void FileRenderItemClick();
    TRenderDialog* RenderDialog() const { return FRenderDialog; }
    // The Gallery window: pages of fresh sets drawn with the active document's settings; a set
    // opened from it becomes a new document.
    void FileGalleryItemClick();
    TGalleryWindow* GalleryWindow() const { return FGalleryWindow; }
    void JPGFileOptions1Click();
    void FileExitItemClick();
    void WindowCascadeItemClick();
    void WindowTileItemClick();
    void WindowArrangeItemClick();
    void WindowMinimizeItemClick();
    void HelpAboutItemClick();
    void ResetClick();
    void AbortClick();
    void ParamsClick();
    void XYSizeClick();
    void DrawBtnClick();
    void Timer1Timer();

    // ---- Called by the tool windows and the platform -------------------------------------
    void UpdateColors();
    void TP01();
    void UpdateMenuItems();
    void DisplayHint(const QString& hint);

    // Without a document, the window gets a new one.
    TMDIChild* CreateDocumentWindow(const QString& caption,
                                    std::unique_ptr<TFractalDocument> document = nullptr);
    // Each file becomes a document of its own; a file that cannot is reported and skipped.
    void OpenParameterFiles(const QStringList& fileNames);
    // The files of the command line, opened once the first document has been opened.
    void OpenAfterStartUp(const QStringList& fileNames) { FStartUpFiles = fileNames; }

protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void createActions();
    void createMenus();
    void createToolButtons();
    QToolButton* createToolButton(const QString& caption, QStyle::StandardPixmap glyph,
                                  void (TMainForm::*handler)());
    void updateWindowMenu();
    void FormDestroy();
    void FitFirstDocument();
    void OpenChosenSet(const TParameterFile& file);

    std::unique_ptr<TRenderSession> FSession;
    // Made on first use; it keeps its queue of renders while hidden.
    TRenderDialog* FRenderDialog = nullptr;
    TGalleryWindow* FGalleryWindow = nullptr;
    // Exit was asked for while a picture was rendering; the program ends when the run does.
    bool FExitRequested = false;
    bool FShownBefore = false;
    QStringList FStartUpFiles;
};
