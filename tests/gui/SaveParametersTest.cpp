#include "GuiTestSupport.h"
#include "ModalSupport.h"
#include "PngPicture.h"

#include "engine/ParameterFile.h"

#include <QAction>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenu>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <bit>
#include <vector>

namespace {

// The rotation limit and the 120 coefficients of both blocks are the same to the bit.
bool SameBits(const TFractalParams& a, const TFractalParams& b) {
    return std::ranges::equal(
        a.RotationLimitAndCoef, b.RotationLimitAndCoef, [](double x, double y) {
            return std::bit_cast<std::uint64_t>(x) == std::bit_cast<std::uint64_t>(y);
        });
}

} // namespace

class SaveParametersTest : public QObject {
    Q_OBJECT

private slots:
    void init() { FMessages.Texts.clear(); }
    void theMenuItemSitsAfterSaveAsAndIsEnabledLikeIt();
    void savedWhileRenderingTheSetRendersWithoutTheWindow();

private:
    TRecordedMessages FMessages;
    QTemporaryDir FFolder;
};

void SaveParametersTest::theMenuItemSitsAfterSaveAsAndIsEnabledLikeIt() {
    TMainForm frame;
    frame.show();
    const QList<QAction*> items = frame.File1->actions();
    const qsizetype saveAs = items.indexOf(frame.FileSaveAsItem);
    QCOMPARE(items.value(saveAs + 1), frame.FileSaveParametersItem);
    QCOMPARE(frame.FileSaveParametersItem->text(), QStringLiteral("Save Parameters..."));
    QCOMPARE(frame.FileSaveParametersItem->statusTip(),
             QStringLiteral("Save the active fractal's parameters"));
    QCOMPARE(frame.FileSaveParametersItem->isEnabled(), frame.FileSaveAsItem->isEnabled());
    TScript script(frame, {WaitUntilRunning(frame)});
    RUN_SCRIPT(script);
    QVERIFY(frame.FileSaveParametersItem->isEnabled());
}

void SaveParametersTest::savedWhileRenderingTheSetRendersWithoutTheWindow() {
    TMainForm frame;
    // A clock of our own, so that the file's clock value can be checked.
    frame.Session().SetDrawClock([next = 4242u]() mutable { return next++; });
    frame.show();
    const QString typed = FFolder.filePath(QStringLiteral("kept"));
    const QString saved = typed + QStringLiteral(".quarn.json");
    QStringList offeredFilters;
    TFractalParams atSave;
    TViewFit viewAtSave;
    std::optional<std::uint32_t> clockAtSave;
    const auto document = [&frame] { return frame.Documents().first(); };
    TScript script(
        frame,
        {WaitUntilRunning(frame), [&] { return document()->Document().Params().StepCount > 20000; },
         [&] {
             WhenModal<QFileDialog>([&](QFileDialog* dialog) {
                 offeredFilters = dialog->nameFilters();
                 auto* box = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
                 box->setText(typed);
                 QTest::keyClick(box, Qt::Key_Return);
             });
             frame.FileSaveParametersItem->trigger();
             atSave = document()->Document().Params();
             viewAtSave = document()->Document().View();
             clockAtSave = frame.Session().DrawClockOf(document()->Document().Params());
             return true;
         },
         // The run goes on after the save.
         [&] { return document()->Document().Params().StepCount > atSave.StepCount + 10000; }});
    RUN_SCRIPT(script);

    QVERIFY2(FMessages.Texts.isEmpty(), qPrintable(FMessages.Texts.join('\n')));
    QCOMPARE(offeredFilters, QStringList(QStringLiteral("Quarn parameters (*.quarn.json)")));
    QVERIFY(QFileInfo::exists(saved));
    QVERIFY(clockAtSave.has_value());
    QVERIFY(*clockAtSave >= 4242u);
    const TParameterFile file = TParameterFile::Load(saved.toStdString());
    QVERIFY(SameBits(file.Params, atSave));
    QCOMPARE(file.CenterX, viewAtSave.XCenter);
    QCOMPARE(file.CenterY, viewAtSave.YCenter);
    QCOMPARE(file.Magnification, viewAtSave.Magnification);
    QCOMPARE(file.DrawClock, clockAtSave);
    QCOMPARE(file.Params.ImageWidth, 400);
    QCOMPARE(file.Params.Intensity, atSave.Intensity);

    // The real renderer takes the file: the same set, the same size and view.
    const QString picture = FFolder.filePath(QStringLiteral("kept.png"));
    const QString used = FFolder.filePath(QStringLiteral("used.quarn.json"));
    QProcess render;
    render.start(QStringLiteral(QUARN_RENDER_PROGRAM),
                 {"--params", saved, "--steps", "200000", "--out", picture, "--write-params", used,
                  "--quiet"});
    QVERIFY(render.waitForFinished(60000));
    QCOMPARE(render.exitCode(), 0);
    const TParameterFile usedSet = TParameterFile::Load(used.toStdString());
    QVERIFY(SameBits(usedSet.Params, atSave));
    QCOMPARE(usedSet.Magnification, file.Magnification);
    QCOMPARE(usedSet.DrawClock, file.DrawClock);

    const TPngPicture rendered(picture);
    QCOMPARE(rendered.Width, 400u);
    QCOMPARE(rendered.Height, 300u);
    QVERIFY(std::ranges::count_if(rendered.Pixels, [](png_byte value) { return value != 0; }) >
            1000);
}

QTEST_MAIN(SaveParametersTest)
#include "SaveParametersTest.moc"
