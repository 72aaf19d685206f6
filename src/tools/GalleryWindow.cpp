#include "tools/GalleryWindow.h"

#include "engine/ParameterFile.h"
#include "render/SetScreening.h"
#include "tools/SetGrid.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <array>
#include <cmath>

namespace {

// The orders the page can be shown in: by draw, or by a number, largest first.
struct TSortKey {
    const char* Name;
    double (*Value)(const TCandidate&);
};

double DimensionOf(const TCandidate& candidate) {
    const auto& dimension = candidate.Set.Numbers.Dimension;
    return dimension ? dimension->Dimension : 0.0;
}

const std::array<TSortKey, 5> SortKeys{{
    {QT_TRANSLATE_NOOP("TGalleryWindow", "Drawn order"), nullptr},
    {QT_TRANSLATE_NOOP("TGalleryWindow", "Lyapunov estimate"),
     [](const TCandidate& c) { return c.Set.Numbers.Lyapunov; }},
    {QT_TRANSLATE_NOOP("TGalleryWindow", "Coverage"),
     [](const TCandidate& c) { return c.Set.Numbers.Coverage; }},
    {QT_TRANSLATE_NOOP("TGalleryWindow", "Fitted coverage"),
     [](const TCandidate& c) { return c.Set.Numbers.FitCoverage; }},
    {QT_TRANSLATE_NOOP("TGalleryWindow", "Dimension"), &DimensionOf},
}};

constexpr int DefaultPage = 4 * 3;

} // namespace

TGalleryWindow::TGalleryWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("GalleryWindow"));
    setWindowTitle(tr("Gallery"));
    CreateWidgets();
    CreateLayout();
}

// The screen's threads end before the widgets they report to.
TGalleryWindow::~TGalleryWindow() = default;

void TGalleryWindow::CreateWidgets() {
    FGrid = new TSetGrid(this);
    connect(FGrid, &TSetGrid::CellActivated, this, &TGalleryWindow::Activated);
    connect(FGrid, &TSetGrid::CapacityChanged, this, &TGalleryWindow::CapacityChanged);

    FSortBox = new QComboBox(this);
    for (const TSortKey& key : SortKeys)
        FSortBox->addItem(tr(key.Name));
    connect(FSortBox, &QComboBox::currentIndexChanged, this, &TGalleryWindow::ShowPage);

    FMinCoverage = new QDoubleSpinBox(this);
    FMinCoverage->setRange(0.0, 100.0);
    FMinCoverage->setDecimals(1);
    FMinCoverage->setSingleStep(0.5);
    FMinCoverage->setSuffix(QStringLiteral(" %"));
    FMinCoverage->setKeyboardTracking(false);
    FMinCoverage->setToolTip(tr("Sets that light fewer of the frame's pixels are replaced"));
    connect(FMinCoverage, &QDoubleSpinBox::valueChanged, this, &TGalleryWindow::FilterChanged);

    FDimension = new QCheckBox(tr("Dimension"), this);
    FDimension->setToolTip(tr("Only sets whose correlation dimension lies in the range"));
    connect(FDimension, &QCheckBox::toggled, this, &TGalleryWindow::FilterChanged);
    FDimensionLow = new QDoubleSpinBox(this);
    FDimensionHigh = new QDoubleSpinBox(this);
    for (QDoubleSpinBox* box : {FDimensionLow, FDimensionHigh}) {
        box->setRange(0.0, 3.0);
        box->setSingleStep(0.05);
        box->setKeyboardTracking(false);
        connect(box, &QDoubleSpinBox::valueChanged, this, [this] {
            if (FDimension->isChecked())
                FilterChanged();
        });
    }
    FDimensionLow->setValue(1.2);
    FDimensionHigh->setValue(2.0);

    FFitted = new QCheckBox(tr("Fitted view"), this);
    FFitted->setChecked(true);
    FFitted->setToolTip(tr("Show and open each set in the view that shows it whole"));
    connect(FFitted, &QCheckBox::toggled, this, &TGalleryWindow::ShowPage);

    FMoreButton = new QPushButton(tr("More"), this);
    FMoreButton->setToolTip(tr("The next page of sets"));
    connect(FMoreButton, &QPushButton::clicked, this, &TGalleryWindow::More);
    FStatus = new QLabel(this);
}

void TGalleryWindow::CreateLayout() {
    auto* controls = new QHBoxLayout;
    controls->addWidget(new QLabel(tr("Sort by"), this));
    controls->addWidget(FSortBox);
    controls->addSpacing(12);
    controls->addWidget(new QLabel(tr("Min. coverage"), this));
    controls->addWidget(FMinCoverage);
    controls->addSpacing(12);
    controls->addWidget(FDimension);
    controls->addWidget(FDimensionLow);
    controls->addWidget(new QLabel(QStringLiteral("–"), this));
    controls->addWidget(FDimensionHigh);
    controls->addSpacing(12);
    controls->addWidget(FFitted);
    controls->addStretch();
    controls->addWidget(FMoreButton);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(controls);
    layout->addWidget(FGrid, 1);
    layout->addWidget(FStatus);
}

void TGalleryWindow::Begin(const TFractalParams& settings, std::uint32_t seed, int width,
                           int height) {
    FCell = TRenderSettings{};
    FCell.Params = settings;
    FCell.Params.Image = nullptr;
    // A document's block holds its own set and how far it has come: every candidate draws anew.
    FCell.Params.NewCoefficients = BoolTrue;
    FCell.Params.AbortRequested = BoolFalse;
    FCell.Params.Tick = 0;
    FCell.Params.StepCount = 0;
    FCell.Width = TSetGrid::ThumbnailSize.width();
    FCell.Height = TSetGrid::ThumbnailSize.height();
    FCell.Steps = std::llround(Density * FCell.Width * FCell.Height);
    FCell.Seed = seed;
    FOpenWidth = width;
    FOpenHeight = height;
    FPage = 1;
    FShown.clear();
    FSpare.clear();
    FScreenedOut = 0;
    FNextCandidate = 0;
    RestartScreen();
    RequestMissing();
    ShowPage();
}

TScreenFilter TGalleryWindow::Filter() const {
    TScreenFilter filter;
    filter.MinCoverage = FMinCoverage->value() / 100.0;
    if (FDimension->isChecked())
        filter.DimensionRange = {FDimensionLow->value(), FDimensionHigh->value()};
    return filter;
}

void TGalleryWindow::RestartScreen() {
    ++FGeneration;
    FScreen.reset();
    FOutstanding = 0;
    const int generation = FGeneration;
    FScreen = std::make_unique<TCandidateScreen>(
        [cell = FCell](int k) { return FreshCandidate(cell, k); }, Filter(), FNextCandidate,
        Threads,
        [this, generation](TCandidate&& candidate) {
            auto arrived = std::make_shared<TCandidate>(std::move(candidate));
            QMetaObject::invokeMethod(
                this, [this, arrived, generation] { Arrived(*arrived, generation); },
                Qt::QueuedConnection);
        });
}

int TGalleryWindow::PageSize() const {
    return FGrid->isVisible() ? FGrid->Capacity() : DefaultPage;
}

void TGalleryWindow::RequestMissing() {
    if (!FScreen)
        return;
    const int needed =
        PageSize() - static_cast<int>(FShown.size()) - static_cast<int>(FSpare.size());
    if (needed > FOutstanding) {
        FScreen->Want(needed - FOutstanding);
        FOutstanding = needed;
    }
}

void TGalleryWindow::Arrived(const TCandidate& candidate, int generation) {
    if (generation != FGeneration)
        return;
    FNextCandidate = candidate.Index + 1;
    if (!candidate.Passed) {
        ++FScreenedOut;
    } else {
        --FOutstanding;
        if (static_cast<int>(FShown.size()) < PageSize())
            FShown.push_back(candidate);
        else
            FSpare.push_back(candidate);
    }
    RequestMissing();
    ShowPage();
}

void TGalleryWindow::FilterChanged() {
    if (!FScreen)
        return;
    const TScreenFilter filter = Filter();
    const auto fails = [&filter](const TCandidate& c) { return !filter.Passes(c.Set.Numbers); };
    const auto removed = std::erase_if(FShown, fails) + std::erase_if(FSpare, fails);
    FScreenedOut += static_cast<int>(removed);
    RestartScreen();
    RequestMissing();
    ShowPage();
}

void TGalleryWindow::CapacityChanged() {
    while (static_cast<int>(FShown.size()) > PageSize()) {
        FSpare.push_front(std::move(FShown.back()));
        FShown.pop_back();
    }
    RequestMissing();
    ShowPage();
}

void TGalleryWindow::More() {
    if (!FScreen)
        return;
    ++FPage;
    FShown.clear();
    while (!FSpare.empty() && static_cast<int>(FShown.size()) < PageSize()) {
        FShown.push_back(std::move(FSpare.front()));
        FSpare.pop_front();
    }
    RequestMissing();
    ShowPage();
}

std::vector<const TCandidate*> TGalleryWindow::ShownSets() const {
    std::vector<const TCandidate*> shown;
    for (const TCandidate& candidate : FShown)
        shown.push_back(&candidate);
    const TSortKey& key = SortKeys[static_cast<std::size_t>(std::max(0, FSortBox->currentIndex()))];
    if (key.Value)
        std::stable_sort(shown.begin(), shown.end(), [&key](const auto* a, const auto* b) {
            return key.Value(*a) > key.Value(*b);
        });
    return shown;
}

bool TGalleryWindow::PageComplete() const {
    return static_cast<int>(FShown.size()) >= PageSize();
}

void TGalleryWindow::ShowPage() {
    std::vector<TSetGrid::TCell> cells;
    for (const TCandidate* candidate : ShownSets())
        cells.push_back(TSetGrid::CellOf(*candidate, FFitted->isChecked()));
    cells.resize(static_cast<std::size_t>(std::max(PageSize(), static_cast<int>(cells.size()))));
    FGrid->SetCells(std::move(cells));
    QString status = tr("Page %1: %2 of %3 sets, %4 screened out")
                         .arg(FPage)
                         .arg(std::min<int>(static_cast<int>(FShown.size()), PageSize()))
                         .arg(PageSize())
                         .arg(FScreenedOut);
    if (!PageComplete())
        status += tr(", rendering...");
    FStatus->setText(status);
}

void TGalleryWindow::Activated(int cell) {
    const std::vector<const TCandidate*> shown = ShownSets();
    if (cell < 0 || cell >= static_cast<int>(shown.size()))
        return;
    emit SetChosen(SetForPicture(shown[static_cast<std::size_t>(cell)]->Set, FOpenWidth,
                                 FOpenHeight, FFitted->isChecked()));
}
