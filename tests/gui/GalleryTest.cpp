#include "GuiTestSupport.h"

#include "render/SetScreening.h"
#include "tools/GalleryWindow.h"
#include "tools/MutationWindow.h"
#include "tools/SetGrid.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

bool SameCoefficients(const TFractalParams& a, const TFractalParams& b) {
    return std::memcmp(a.RotationLimitAndCoef, b.RotationLimitAndCoef,
                       sizeof a.RotationLimitAndCoef) == 0;
}

void DoubleClickCell(TSetGrid& grid, int cell) {
    QTest::mouseDClick(&grid, Qt::LeftButton, {}, grid.PictureCentre(cell));
}

// The coefficients of every cell of a complete mutation grid.
std::vector<TFractalParams> GridSets(const TMutationWindow& window) {
    std::vector<TFractalParams> sets;
    for (int cell = 0; cell < TMutationWindow::Cells; ++cell)
        sets.push_back(window.CellSet(cell)->Set.Set.Params);
    return sets;
}

bool SameSets(const std::vector<TFractalParams>& a, const std::vector<TFractalParams>& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), SameCoefficients);
}

} // namespace

class GalleryTest : public QObject {
    Q_OBJECT

private slots:
    void init() { FMessages.Texts.clear(); }
    void aPageFillsWhileTheDocumentRendersAndOpensTheSetChosen();
    void filtersReplaceTheSetsTheyScreenOut();
    void theSeedReproducesTheMutationsAndBackReturns();

private:
    TRecordedMessages FMessages;
};

void GalleryTest::aPageFillsWhileTheDocumentRendersAndOpensTheSetChosen() {
    TMainForm frame;
    frame.show();
    const auto gallery = [&frame] { return frame.GalleryWindow(); };
    std::int32_t stepsWhenOpened = 0, stepsWhenFilled = 0;
    std::vector<const TCandidate*> shown;
    TScript script(frame,
                   {WaitUntilRunning(frame),
                    [&] {
                        stepsWhenOpened = frame.Documents().first()->Document().Params().StepCount;
                        frame.FileGalleryItem->trigger();
                        return true;
                    },
                    [&] { return gallery()->PageComplete(); },
                    [&] {
                        stepsWhenFilled = frame.Documents().first()->Document().Params().StepCount;
                        gallery()->SortBox()->setCurrentIndex(2);
                        shown = gallery()->ShownSets();
                        DoubleClickCell(*gallery()->Grid(), 2);
                        return true;
                    },
                    [&] { return frame.Documents().size() == 2; }},
                   120000);
    RUN_SCRIPT(script);
    QVERIFY2(FMessages.Texts.isEmpty(), qPrintable(FMessages.Texts.join('\n')));
    // The document went on growing while the page filled.
    QVERIFY(stepsWhenFilled > stepsWhenOpened);
    QCOMPARE(static_cast<int>(shown.size()), gallery()->Grid()->Capacity());
    for (std::size_t k = 1; k < shown.size(); ++k)
        QVERIFY(shown[k - 1]->Set.Numbers.Coverage >= shown[k]->Set.Numbers.Coverage);

    const TScreenedSet& chosen = shown[2]->Set;
    const TFractalDocument& opened = frame.Documents().last()->Document();
    QVERIFY(SameCoefficients(opened.Params(), chosen.Set.Params));
    QCOMPARE(opened.KeptDrawClock(), chosen.Set.DrawClock);
    QCOMPARE(opened.History().Size(), std::size_t{1});
    QVERIFY(SameCoefficients(opened.History().Current().Params, chosen.Set.Params));
    // "Fitted view" is on: the document shows the attractor whole at its own size.
    const TParameterFile fitted = SetForPicture(chosen, TFractalDocument::DefaultWidth,
                                                TFractalDocument::DefaultHeight, true);
    QCOMPARE(opened.View().Magnification, fitted.Magnification);
    QCOMPARE(opened.View().XCenter, fitted.CenterX);
}

void GalleryTest::filtersReplaceTheSetsTheyScreenOut() {
    TMainForm frame;
    frame.show();
    const auto gallery = [&frame] { return frame.GalleryWindow(); };
    std::vector<TSetNumbers> firstPage;
    TScript script(frame,
                   {WaitUntilRunning(frame),
                    [&] {
                        frame.FileGalleryItem->trigger();
                        return true;
                    },
                    [&] { return gallery()->PageComplete(); },
                    [&] {
                        std::vector<double> coverages;
                        for (const TCandidate* set : gallery()->ShownSets()) {
                            firstPage.push_back(set->Set.Numbers);
                            coverages.push_back(set->Set.Numbers.Coverage);
                        }
                        std::sort(coverages.begin(), coverages.end());
                        gallery()->MinCoverageBox()->setValue(100.0 *
                                                              coverages[coverages.size() / 2]);
                        gallery()->DimensionLowBox()->setValue(1.1);
                        gallery()->DimensionHighBox()->setValue(1.9);
                        gallery()->DimensionBox()->setChecked(true);
                        return true;
                    },
                    [&] { return gallery()->PageComplete(); }},
                   120000);
    RUN_SCRIPT(script);
    const TScreenFilter filter{gallery()->MinCoverageBox()->value() / 100.0, std::pair{1.1, 1.9}};
    // About half the first page fell below its median coverage: those cells took further draws.
    const auto failedFirst =
        std::count_if(firstPage.begin(), firstPage.end(),
                      [&filter](const TSetNumbers& numbers) { return !filter.Passes(numbers); });
    QVERIFY(failedFirst >= 3);
    QVERIFY(gallery()->ScreenedOut() >= failedFirst);
    QCOMPARE(static_cast<int>(gallery()->ShownSets().size()), gallery()->Grid()->Capacity());
    for (const TCandidate* set : gallery()->ShownSets())
        QVERIFY(filter.Passes(set->Set.Numbers));
    QVERIFY(gallery()->StatusLabel()->text().contains(
        QStringLiteral("%1 screened out").arg(gallery()->ScreenedOut())));
}

void GalleryTest::theSeedReproducesTheMutationsAndBackReturns() {
    TMainForm frame;
    frame.show();
    const auto document = [&frame] { return frame.Documents().first(); };
    const auto mutations = [&] { return document()->MutationWindow(); };
    std::vector<TFractalParams> first, other, repeated, afterPick;
    TFractalParams original, picked;
    std::size_t historyAfterPick = 0;
    int seed = 0;
    TScript script(frame,
                   {WaitUntilRunning(frame),
                    [&] { return !document()->Document().History().Empty(); },
                    [&] {
                        original = document()->Document().Params();
                        document()->Mutate1()->trigger();
                        return true;
                    },
                    [&] { return mutations()->Complete(); },
                    [&] {
                        first = GridSets(*mutations());
                        seed = mutations()->SeedBox()->value();
                        mutations()->SeedBox()->setValue(seed + 1);
                        return true;
                    },
                    [&] { return mutations()->Complete(); },
                    [&] {
                        other = GridSets(*mutations());
                        mutations()->SeedBox()->setValue(seed);
                        return true;
                    },
                    [&] { return mutations()->Complete(); },
                    [&] {
                        repeated = GridSets(*mutations());
                        DoubleClickCell(*mutations()->Grid(), 0);
                        return true;
                    },
                    [&] { return mutations()->Complete(); },
                    [&] {
                        picked = document()->Document().Params();
                        afterPick = GridSets(*mutations());
                        historyAfterPick = document()->Document().History().Size();
                        mutations()->BackButton()->click();
                        return true;
                    },
                    [&] { return mutations()->Complete(); }},
                   120000);
    RUN_SCRIPT(script);
    QVERIFY2(FMessages.Texts.isEmpty(), qPrintable(FMessages.Texts.join('\n')));
    QVERIFY(SameCoefficients(first[TMutationWindow::CentreCell], original));
    QVERIFY(!SameSets(first, other));
    QVERIFY(SameSets(first, repeated));
    // The variant picked became the document's set, recorded, and the new centre.
    QVERIFY(SameCoefficients(picked, first[0]));
    QVERIFY(SameCoefficients(afterPick[TMutationWindow::CentreCell], first[0]));
    QCOMPARE(historyAfterPick, std::size_t{2});
    // Back: the first centre, its variants as before.
    QVERIFY(SameCoefficients(document()->Document().Params(), original));
    QVERIFY(SameSets(first, GridSets(*mutations())));
}

QTEST_MAIN(GalleryTest)
#include "GalleryTest.moc"
