#include "app/RenderDialog.h"

#include "export/AlphaPicture.h"
#include "export/FileFormatWriters.h"
#include "export/WriterOptions.h"
#include "export/dialog/PGSaveDialog.h"
#include "render/RenderJob.h"

#include <QCheckBox>
#include <QDesktopServices>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFileInfo>
#include <QFormLayout>
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
    events.Finished = [this](int id, const TRenderResult&, const std::vector<std::string>&) {
        QMetaObject::invokeMethod(
            this, [this, id] { Ended(id, FFiles[id], false); }, Qt::QueuedConnection);
    };
    events.Failed = [this](int id, const std::string& error) {
        const QString text = QString::fromStdString(error);
        QMetaObject::invokeMethod(
            this, [this, id, text] { Ended(id, text, true); }, Qt::QueuedConnection);
    };
    events.Cancelled = [this](int id) {
        QMetaObject::invokeMethod(
            this, [this, id] { Ended(id, tr("cancelled: nothing was written"), true); },
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
    auto* run = new QHBoxLayout;
    run->addWidget(FProgress, 1);
    run->addWidget(FCancelButton);
    auto* result = new QHBoxLayout;
    result->addWidget(FResult, 1);
    result->addWidget(FOpenFolderButton);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
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
    connect(FRenderButton, &QPushButton::clicked, this, &TRenderDialog::StartRender);
    connect(FCancelButton, &QPushButton::clicked, this, &TRenderDialog::CancelRender);
    connect(FOpenFolderButton, &QPushButton::clicked, this, [this] {
        const QString file = FOpenFolderButton->property("file").toString();
        QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(file).absolutePath()));
    });
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
    const std::string extension = FileNameExtension(request.OutFile);
    if (settings.Transparent && !request.OutFile.empty() && !TAlphaPicture::CanSave(extension))
        text += tr("\nOnly PNG and TIFF files hold a transparent background.");
    FEstimate->setText(text);
}

void TRenderDialog::StartRender() {
    const TRenderRequest request = Request();
    const std::string extension = FileNameExtension(request.OutFile);
    QString refusal;
    if (request.OutFile.empty())
        refusal = tr("choose a file to render to");
    else if (!FileFormatWriters().Find(LowerCase(extension)))
        refusal = tr("\"%1\": the extension does not name a picture format")
                      .arg(QString::fromStdString(request.OutFile));
    else if (request.Settings.Transparent && !TAlphaPicture::CanSave(extension))
        refusal = tr("only PNG and TIFF files hold a transparent background");
    else if (!QFileInfo(QFileInfo(QString::fromStdString(request.OutFile)).absolutePath()).isDir())
        refusal =
            tr("the folder of \"%1\" does not exist").arg(QString::fromStdString(request.OutFile));
    if (!refusal.isEmpty()) {
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
        FOpenFolderButton->setProperty("file", text);
    ShowQueue();
    emit RequestEnded();
}

QString TRenderDialog::ResultText() const {
    return FResult->text();
}

QString TRenderDialog::EstimateText() const {
    return FEstimate->text();
}

int TRenderDialog::Waiting() const {
    return static_cast<int>(FQueue->Waiting().size());
}
