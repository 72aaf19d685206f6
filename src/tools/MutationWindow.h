#pragma once

#include "render/CandidateScreen.h"
#include "render/SetMutation.h"

#include <QDialog>

#include <array>
#include <memory>
#include <optional>

class QCheckBox;
class QLabel;
class QPushButton;
class QSlider;
class QSpinBox;
class TMDIChild;
class TSetGrid;

// Mutate: a document's set in the middle of eight variants near it, each rendered on worker
// threads, passing its warm-up, with its numbers. Double-clicking a variant makes it the
// document's set and the new centre; Back returns to the one before. The variants follow from
// the centre, the strength and the seed shown.
class TMutationWindow : public QDialog {
    Q_OBJECT

public:
    static constexpr double Density = 30.0;
    static constexpr int Threads = 2;
    static constexpr int CentreCell = 4;
    static constexpr int Cells = 9;

    explicit TMutationWindow(TMDIChild& document);
    ~TMutationWindow() override;

    // Shows the window with the variants of `centre`.
    void ShowCentre(const TParameterFile& centre);

    TSetGrid* Grid() const { return FGrid; }
    QSlider* StrengthSlider() const { return FStrength; }
    QSpinBox* SeedBox() const { return FSeed; }
    QPushButton* NewSeedButton() const { return FNewSeed; }
    QCheckBox* FittedBox() const { return FFitted; }
    QPushButton* BackButton() const { return FBackButton; }
    const TMutation& Mutation() const { return FMutation; }
    // The cells' sets as they arrived; the centre in CentreCell.
    const std::optional<TCandidate>& CellSet(int cell) const {
        return FCells[static_cast<std::size_t>(cell)];
    }
    bool Complete() const;
    // The strength a slider position stands for: from TMutation's least to its largest, evenly
    // in the logarithm.
    static double StrengthAt(int position);

private:
    void CreateWidgets();
    void CreateLayout();
    void Regenerate();
    void Arrived(const TCandidate& candidate, int generation);
    void Activated(int cell);
    void Back();
    void ShowCells();

    TMDIChild& FDocument;
    TMutation FMutation;
    std::array<std::optional<TCandidate>, Cells> FCells;
    int FVariants = 0;
    int FFailed = 0;
    int FGeneration = 0;

    TSetGrid* FGrid;
    QSlider* FStrength;
    QLabel* FStrengthText;
    QSpinBox* FSeed;
    QPushButton* FNewSeed;
    QCheckBox* FFitted;
    QPushButton* FBackButton;
    QLabel* FStatus;
    // Last: its threads hand sets to this window until it is gone.
    std::unique_ptr<TCandidateScreen> FScreen;
};
