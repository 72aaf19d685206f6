#pragma once

#include "render/CandidateScreen.h"
#include "render/RenderSettings.h"

#include <QWidget>

#include <deque>
#include <memory>
#include <vector>

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QPushButton;
class TParameterFile;
class TSetGrid;

// File > Gallery: pages of fresh sets drawn with a document's settings, rendered as thumbnails
// on worker threads and captioned with their numbers, to be sorted, screened and opened. The
// page fills in as the sets arrive; the windows stay usable and documents go on rendering.
class TGalleryWindow : public QWidget {
    Q_OBJECT

public:
    // Thumbnails are rendered at this many steps a pixel.
    static constexpr double Density = 30.0;
    // Candidates screened at once.
    static constexpr int Threads = 2;

    explicit TGalleryWindow(QWidget* parent = nullptr);
    ~TGalleryWindow() override;

    // A first page of sets drawn with `settings` (maps, rotations, variations, colours) from
    // the clock value `seed`; an opened set gets a picture of width x height.
    void Begin(const TFractalParams& settings, std::uint32_t seed, int width, int height);

    TSetGrid* Grid() const { return FGrid; }
    QComboBox* SortBox() const { return FSortBox; }
    QDoubleSpinBox* MinCoverageBox() const { return FMinCoverage; }
    QCheckBox* DimensionBox() const { return FDimension; }
    QDoubleSpinBox* DimensionLowBox() const { return FDimensionLow; }
    QDoubleSpinBox* DimensionHighBox() const { return FDimensionHigh; }
    QCheckBox* FittedBox() const { return FFitted; }
    QPushButton* MoreButton() const { return FMoreButton; }
    QLabel* StatusLabel() const { return FStatus; }
    // The sets of the page as shown, in the grid's order.
    std::vector<const TCandidate*> ShownSets() const;
    int ScreenedOut() const { return FScreenedOut; }
    // Every cell the grid shows has its set.
    bool PageComplete() const;

signals:
    // A set to open as a new document, with its coefficients bit for bit.
    void SetChosen(const TParameterFile& file);

private:
    void CreateWidgets();
    void CreateLayout();
    TScreenFilter Filter() const;
    // The sets a page has: the cells the grid shows.
    int PageSize() const;
    // A new screen with the current filter, from the first candidate not yet seen.
    void RestartScreen();
    void Arrived(const TCandidate& candidate, int generation);
    // Asks the screen for the sets the page still lacks.
    void RequestMissing();
    void FilterChanged();
    void CapacityChanged();
    void More();
    void ShowPage();
    void Activated(int cell);

    TRenderSettings FCell;
    int FOpenWidth = 0;
    int FOpenHeight = 0;
    int FPage = 1;
    std::vector<TCandidate> FShown;
    // Passing sets that arrived after the page was full: the next page's first.
    std::deque<TCandidate> FSpare;
    int FScreenedOut = 0;
    int FNextCandidate = 0;
    // Passing sets asked of the current screen and not yet arrived.
    int FOutstanding = 0;
    // Arrivals from a screen that has since been replaced are dropped.
    int FGeneration = 0;

    TSetGrid* FGrid;
    QComboBox* FSortBox;
    QDoubleSpinBox* FMinCoverage;
    QCheckBox* FDimension;
    QDoubleSpinBox* FDimensionLow;
    QDoubleSpinBox* FDimensionHigh;
    QCheckBox* FFitted;
    QPushButton* FMoreButton;
    QLabel* FStatus;
    // Last: its threads hand sets to this window until it is gone.
    std::unique_ptr<TCandidateScreen> FScreen;
};
