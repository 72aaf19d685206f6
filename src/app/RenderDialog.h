#pragma once

#include "render/RenderQueue.h"
#include "render/RenderSettings.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QString>

#include <map>
#include <memory>

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;
class QSpinBox;
class TPGSaveDialog;

// File > Render...: renders the active document's set large and clean into a file, on a thread
// of its own, while the windows go on exploring. Requests made while one renders wait in a
// visible queue; each reports its progress, and when done its file or its error.
class TRenderDialog : public QDialog {
    Q_OBJECT

public:
    explicit TRenderDialog(QWidget* parent = nullptr);
    ~TRenderDialog() override;

    // The document's set, view, clock, size, density and tick spacing to start from; the sizes
    // offered are multiples of its size.
    void SetDocument(const TRenderSettings& document, const QString& title);
    // The request the controls describe now.
    TRenderRequest Request() const;

    QPushButton* RenderButton() const { return FRenderButton; }
    QPushButton* CancelButton() const { return FCancelButton; }
    QLineEdit* FileEdit() const { return FFileEdit; }
    QSpinBox* WidthBox() const { return FWidth; }
    QSpinBox* HeightBox() const { return FHeight; }
    QDoubleSpinBox* DensityBox() const { return FDensity; }
    QSpinBox* SupersampleBox() const { return FSupersample; }
    QSpinBox* ThreadsBox() const { return FThreads; }
    QCheckBox* TransparentBox() const { return FTransparent; }
    // Animation: frames instead of one picture.
    QGroupBox* AnimationBox() const { return FAnimation; }
    QSpinBox* FramesBox() const { return FFrames; }
    QSpinBox* FrameRateBox() const { return FFrameRate; }
    // What moves: the rotations (0) or a morph to a parameter file (1).
    QComboBox* MovesBox() const { return FMoves; }
    QLineEdit* MorphFileEdit() const { return FMorphFile; }
    QCheckBox* LoopBox() const { return FLoop; }
    QSpinBox* TickStepBox() const { return FTickStep; }
    // The running request's progress as shown.
    QString ProgressText() const;
    // The last finished file, or the last error, as shown.
    QString ResultText() const;
    // What the render as set up needs and takes, as shown.
    QString EstimateText() const;
    int Waiting() const;

signals:
    // A request has ended: written, failed or cancelled.
    void RequestEnded();

private:
    void CreateWidgets();
    void CreateLayout();
    void Connect();
    void SetSize(int width, int height);
    void WidthChanged(int width);
    void HeightChanged(int height);
    void BrowseForFile();
    void BrowseForMorphFile();
    void UpdateAnimationControls();
    // Why the request cannot be rendered as set up, empty when it can; an animation's morph
    // file is read into `request`.
    QString Refusal(TRenderRequest& request) const;
    void UpdateEstimate();
    void StartRender();
    void CancelRender();
    void ShowQueue();
    // Queue events, on the user-interface thread.
    void Started(int id);
    void Progressed(int id, const TRenderProgress& progress);
    void FramesProgressed(int id, const TAnimationProgress& progress);
    void Ended(int id, const QString& text, bool failed);
    // Steps per second of one orbit of this set at about the picture's size: measured once per
    // document and size class (powers of four pixels), since large counters plot slower.
    double MeasuredRate(const TRenderSettings& settings);

    TRenderSettings FDocument;
    std::map<int, double> FRates;
    bool FAdjusting = false;
    std::map<int, QString> FFiles;
    std::map<int, double> FTotalSteps;
    // How far each animation has come.
    std::map<int, TAnimationProgress> FFramesDone;
    int FRunningId = 0;
    QElapsedTimer FRunClock;

    QSpinBox* FWidth;
    QSpinBox* FHeight;
    QCheckBox* FKeepAspect;
    QPushButton* FPresets[4];
    QDoubleSpinBox* FDensity;
    QSpinBox* FSupersample;
    QSpinBox* FThreads;
    QCheckBox* FTransparent;
    QGroupBox* FAnimation;
    QSpinBox* FFrames;
    QSpinBox* FFrameRate;
    QComboBox* FMoves;
    QLineEdit* FMorphFile;
    QPushButton* FMorphBrowse;
    QCheckBox* FLoop;
    QSpinBox* FTickStep;
    QLineEdit* FFileEdit;
    QPushButton* FBrowseButton;
    QLabel* FEstimate;
    QPushButton* FRenderButton;
    QProgressBar* FProgress;
    QLabel* FProgressText;
    QPushButton* FCancelButton;
    QListWidget* FQueueList;
    QLabel* FResult;
    QPushButton* FOpenFolderButton;
    TPGSaveDialog* FSaveDialog;
    // Last: its thread calls back into the widgets above until it is gone.
    std::unique_ptr<TRenderQueue> FQueue;
};
