#include "GuiTestSupport.h"

#include "app/RenderDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFile>
#include <QGroupBox>
#include <QLineEdit>
#include <QLocale>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>

namespace {

QByteArray Contents(const QString& fileName) {
    QFile file(fileName);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class RenderDialogTest : public QObject {
    Q_OBJECT

private slots:
    void init() { FMessages.Texts.clear(); }
    void theDialogRendersWhatQuarnRenderRendersOfTheSameSet();
    void cancelWritesNothingAndKeepsTheOldFile();
    void estimatesRendersOfMoreThanTwoBillionSteps();
    void anAnimationHasQuarnRendersFramesAndCancelKeepsThoseDone();

private:
    TRecordedMessages FMessages;
    QTemporaryDir FFolder;
};

void RenderDialogTest::theDialogRendersWhatQuarnRenderRendersOfTheSameSet() {
    TMainForm frame;
    frame.show();
    const QString saved = FFolder.filePath(QStringLiteral("set.quarn.json"));
    const QString fromDialog = FFolder.filePath(QStringLiteral("dialog.png"));
    double density = 0;
    const auto document = [&frame] { return frame.Documents().first(); };
    TScript script(frame,
                   {WaitUntilRunning(frame),
                    [&] { return document()->Document().Params().StepCount > 30000; },
                    [&] {
                        // The dialog and the file see the document at the same step.
                        frame.FileRenderItem->trigger();
                        const TFractalDocument& fractal = document()->Document();
                        fractal.SaveParameters(saved.toStdString(),
                                               frame.Session().DrawClockOf(fractal.Params()));
                        TRenderDialog& dialog = *frame.RenderDialog();
                        dialog.WidthBox()->setValue(200);
                        dialog.SupersampleBox()->setValue(2);
                        dialog.ThreadsBox()->setValue(2);
                        dialog.TransparentBox()->setChecked(true);
                        dialog.FileEdit()->setText(fromDialog);
                        density = dialog.DensityBox()->value();
                        dialog.RenderButton()->click();
                        return true;
                    },
                    [&] { return !frame.RenderDialog()->ResultText().isEmpty(); }},
                   60000);
    RUN_SCRIPT(script);
    QVERIFY2(FMessages.Texts.isEmpty(), qPrintable(FMessages.Texts.join('\n')));
    QVERIFY2(frame.RenderDialog()->ResultText().startsWith(QStringLiteral("Written: ")),
             qPrintable(frame.RenderDialog()->ResultText()));
    // The picture's proportions are kept.
    QCOMPARE(frame.RenderDialog()->HeightBox()->value(), 150);
    QVERIFY(density > 0.05);

    const QString fromCommand = FFolder.filePath(QStringLiteral("command.png"));
    QProcess render;
    render.start(QStringLiteral(QUARN_RENDER_PROGRAM),
                 {"--params", saved, "--size", "200x150", "--density", QString::number(density),
                  "--supersample", "2", "--threads", "2", "--transparent", "--out", fromCommand,
                  "--quiet"});
    QVERIFY(render.waitForFinished(60000));
    QCOMPARE(render.exitCode(), 0);
    const QByteArray dialogBytes = Contents(fromDialog);
    QVERIFY(dialogBytes.size() > 1000);
    QVERIFY(dialogBytes == Contents(fromCommand));
}

void RenderDialogTest::cancelWritesNothingAndKeepsTheOldFile() {
    TMainForm frame;
    frame.show();
    const QString target = FFolder.filePath(QStringLiteral("old.bmp"));
    {
        QFile old(target);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("an older picture");
    }
    const QString waiting = FFolder.filePath(QStringLiteral("waiting.bmp"));
    int waitingAtSecond = -1;
    const auto document = [&frame] { return frame.Documents().first(); };
    TScript script(
        frame,
        {WaitUntilRunning(frame), [&] { return document()->Document().Params().StepCount > 30000; },
         [&] {
             frame.FileRenderItemClick();
             TRenderDialog& dialog = *frame.RenderDialog();
             dialog.WidthBox()->setValue(2000);
             dialog.DensityBox()->setValue(500);
             dialog.FileEdit()->setText(target);
             dialog.RenderButton()->click();
             dialog.FileEdit()->setText(waiting);
             dialog.RenderButton()->click();
             waitingAtSecond = dialog.Waiting();
             return true;
         },
         [&] { return frame.RenderDialog()->CancelButton()->isEnabled(); },
         [&] {
             frame.RenderDialog()->CancelButton()->click();
             return true;
         },
         // The waiting request starts once the first is cancelled; cancel it too.
         [&] {
             return frame.RenderDialog()->ResultText().contains(QStringLiteral("cancelled")) &&
                    frame.RenderDialog()->CancelButton()->isEnabled();
         },
         [&] {
             frame.RenderDialog()->CancelButton()->click();
             return true;
         },
         [&] { return !frame.RenderDialog()->CancelButton()->isEnabled(); }},
        60000);
    RUN_SCRIPT(script);
    QVERIFY(waitingAtSecond >= 1);
    QCOMPARE(Contents(target), QByteArray("an older picture"));
    QVERIFY(!QFile::exists(waiting));
    QVERIFY(frame.RenderDialog()->ResultText().contains(QStringLiteral("nothing was written")));
}

void RenderDialogTest::estimatesRendersOfMoreThanTwoBillionSteps() {
    TRenderSettings document;
    document.Seed = 1234;
    TRenderDialog dialog;
    dialog.SetDocument(document, QStringLiteral("test"));
    dialog.WidthBox()->setValue(8192);
    dialog.DensityBox()->setValue(100);
    QCOMPARE(dialog.HeightBox()->value(), 6144);
    const QString steps = QLocale().toString(8192.0 * 6144 * 100, 'f', 0);
    QVERIFY2(dialog.EstimateText().endsWith(QStringLiteral(" for %1 steps.").arg(steps)),
             qPrintable(dialog.EstimateText()));
    QVERIFY2(dialog.EstimateText().contains(QStringLiteral(" and takes about ")),
             qPrintable(dialog.EstimateText()));
    QVERIFY(!dialog.EstimateText().contains(QLatin1Char('-')));
}

void RenderDialogTest::anAnimationHasQuarnRendersFramesAndCancelKeepsThoseDone() {
    TMainForm frame;
    frame.show();
    const QString saved = FFolder.filePath(QStringLiteral("turning.quarn.json"));
    const QString frames = FFolder.filePath(QStringLiteral("dialog%02d.png"));
    const QString longRun = FFolder.filePath(QStringLiteral("long%03d.png"));
    double density = 0;
    QString refusalWithoutRotations;
    const auto document = [&frame] { return frame.Documents().first(); };
    const auto dialog = [&frame] { return frame.RenderDialog(); };
    TScript script(frame,
                   {WaitUntilRunning(frame),
                    [&] { return document()->Document().Params().StepCount > 30000; },
                    [&] {
                        frame.FileRenderItem->trigger();
                        dialog()->WidthBox()->setValue(80);
                        dialog()->ThreadsBox()->setValue(2);
                        dialog()->AnimationBox()->setChecked(true);
                        dialog()->FramesBox()->setValue(4);
                        dialog()->FileEdit()->setText(frames);
                        dialog()->RenderButton()->click();
                        refusalWithoutRotations = dialog()->ResultText();
                        // The rotation turns from the next run of the dialog's document on.
                        TFractalDocument& fractal = document()->Document();
                        fractal.Params().RotateIFS01 = BoolTrue;
                        fractal.SaveParameters(saved.toStdString(),
                                               frame.Session().DrawClockOf(fractal.Params()));
                        frame.FileRenderItem->trigger();
                        dialog()->WidthBox()->setValue(80);
                        density = dialog()->DensityBox()->value();
                        dialog()->RenderButton()->click();
                        return true;
                    },
                    [&] { return dialog()->ResultText().startsWith(QStringLiteral("Written")); },
                    [&] {
                        dialog()->FramesBox()->setValue(400);
                        dialog()->DensityBox()->setValue(200);
                        dialog()->FileEdit()->setText(longRun);
                        dialog()->RenderButton()->click();
                        return true;
                    },
                    // "N of 400 frames done, ...": reports may pass over a count.
                    [&] { return dialog()->ProgressText().section(' ', 0, 0).toInt() >= 2; },
                    [&] {
                        dialog()->CancelButton()->click();
                        return true;
                    },
                    [&] { return dialog()->ResultText().contains(QStringLiteral("cancelled")); }},
                   120000);
    RUN_SCRIPT(script);
    QVERIFY2(refusalWithoutRotations.contains(QStringLiteral("nothing would move")),
             qPrintable(refusalWithoutRotations));
    QVERIFY2(dialog()->ResultText().contains(QStringLiteral("are kept (")),
             qPrintable(dialog()->ResultText()));
    QVERIFY(QFile::exists(FFolder.filePath(QStringLiteral("long000.png"))));
    QVERIFY(QFile::exists(FFolder.filePath(QStringLiteral("long001.png"))));

    const QString fromCommand = FFolder.filePath(QStringLiteral("command%02d.png"));
    QProcess render;
    render.start(QStringLiteral(QUARN_RENDER_PROGRAM),
                 {"--params", saved, "--size", "80x60", "--density", QString::number(density),
                  "--frames", "4", "--loop", "--threads", "1", "--out", fromCommand, "--quiet"});
    QVERIFY(render.waitForFinished(60000));
    QCOMPARE(render.exitCode(), 0);
    for (int k = 0; k < 4; ++k) {
        const QByteArray dialogBytes = Contents(QString::asprintf(qPrintable(frames), k));
        QVERIFY(dialogBytes.size() > 100);
        QVERIFY(dialogBytes == Contents(QString::asprintf(qPrintable(fromCommand), k)));
    }
}

QTEST_MAIN(RenderDialogTest)
#include "RenderDialogTest.moc"
