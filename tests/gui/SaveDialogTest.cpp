#include "ModalSupport.h"

#include "export/LibraryWarning.h"
#include "export/dialog/Clipboard.h"
#include "export/dialog/PGSaveDialog.h"
#include "export/dialog/WarningMessageBox.h"
#include "image/PGExceptions.h"
#include "image/PixelGraphic.h"

#include <QClipboard>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

class SaveDialogTest : public QObject {
    Q_OBJECT

private slots:
    void listsTheWritersAndOpensCentred();
    void presetNameChoosesTheType();
    void typeChangeRewritesTheName();
    void bareNameTakesTheTypesExtension();
    void optionsStayShareAware();
    void colorResolutionWarningAsksTheUser();
    void libraryWarningsNameTheirFormat();
    void clipboardHoldsThePicture();

private:
    static QComboBox* TypeList(QFileDialog* dialog) {
        return dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
    }
    static QLineEdit* NameBox(QFileDialog* dialog) {
        return dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    }
    // A red top-left pixel on blue, 5 x 3: flipped rows or swapped channels show.
    static std::unique_ptr<TPixelGraphic> Picture();

    QTemporaryDir FFolder;
};

std::unique_ptr<TPixelGraphic> SaveDialogTest::Picture() {
    auto picture = std::make_unique<TPixelGraphic>();
    picture->SetSize(5, 3, bc24Bit);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x)
            picture->SetPixel(x, y, x == 0 && y == 0 ? 0x0000FF : 0xFF0000);
    return picture;
}

void SaveDialogTest::listsTheWritersAndOpensCentred() {
    TPGSaveDialog dialog;
    QStringList shownTypes;
    QString selected;
    QPoint position;
    QSize size;
    bool confirmsOverwrite = true;
    WhenModal<TPGSaveDialog>([&](TPGSaveDialog* open) {
        for (int i = 0; i < TypeList(open)->count(); ++i)
            shownTypes << TypeList(open)->itemText(i);
        selected = open->selectedNameFilter();
        position = open->frameGeometry().topLeft();
        size = open->frameGeometry().size();
        confirmsOverwrite = !open->testOption(QFileDialog::DontConfirmOverwrite);
        open->reject();
    });
    QVERIFY(!dialog.RunDialog());

    QCOMPARE(
        dialog.nameFilters(),
        QStringList({"BMP - Bitmap (*.bmp)", "JPG - JPEG (JFIF compliant) (*.jpg)",
                     "PBM - Portable Bitmap (*.pbm)", "PGM - Portable Graymap (*.pgm)",
                     "PNG - Portable Network Graphics (*.png)", "PPM - Portable Pixelmap (*.ppm)",
                     "TGA - Truevision Targa (*.tga)", "TIF - Tagged Image File Format (*.tif)"}));
    // The list shows the registry's texts as they are.
    QCOMPARE(shownTypes, QStringList({"BMP - Bitmap", "JPG - JPEG (JFIF compliant)",
                                      "PBM - Portable Bitmap", "PGM - Portable Graymap",
                                      "PNG - Portable Network Graphics", "PPM - Portable Pixelmap",
                                      "TGA - Truevision Targa", "TIF - Tagged Image File Format"}));
    // No preset name: the first type.
    QCOMPARE(selected, QStringLiteral("BMP - Bitmap"));
    QCOMPARE(dialog.FilterIndex, 1);
    QVERIFY(!confirmsOverwrite);
    const QRect screen = dialog.screen()->geometry();
    QCOMPARE(position,
             QPoint((screen.width() - size.width()) / 2, (screen.height() - size.height()) / 3));
}

void SaveDialogTest::presetNameChoosesTheType() {
    TPGSaveDialog dialog;
    dialog.SetFileName(FFolder.filePath(QStringLiteral("flame.PNG")));
    QString selected;
    QString typed;
    WhenModal<TPGSaveDialog>([&](TPGSaveDialog* open) {
        selected = open->selectedNameFilter();
        typed = NameBox(open)->text();
        QTest::keyClick(NameBox(open), Qt::Key_Return);
    });
    QVERIFY(dialog.RunDialog());
    QCOMPARE(selected, QStringLiteral("PNG - Portable Network Graphics"));
    QCOMPARE(typed, QStringLiteral("flame.PNG"));
    QCOMPARE(dialog.FilterIndex, 5);
    QCOMPARE(dialog.FileName(), FFolder.filePath(QStringLiteral("flame.PNG")));

    // An extension that the list does not show keeps both the type and the name.
    dialog.SetFileName(FFolder.filePath(QStringLiteral("flame.dib")));
    WhenModal<TPGSaveDialog>([&](TPGSaveDialog* open) {
        selected = open->selectedNameFilter();
        typed = NameBox(open)->text();
        QTest::keyClick(NameBox(open), Qt::Key_Return);
    });
    QVERIFY(dialog.RunDialog());
    QCOMPARE(selected, QStringLiteral("PNG - Portable Network Graphics"));
    QCOMPARE(typed, QStringLiteral("flame.dib"));
    QCOMPARE(dialog.FileName(), FFolder.filePath(QStringLiteral("flame.dib")));
}

void SaveDialogTest::typeChangeRewritesTheName() {
    TPGSaveDialog dialog;
    dialog.SetFileName(FFolder.filePath(QStringLiteral("flame.png")));
    QStringList names;
    WhenModal<TPGSaveDialog>([&](TPGSaveDialog* open) {
        // PNG, PPM, TGA.
        QTest::keyClick(TypeList(open), Qt::Key_Down);
        QTest::keyClick(TypeList(open), Qt::Key_Down);
        names << NameBox(open)->text();
        // A bare name gets the extension too; a full path in the dialog's folder is shortened.
        NameBox(open)->setText(QStringLiteral("spiral"));
        QTest::keyClick(TypeList(open), Qt::Key_Up);
        names << NameBox(open)->text();
        NameBox(open)->setText(FFolder.filePath(QStringLiteral("spiral.tga")));
        QTest::keyClick(TypeList(open), Qt::Key_Down);
        names << NameBox(open)->text();
        NameBox(open)->setText(QStringLiteral("flame.png"));
        QTest::keyClick(TypeList(open), Qt::Key_Down);
        names << NameBox(open)->text();
        QTest::keyClick(TypeList(open), Qt::Key_Up);
        names << NameBox(open)->text();
        QTest::keyClick(NameBox(open), Qt::Key_Return);
    });
    QVERIFY(dialog.RunDialog());
    QCOMPARE(names,
             QStringList({"flame.tga", "spiral.ppm", "spiral.tga", "flame.tif", "flame.tga"}));
    QCOMPARE(dialog.FileName(), FFolder.filePath(QStringLiteral("flame.tga")));
    QCOMPARE(dialog.FilterIndex, 7);
}

void SaveDialogTest::bareNameTakesTheTypesExtension() {
    TPGSaveDialog dialog;
    dialog.setDirectory(FFolder.path());
    WhenModal<TPGSaveDialog>([&](TPGSaveDialog* open) {
        QTest::keyClick(TypeList(open), Qt::Key_End);
        QTest::keyClicks(NameBox(open), QStringLiteral("flame"));
        QTest::keyClick(NameBox(open), Qt::Key_Return);
    });
    QVERIFY(dialog.RunDialog());
    QCOMPARE(dialog.FileName(), FFolder.filePath(QStringLiteral("flame.tif")));
    QCOMPARE(dialog.FilterIndex, 8);
}

void SaveDialogTest::optionsStayShareAware() {
    TPGSaveDialog dialog;
    QCOMPARE(dialog.Options(), TOpenOptions({TOpenOption::HideReadOnly, TOpenOption::ShareAware}));
    QString message;
    WhenModal<QMessageBox>([&](QMessageBox* box) {
        message = box->text();
        box->accept();
    });
    dialog.SetOptions({TOpenOption::HideReadOnly, TOpenOption::OverwritePrompt});
    QCOMPARE(message, QStringLiteral("TPGOpenDialog.Options and TPGSaveDialog.Options must include "
                                     "TOpenOption::ShareAware!"));
    QCOMPARE(dialog.Options(), TOpenOptions({TOpenOption::HideReadOnly, TOpenOption::ShareAware,
                                             TOpenOption::OverwritePrompt}));
    QVERIFY(!dialog.testOption(QFileDialog::DontConfirmOverwrite));
}

void SaveDialogTest::colorResolutionWarningAsksTheUser() {
    InstallWarningMessageBox();
    const std::unique_ptr<TPixelGraphic> picture = Picture();
    const QString target = FFolder.filePath(QStringLiteral("refused.pbm"));
    struct {
        QString Caption, Text;
        QMessageBox::Icon Icon = QMessageBox::NoIcon;
        QMessageBox::StandardButtons Buttons;
    } seen;
    const auto answer = [&seen](QMessageBox::StandardButton button) {
        return [&seen, button](QMessageBox* box) {
            seen = {box->windowTitle(), box->text(), box->icon(), box->standardButtons()};
            box->button(button)->click();
        };
    };
    WhenModal<QMessageBox>(answer(QMessageBox::Cancel));
    QVERIFY_THROWS_EXCEPTION(EPGCannotWriteColorRes, picture->SaveImageFile(target.toStdString()));
    QCOMPARE(seen.Caption, QStringLiteral("Warning"));
    QCOMPARE(seen.Icon, QMessageBox::Warning);
    QCOMPARE(seen.Buttons, QMessageBox::Ok | QMessageBox::Cancel);
    QCOMPARE(seen.Text, QStringLiteral("The graphic cannot be saved to a Portable Bitmap file with "
                                       "the current color resolution (16.7 million colors).\n\n"
                                       "The graphic will be saved with a different color "
                                       "resolution (black and white)."));
    QVERIFY(!QFileInfo::exists(target));

    // OK converts; an OK box has no Cancel.
    picture->SaveColorResWarningAction = pgwaOKBox;
    WhenModal<QMessageBox>(answer(QMessageBox::Ok));
    picture->SaveImageFile(target.toStdString());
    QCOMPARE(seen.Buttons, QMessageBox::Ok);
    QFile written(target);
    QVERIFY(written.open(QIODevice::ReadOnly));
    QVERIFY(written.readAll().startsWith("P1"));
    SetWarningPrompt({});
}

void SaveDialogTest::libraryWarningsNameTheirFormat() {
    InstallWarningMessageBox();
    QStringList captions;
    const auto answer = [&captions](QMessageBox::StandardButton button) {
        return [&captions, button](QMessageBox* box) {
            captions << box->windowTitle();
            QCOMPARE(box->icon(), QMessageBox::Warning);
            QCOMPARE(box->text(), QStringLiteral("Ignoring bad adaptive filter value"));
            box->button(button)->click();
        };
    };
    WhenModal<QMessageBox>(answer(QMessageBox::Ok));
    QCOMPARE(LibraryWarningError(pgwaOKCancelBox, "JPG", "Ignoring bad adaptive filter value"),
             std::nullopt);
    WhenModal<QMessageBox>(answer(QMessageBox::Cancel));
    QCOMPARE(LibraryWarningError(pgwaOKCancelBox, "PNG", "Ignoring bad adaptive filter value"),
             std::optional<std::string>("PNG: Operation aborted on user request"));
    QCOMPARE(captions, QStringList({"JPG Warning", "PNG Warning"}));
    SetWarningPrompt({});
}

void SaveDialogTest::clipboardHoldsThePicture() {
    CopyToClipboard(*Picture());
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    QVERIFY(data);
    const QByteArray file = data->data(QStringLiteral("image/bmp"));
    QVERIFY(file.startsWith("BM"));
    // The file header's size and pixel offset over 3 rows of 16 bytes.
    QCOMPARE(file.size(), 14 + 40 + 3 * 16);
    QCOMPARE(static_cast<unsigned char>(file[10]), 54u);
    for (const QImage& image : {QImage::fromData(file, "BMP"), data->imageData().value<QImage>()}) {
        QCOMPARE(image.size(), QSize(5, 3));
        QCOMPARE(image.pixelColor(0, 0), QColor(Qt::red));
        QCOMPARE(image.pixelColor(1, 0), QColor(Qt::blue));
        QCOMPARE(image.pixelColor(0, 2), QColor(Qt::blue));
    }
}

QTEST_MAIN(SaveDialogTest)
#include "SaveDialogTest.moc"
