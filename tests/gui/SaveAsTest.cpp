#include "GuiTestSupport.h"
#include "ModalSupport.h"
#include "PngPicture.h"

#include "export/dialog/PGSaveDialog.h"
#include "image/view/PGImage.h"

#include <QAction>
#include <QFileInfo>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <vector>

class SaveAsTest : public QObject {
    Q_OBJECT

private slots:
    void init() { FMessages.Texts.clear(); }
    void saveWhileRenderingLetsTheRunGoOn();
    void failedSaveKeepsTheCaption();

private:
    // Answers the next save dialog with `name` typed into its name box.
    static void Confirm(const QString& name);

    TRecordedMessages FMessages;
    QTemporaryDir FFolder;
};

void SaveAsTest::Confirm(const QString& name) {
    WhenModal<TPGSaveDialog>([name](TPGSaveDialog* dialog) {
        auto* box = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        box->setText(name);
        QTest::keyClick(box, Qt::Key_Return);
    });
}

void SaveAsTest::saveWhileRenderingLetsTheRunGoOn() {
    TMainForm frame;
    frame.show();
    const QString target = FFolder.filePath(QStringLiteral("flame.png"));
    std::int32_t stepsAtSave = 0;
    QString captionAfterSave;
    QString offeredType;
    QString offeredName;
    const auto document = [&frame] { return frame.Documents().first(); };
    TScript script(
        frame, {WaitUntilRunning(frame),
                // Past the warm-up: points are being plotted.
                [&] { return document()->Document().Params().StepCount > 20000; },
                [&] {
                    Confirm(target);
                    frame.FileSaveAsItem->trigger();
                    stepsAtSave = document()->Document().Params().StepCount;
                    captionAfterSave = document()->windowTitle();
                    // The next Save As offers this name with its type.
                    WhenModal<TPGSaveDialog>([&](TPGSaveDialog* dialog) {
                        offeredType = dialog->selectedNameFilter();
                        offeredName =
                            dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->text();
                        dialog->reject();
                    });
                    frame.FileSaveAsItem->trigger();
                    return true;
                },
                [&] { return document()->Document().Params().StepCount > stepsAtSave + 10000; }});
    RUN_SCRIPT(script);

    QVERIFY(FMessages.Texts.isEmpty());
    QCOMPARE(captionAfterSave, target);
    QCOMPARE(document()->PGImage1()->FileName(), target);
    QCOMPARE(offeredType, QStringLiteral("PNG - Portable Network Graphics"));
    QCOMPARE(offeredName, QStringLiteral("flame.png"));

    const TPngPicture picture(target);
    QCOMPARE(picture.Width, 400u);
    QCOMPARE(picture.Height, 300u);
    // The picture as far as it had grown: lit points on the black background.
    QVERIFY(std::ranges::any_of(picture.Pixels, [](png_byte value) { return value != 0; }));
}

void SaveAsTest::failedSaveKeepsTheCaption() {
    TMainForm frame;
    frame.show();
    TScript script(frame, {WaitUntilRunning(frame)});
    RUN_SCRIPT(script);
    TMDIChild* document = frame.Documents().first();
    const QString caption = document->windowTitle();
    const QString missing = FFolder.filePath(QStringLiteral("missing/flame.bmp"));
    Confirm(missing);
    frame.FileSaveAsItem->trigger();
    Confirm(FFolder.filePath(QStringLiteral("flame.xyz")));
    frame.FileSaveAsItem->trigger();
    WhenModal<TPGSaveDialog>([](TPGSaveDialog* dialog) { dialog->reject(); });
    frame.FileSaveAsItem->trigger();

    QCOMPARE(FMessages.Texts,
             QStringList({"Cannot create file \"" + missing + "\". No such file or directory",
                          "Unknown file extension \"xyz\""}));
    QCOMPARE(document->windowTitle(), caption);
    QCOMPARE(caption, QStringLiteral("Quarn IFS: 1"));
    QVERIFY(document->PGImage1()->FileName().isEmpty());
    QVERIFY(!QFileInfo::exists(FFolder.filePath(QStringLiteral("flame.xyz"))));
}

QTEST_MAIN(SaveAsTest)
#include "SaveAsTest.moc"
