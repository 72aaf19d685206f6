#include "app/RenderDialog.h"

#include "document/ParameterFileDialog.h"
#include "export/AlphaPicture.h"
#include "export/FileFormatWriters.h"
#include "export/WriterOptions.h"
#include "export/dialog/PGSaveDialog.h"
#include "render/AnimationPlan.h"
#include "render/FrameNames.h"
#include "render/RenderJob.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <thread>

namespace {

constexpr int MaxSide = 8192;
constexpr int PresetFactors[] = {1, 2, 4, 8};

QString Duration(double seconds) {
    return QString::fromStdString(DurationText(seconds));
}

} // namespace

TRenderDialog::TRenderDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(tr("Render"));
    CreateWidgets();
    CreateLayout();
    Connect();
    UpdateAnimationControls();
    TRenderQueueEvents events;
    // Each event crosses to the user-interface thread; the dialog outlives the queue.
    events.Started = [this](int id) {
        QMetaObject::invokeMethod(
            this, [this, id] { Started(id); }, Qt::QueuedConnection);
    };
    events.Progress = [this](int id, const TRenderProgress& progress) {
        QMetaObject::invokeMethod(
            this, [this, id, progress] { Progressed(id, progress); }, Qt::QueuedConnection);
    };
    events.FrameProgress = [this](int id, const TAnimationProgress& progress) {
        QMetaObject::invokeMethod(
            this, [this, id, progress] { FramesProgressed(id, progress); }, Qt::QueuedConnection);
    };
    events.Finished = [this](int id, const TRenderResult&,
                             const std::vector<std::string>& warnings) {
        // An animation's frames that show only the background are said with the file.
        QString notes;
        for (const std::string& warning : warnings)
            if (warning.rfind("frame ", 0) == 0)
                notes += '\n' + QString::fromStdString(warning);
        QMetaObject::invokeMethod(
            this, [this, id, notes] { Ended(id, FFiles[id] + notes, false); },
            Qt::QueuedConnection);
    };
    events.Failed = [this](int id, const std::string& error) {
        const QString text = QString::fromStdString(error);
        QMetaObject::invokeMethod(
            this, [this, id, text] { Ended(id, text, true); }, Qt::QueuedConnection);
    };
    events.Cancelled = [this](int id) {
        QMetaObject::invokeMethod(
            this,
            [this, id] {
                const auto frames = FFramesDone.find(id);
                Ended(id,
                      frames == FFramesDone.end()
                          ? tr("cancelled: nothing was written")
                          : tr("cancelled: the frames done are kept (%1 of %2)")
                                .arg(frames->second.Done)
                                .arg(frames->second.Total),
                      true);
            },
            Qt::QueuedConnection);
    };
    FQueue = std::make_unique<TRenderQueue>(std::move(events));
}

TRenderDialog::~TRenderDialog() {
    // The queue's thread calls back into the widgets: it goes first.
    FQueue.reset();
}

void TRenderDialog::CreateWidgets() {
    FWidth = new QSpinBox(this);
    FHeight = new QSpinBox(this);
    for (QSpinBox* side : {FWidth, FHeight})
        side->setRange(1, MaxSide);
    FKeepAspect = new QCheckBox(tr("Keep the picture's proportions"), this);
    FKeepAspect->setChecked(true);
    for (int i = 0; i < 4; ++i)
        FPresets[i] = new QPushButton(QStringLiteral("%1\u00d7").arg(PresetFactors[i]), this);
    FDensity = new QDoubleSpinBox(this);
    FDensity->setDecimals(2);
    FDensity->setRange(0.01, TRenderSettings::MaxDensity);
    FSupersample = new QSpinBox(this);
    FSupersample->setRange(1, TRenderSettings::MaxSupersample);
    FThreads = new QSpinBox(this);
    FThreads->setRange(1, 256);
    FThreads->setValue(static_cast<int>(std::max(1u, std::thread::hardware_concurrency())));
    FTransparent = new QCheckBox(tr("Transparent background (PNG and TIFF)"), this);
    FAnimation = new QGroupBox(tr("Animation"), this);
    FAnimation->setCheckable(true);
    FAnimation->setChecked(false);
    FAnimation->setToolTip(tr("Frames of the set in motion, into numbered pictures "
                              "(frame%05d.png) or a video (mp4, webm, gif)"));
    FFrames = new QSpinBox(FAnimation);
    FFrames->setRange(2, 100000);
    FFrames->setValue(48);
    FFrameRate = new QSpinBox(FAnimation);
    FFrameRate->setRange(1, 240);
    FFrameRate->setValue(24);
    FFrameRate->setSuffix(tr(" frames per second"));
    FMoves = new QComboBox(FAnimation);
    FMoves->addItems({tr("The rotations turn"), tr("Morph to another set")});
    FMorphFile = new QLineEdit(FAnimation);
    FMorphFile->setPlaceholderText(tr("the parameter file of the set to go over to"));
    FMorphBrowse = new QPushButton(tr("Browse..."), FAnimation);
    FLoop = new QCheckBox(tr("Loop: the last frame leads back into the first"), FAnimation);
    FLoop->setChecked(true);
    FTickStep = new QSpinBox(FAnimation);
    FTickStep->setRange(1, 1000000000);
    FTickStep->setToolTip(tr("How far the rotations turn from one frame to the next"));
    FFileEdit = new QLineEdit(this);
    FBrowseButton = new QPushButton(tr("Browse..."), this);
    FEstimate = new QLabel(this);
    FRenderButton = new QPushButton(tr("Render"), this);
    FRenderButton->setDefault(true);
    FProgress = new QProgressBar(this);
    FProgress->setRange(0, 1000);
    FProgressText = new QLabel(this);
    FCancelButton = new QPushButton(tr("Cancel"), this);
    FCancelButton->setEnabled(false);
    FQueueList = new QListWidget(this);
    FQueueList->setMaximumHeight(70);
    FResult = new QLabel(this);
    FResult->setWordWrap(true);
    FResult->setTextInteractionFlags(Qt::TextSelectableByMouse);
    FOpenFolderButton = new QPushButton(tr("Open Folder"), this);
    FOpenFolderButton->setEnabled(false);
    FSaveDialog = new TPGSaveDialog(this);
}

void TRenderDialog::CreateLayout() {
    auto* size = new QHBoxLayout;
    size->addWidget(FWidth);
    size->addWidget(new QLabel(QStringLiteral("\u00d7"), this));
    size->addWidget(FHeight);
    for (QPushButton* preset : FPresets)
        size->addWidget(preset);
    auto* file = new QHBoxLayout;
    file->addWidget(FFileEdit, 1);
    file->addWidget(FBrowseButton);
    auto* form = new QFormLayout;
    form->addRow(tr("Size:"), size);
    form->addRow(QString(), FKeepAspect);
    form->addRow(tr("Density (steps per pixel):"), FDensity);
    form->addRow(tr("Supersampling:"), FSupersample);
    form->addRow(tr("Threads:"), FThreads);
    form->addRow(QString(), FTransparent);
    form->addRow(tr("File:"), file);
    auto* morph = new QHBoxLayout;
    morph->addWidget(FMorphFile, 1);
    morph->addWidget(FMorphBrowse);
    auto* animation = new QFormLayout(FAnimation);
    animation->addRow(tr("Frames:"), FFrames);
    animation->addRow(tr("Frame rate:"), FFrameRate);
    animation->addRow(tr("What moves:"), FMoves);
    animation->addRow(tr("Morph to:"), morph);
    animation->addRow(QString(), FLoop);
    animation->addRow(tr("Ticks per frame:"), FTickStep);
    auto* run = new QHBoxLayout;
    run->addWidget(FProgress, 1);
    run->addWidget(FCancelButton);
    auto* result = new QHBoxLayout;
    result->addWidget(FResult, 1);
    result->addWidget(FOpenFolderButton);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(FAnimation);
    layout->addWidget(FEstimate);
    layout->addWidget(FRenderButton, 0, Qt::AlignRight);
    layout->addLayout(run);
    layout->addWidget(FProgressText);
    layout->addWidget(new QLabel(tr("Waiting:"), this));
    layout->addWidget(FQueueList);
    layout->addLayout(result);
}

void TRenderDialog::Connect() {
    connect(FWidth, &QSpinBox::valueChanged, this, &TRenderDialog::WidthChanged);
    connect(FHeight, &QSpinBox::valueChanged, this, &TRenderDialog::HeightChanged);
    for (int i = 0; i < 4; ++i)
        connect(FPresets[i], &QPushButton::clicked, this, [this, i] {
            SetSize(std::min(MaxSide, FDocument.Width * PresetFactors[i]),
                    std::min(MaxSide, FDocument.Height * PresetFactors[i]));
        });
    for (QSpinBox* box : {FSupersample, FThreads})
        connect(box, &QSpinBox::valueChanged, this, &TRenderDialog::UpdateEstimate);
    connect(FDensity, &QDoubleSpinBox::valueChanged, this, &TRenderDialog::UpdateEstimate);
    connect(FTransparent, &QCheckBox::toggled, this, &TRenderDialog::UpdateEstimate);
    connect(FFileEdit, &QLineEdit::textChanged, this, &TRenderDialog::UpdateEstimate);
    connect(FBrowseButton, &QPushButton::clicked, this, &TRenderDialog::BrowseForFile);
    connect(FAnimation, &QGroupBox::toggled, this, &TRenderDialog::UpdateAnimationControls);
    connect(FFrames, &QSpinBox::valueChanged, this, &TRenderDialog::UpdateEstimate);
    connect(FMoves, &QComboBox::currentIndexChanged, this, &TRenderDialog::UpdateAnimationControls);
    connect(FLoop, &QCheckBox::toggled, this, &TRenderDialog::UpdateAnimationControls);
    connect(FMorphBrowse, &QPushButton::clicked, this, &TRenderDialog::BrowseForMorphFile);
    connect(FRenderButton, &QPushButton::clicked, this, &TRenderDialog::StartRender);
    connect(FCancelButton, &QPushButton::clicked, this, &TRenderDialog::CancelRender);
    connect(FOpenFolderButton, &QPushButton::clicked, this, [this] {
        const QString file = FOpenFolderButton->property("file").toString();
        QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(file).absolutePath()));
    });
}

void TRenderDialog::UpdateAnimationControls() {
    const bool morph = FMoves->currentIndex() == 1;
    FMorphFile->setEnabled(morph);
    FMorphBrowse->setEnabled(morph);
    FTickStep->setEnabled(!morph && !FLoop->isChecked());
    UpdateEstimate();
}

void TRenderDialog::BrowseForMorphFile() {
    const QStringList files = TParameterFileDialog::OpenFileNames(this);
    if (!files.isEmpty())
        FMorphFile->setText(files.first());
}

void TRenderDialog::SetDocument(const TRenderSettings& document, const QString& title) {
    FDocument = document;
    FRates.clear();
    setWindowTitle(tr("Render %1").arg(title));
    FAdjusting = true;
    FWidth->setValue(document.Width);
    FHeight->setValue(document.Height);
    FAdjusting = false;
    // The document's own density, so that the big picture looks like the window's.
    FDensity->setValue(std::max(0.01, static_cast<double>(document.Steps) /
                                          (static_cast<double>(document.Width) * document.Height)));
    UpdateEstimate();
}

void TRenderDialog::SetSize(int width, int height) {
    FAdjusting = true;
    FWidth->setValue(width);
    FHeight->setValue(height);
    FAdjusting = false;
    UpdateEstimate();
}

void TRenderDialog::WidthChanged(int width) {
    if (!FAdjusting && FKeepAspect->isChecked() && FDocument.Width > 0)
        SetSize(width, std::clamp(static_cast<int>(std::lround(static_cast<double>(width) *
                                                               FDocument.Height / FDocument.Width)),
                                  1, MaxSide));
    UpdateEstimate();
}

void TRenderDialog::HeightChanged(int height) {
    if (!FAdjusting && FKeepAspect->isChecked() && FDocument.Height > 0)
        SetSize(std::clamp(static_cast<int>(std::lround(static_cast<double>(height) *
                                                        FDocument.Width / FDocument.Height)),
                           1, MaxSide),
                height);
    UpdateEstimate();
}

void TRenderDialog::BrowseForFile() {
    FSaveDialog->SetFileName(FFileEdit->text());
    if (FSaveDialog->RunDialog())
        FFileEdit->setText(FSaveDialog->FileName());
}

TRenderRequest TRenderDialog::Request() const {
    TRenderRequest request;
    TRenderSettings& settings = request.Settings;
    settings = FDocument;
    settings.Width = FWidth->value();
    settings.Height = FHeight->value();
    settings.Supersample = FSupersample->value();
    settings.Threads = FThreads->value();
    settings.Transparent = FTransparent->isChecked();
    const double steps =
        std::round(FDensity->value() * settings.Width * static_cast<double>(settings.Height));
    // Every orbit needs a step.
    settings.Steps =
        static_cast<std::int64_t>(std::clamp(steps, static_cast<double>(settings.OrbitCount()),
                                             static_cast<double>(TRenderSettings::MaxSteps) /
                                                 (settings.Supersample * settings.Supersample)));
    request.OutFile = FFileEdit->text().toStdString();
    request.Writer = WriterOptions();
    if (FAnimation->isChecked()) {
        TAnimationRequest animation;
        animation.Frames = FFrames->value();
        animation.Video.FramesPerSecond = FFrameRate->value();
        animation.Loop = FLoop->isChecked();
        if (FMoves->currentIndex() == 0 && !animation.Loop)
            animation.TickStep = FTickStep->value();
        request.Animation = animation;
    }
    return request;
}

double TRenderDialog::MeasuredRate(const TRenderSettings& settings) {
    const double pixels = static_cast<double>(settings.Width) * settings.Height *
                          settings.Supersample * settings.Supersample;
    const int sizeClass = std::ilogb(std::max(pixels, 1.0)) / 2;
    const auto known = FRates.find(sizeClass);
    if (known != FRates.end())
        return known->second;
    TRenderSettings probe = FDocument;
    probe.Width = settings.Width;
    probe.Height = settings.Height;
    probe.Supersample = settings.Supersample;
    return FRates[sizeClass] = TRenderJob::MeasuredRate(probe);
}

void TRenderDialog::UpdateEstimate() {
    if (FDocument.Width == 0)
        return;
    const TRenderRequest request = Request();
    const TRenderSettings& settings = request.Settings;
    const double mebibytes = static_cast<double>(TRenderJob::NeededBytes(settings)) / (1 << 20);
    const double rate = MeasuredRate(settings) * TRenderJob::RunningThreads(settings);
    const double steps =
        static_cast<double>(settings.Steps) * settings.Supersample * settings.Supersample;
    QString text = tr("Needs about %1 MiB of memory").arg(std::ceil(mebibytes), 0, 'f', 0);
    if (rate > 0.0)
        text += tr(" and takes about %1").arg(Duration(steps / rate));
    text += tr(" for %L1 steps.").arg(steps, 0, 'f', 0);
    if (request.Animation)
        text = tr("%1 frames. Each ").arg(request.Animation->Frames) + text.at(0).toLower() +
               text.mid(1);
    const std::string extension = FileNameExtension(request.OutFile);
    if (settings.Transparent && !request.OutFile.empty() && !TAlphaPicture::CanSave(extension))
        text += tr("\nOnly PNG and TIFF files hold a transparent background.");
    FEstimate->setText(text);
}

QString TRenderDialog::Refusal(TRenderRequest& request) const {
    const std::string extension = FileNameExtension(request.OutFile);
    const QString file = QString::fromStdString(request.OutFile);
    if (request.OutFile.empty())
        return tr("choose a file to render to");
    if (!QFileInfo(QFileInfo(file).absolutePath()).isDir())
        return tr("the folder of \"%1\" does not exist").arg(file);
    if (request.Animation) {
        if (request.Settings.Transparent)
            return tr("an animation's frames have no transparent background");
        if (!TVideoEncoder::Handles(extension) && !TFrameNames::Parse(request.OutFile))
            return tr("\"%1\": an animation goes into a video (%2) or into numbered pictures "
                      "with one frame number in their name (frame%05d.png)")
                .arg(file, QString::fromStdString(TVideoEncoder::Extensions()));
        if (!TVideoEncoder::Handles(extension) && !FileFormatWriters().Find(LowerCase(extension)))
            return tr("\"%1\": the extension does not name a picture format").arg(file);
        if (FMoves->currentIndex() == 1) {
            if (FMorphFile->text().isEmpty())
                return tr("choose the parameter file of the set to morph to");
            try {
                request.Animation->MorphTo =
                    TParameterFile::Load(FMorphFile->text().toLocal8Bit().toStdString());
            } catch (const EParameterFile& error) {
                return QString::fromStdString(error.what());
            }
        } else if (!TAnimationPlan::Turns(request.Settings.Params)) {
            return tr("no rotation of the set's maps is on, so nothing would move: switch one "
                      "on in the Parameters window, or morph to another set");
        }
        return {};
    }
    if (!FileFormatWriters().Find(LowerCase(extension)))
        return tr("\"%1\": the extension does not name a picture format").arg(file);
    if (request.Settings.Transparent && !TAlphaPicture::CanSave(extension))
        return tr("only PNG and TIFF files hold a transparent background");
    return {};
}

void TRenderDialog::StartRender() {
    TRenderRequest request = Request();
    if (const QString refusal = Refusal(request); !refusal.isEmpty()) {
        FResult->setText(refusal);
        return;
    }
    const int id = FQueue->Add(request);
    FFiles[id] = QString::fromStdString(request.OutFile);
    const TRenderSettings& settings = request.Settings;
    FTotalSteps[id] =
        static_cast<double>(settings.Steps) * settings.Supersample * settings.Supersample;
    ShowQueue();
}

void TRenderDialog::CancelRender() {
    if (FRunningId != 0)
        FQueue->Cancel(FRunningId);
}

void TRenderDialog::ShowQueue() {
    FQueueList->clear();
    for (const int id : FQueue->Waiting())
        FQueueList->addItem(FFiles[id]);
}

void TRenderDialog::Started(int id) {
    FRunningId = id;
    FRunClock.start();
    FProgress->setValue(0);
    FProgressText->setText(tr("Rendering %1").arg(FFiles[id]));
    FCancelButton->setEnabled(true);
    ShowQueue();
}

void TRenderDialog::Progressed(int id, const TRenderProgress& progress) {
    if (id != FRunningId)
        return;
    FProgress->setValue(static_cast<int>(progress.Fraction * 1000));
    const double elapsed = progress.Seconds;
    QString text = tr("%1 elapsed").arg(Duration(elapsed));
    if (progress.Fraction > 0.0) {
        const double steps = progress.Fraction * FTotalSteps[id];
        text += tr(", %1 remaining, %L2 steps per second")
                    .arg(Duration(elapsed * (1.0 - progress.Fraction) / progress.Fraction))
                    .arg(steps / std::max(elapsed, 1e-3), 0, 'f', 0);
    }
    FProgressText->setText(text);
}

void TRenderDialog::FramesProgressed(int id, const TAnimationProgress& progress) {
    if (id != FRunningId)
        return;
    FFramesDone[id] = progress;
    FProgress->setValue(static_cast<int>(progress.Fraction() * 1000));
    const double elapsed = FRunClock.elapsed() / 1000.0;
    QString text = tr("%1 of %2 frames done").arg(progress.Done).arg(progress.Total);
    if (progress.Done < progress.Total)
        text += tr(", the next at %1 %").arg(static_cast<int>(progress.FrameFraction * 100));
    text += tr(", %1 elapsed").arg(Duration(elapsed));
    FProgressText->setText(text);
}

void TRenderDialog::Ended(int id, const QString& text, bool failed) {
    if (id == FRunningId) {
        FRunningId = 0;
        FCancelButton->setEnabled(false);
        FProgress->setValue(failed ? 0 : FProgress->maximum());
        FProgressText->setText(
            failed ? QString() : tr("Done in %1").arg(Duration(FRunClock.elapsed() / 1000.0)));
    }
    FResult->setText(failed ? tr("%1: %2").arg(FFiles[id], text) : tr("Written: %1").arg(text));
    FOpenFolderButton->setEnabled(!failed);
    if (!failed)
        FOpenFolderButton->setProperty("file", FFiles[id]);
    ShowQueue();
    emit RequestEnded();
}

QString TRenderDialog::ResultText() const {
    return FResult->text();
}

QString TRenderDialog::ProgressText() const {
    return FProgressText->text();
}

QString TRenderDialog::EstimateText() const {
    return FEstimate->text();
}

int TRenderDialog::Waiting() const {
    return static_cast<int>(FQueue->Waiting().size());
}
