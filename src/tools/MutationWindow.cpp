#include "tools/MutationWindow.h"

#include "document/MDIChild.h"
#include "engine/FractalEngine.h"
#include "render/SetScreening.h"
#include "tools/SetGrid.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QVBoxLayout>

#include <cmath>

namespace {

constexpr int StrengthSteps = 100;

// The slider position nearest a strength.
int PositionOf(double strength) {
    return static_cast<int>(
        std::lround(StrengthSteps * std::log(strength / TMutation::MinStrength) /
                    std::log(TMutation::MaxStrength / TMutation::MinStrength)));
}

} // namespace

TMutationWindow::TMutationWindow(TMDIChild& document) : QDialog(&document), FDocument(document) {
    setObjectName(QStringLiteral("MutationWindow"));
    setWindowTitle(tr("Mutate"));
    FMutation.Seed = TFractalEngine::UtcMillisecondsOfDay();
    CreateWidgets();
    CreateLayout();
}

// The screen's threads end before the widgets they report to.
TMutationWindow::~TMutationWindow() = default;

double TMutationWindow::StrengthAt(int position) {
    return TMutation::MinStrength * std::pow(TMutation::MaxStrength / TMutation::MinStrength,
                                             static_cast<double>(position) / StrengthSteps);
}

void TMutationWindow::CreateWidgets() {
    FGrid = new TSetGrid(this);
    FGrid->SetFixedColumns(3);
    connect(FGrid, &TSetGrid::CellActivated, this, &TMutationWindow::Activated);

    FStrength = new QSlider(Qt::Horizontal, this);
    FStrength->setRange(0, StrengthSteps);
    FStrength->setValue(PositionOf(FMutation.Strength));
    // A new grid only once the slider is let go.
    FStrength->setTracking(false);
    FStrength->setToolTip(tr("How far the variants move from the centre: small to large"));
    FStrengthText = new QLabel(this);
    connect(FStrength, &QSlider::sliderMoved, this, [this](int position) {
        FStrengthText->setText(QString::number(StrengthAt(position), 'f', 3));
    });
    connect(FStrength, &QSlider::valueChanged, this, [this](int position) {
        FMutation.Strength = StrengthAt(position);
        Regenerate();
    });

    FSeed = new QSpinBox(this);
    FSeed->setRange(0, static_cast<int>(TFractalEngine::MillisecondsPerDay) - 1);
    FSeed->setKeyboardTracking(false);
    FSeed->setToolTip(tr("The same seed, centre and strength give the same variants"));
    connect(FSeed, &QSpinBox::valueChanged, this, [this](int seed) {
        FMutation.Seed = static_cast<std::uint32_t>(seed);
        Regenerate();
    });
    FNewSeed = new QPushButton(tr("New seed"), this);
    connect(FNewSeed, &QPushButton::clicked, this, [this] {
        FSeed->setValue(
            static_cast<int>((FMutation.Seed + 1 + TFractalEngine::UtcMillisecondsOfDay()) %
                             TFractalEngine::MillisecondsPerDay));
    });

    FFitted = new QCheckBox(tr("Fitted view"), this);
    FFitted->setChecked(true);
    FFitted->setToolTip(tr("Show the variants, and give the document the one picked, in the "
                           "view that shows it whole"));
    connect(FFitted, &QCheckBox::toggled, this, &TMutationWindow::ShowCells);

    FBackButton = new QPushButton(tr("Back"), this);
    FBackButton->setToolTip(tr("Return to the previous centre"));
    connect(FBackButton, &QPushButton::clicked, this, &TMutationWindow::Back);
    FStatus = new QLabel(this);
}

void TMutationWindow::CreateLayout() {
    auto* controls = new QGridLayout;
    controls->addWidget(new QLabel(tr("Strength"), this), 0, 0);
    controls->addWidget(FStrength, 0, 1);
    controls->addWidget(FStrengthText, 0, 2);
    controls->addWidget(new QLabel(tr("Seed"), this), 1, 0);
    controls->addWidget(FSeed, 1, 1);
    controls->addWidget(FNewSeed, 1, 2);
    controls->addWidget(FFitted, 2, 0, 1, 2);
    controls->addWidget(FBackButton, 2, 2);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(FGrid, 1);
    layout->addLayout(controls);
    layout->addWidget(FStatus);
}

void TMutationWindow::ShowCentre(const TParameterFile& centre) {
    FMutation.Centre = centre;
    {
        // The seed box reports its own change, which would regenerate once more.
        const QSignalBlocker blocker(FSeed);
        FSeed->setValue(static_cast<int>(FMutation.Seed));
    }
    Regenerate();
    show();
    raise();
}

void TMutationWindow::Regenerate() {
    ++FGeneration;
    FScreen.reset();
    FCells.fill(std::nullopt);
    FVariants = 0;
    FFailed = 0;
    FStrengthText->setText(QString::number(FMutation.Strength, 'f', 3));
    const int generation = FGeneration;
    FScreen = std::make_unique<TCandidateScreen>(
        [mutation = FMutation](int k) {
            return mutation.Screening(k, TSetGrid::ThumbnailSize.width(),
                                      TSetGrid::ThumbnailSize.height(), Density);
        },
        TScreenFilter{}, 0, Threads,
        [this, generation](TCandidate&& candidate) {
            auto arrived = std::make_shared<TCandidate>(std::move(candidate));
            QMetaObject::invokeMethod(
                this, [this, arrived, generation] { Arrived(*arrived, generation); },
                Qt::QueuedConnection);
        });
    // The centre is candidate 0; the rest are variants.
    FScreen->Want(Cells);
    ShowCells();
}

void TMutationWindow::Arrived(const TCandidate& candidate, int generation) {
    if (generation != FGeneration)
        return;
    if (candidate.Index == 0) {
        FCells[CentreCell] = candidate;
        if (!candidate.Passed)
            FScreen->Want(1);
    } else if (!candidate.Passed) {
        ++FFailed;
    } else if (FVariants < Cells - 1) {
        const int cell = FVariants < CentreCell ? FVariants : FVariants + 1;
        FCells[static_cast<std::size_t>(cell)] = candidate;
        ++FVariants;
    }
    ShowCells();
}

bool TMutationWindow::Complete() const {
    return std::all_of(FCells.begin(), FCells.end(), [](const auto& cell) { return cell; });
}

void TMutationWindow::ShowCells() {
    std::vector<TSetGrid::TCell> cells(Cells);
    for (int cell = 0; cell < Cells; ++cell) {
        const auto& set = FCells[static_cast<std::size_t>(cell)];
        if (set)
            cells[static_cast<std::size_t>(cell)] = TSetGrid::CellOf(*set, FFitted->isChecked());
    }
    cells[CentreCell].Marked = true;
    FGrid->SetCells(std::move(cells));
    FBackButton->setEnabled(FDocument.Document().History().CanGoBack());
    QString status = tr("Double-click a variant to make it the centre.");
    if (FFailed > 0)
        status += tr(" Variants that failed the warm-up and were replaced: %1.").arg(FFailed);
    FStatus->setText(status);
}

void TMutationWindow::Activated(int cell) {
    const auto& set = FCells[static_cast<std::size_t>(cell)];
    if (cell == CentreCell || !set || !set->Passed)
        return;
    const TFractalDocument& document = FDocument.Document();
    const TParameterFile chosen =
        SetForPicture(set->Set, document.DocWidth(), document.DocHeight(), FFitted->isChecked());
    FDocument.ShowSet(chosen);
    ShowCentre(chosen);
}

void TMutationWindow::Back() {
    if (!FDocument.Document().History().CanGoBack())
        return;
    FDocument.Back1Click();
    ShowCentre(FDocument.Document().History().Current());
}
