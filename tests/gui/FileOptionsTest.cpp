#include "GuiTestSupport.h"
#include "ModalSupport.h"

#include "export/WriterOptions.h"
#include "image/ScreenGamma.h"
#include "tools/Form2.h"

#include <QAction>
#include <QCheckBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTest>

#include <tuple>

class FileOptionsTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void layoutFollowsTheTable();
    void showsTheStartUpOptions();
    void cancelEscapeAndCloseStoreNothing();
    void okAndEnterStoreEveryOption();
    void invalidTextsStopStoring_data();
    void invalidTextsStopStoring();

private:
    // Opens the window through the menu, lets `use` work on it, and returns once it is closed.
    void RunOptions(const std::function<void(TForm2*)>& use);
    static QString Checked(const TForm2* window);

    TRecordedMessages FMessages;
    std::unique_ptr<TMainForm> FFrame;
};

using TOptionFields = std::tuple<int, int, bool, int, bool, int, bool, bool, bool, int, int, int,
                                 int, int, bool, long double, bool>;

// Every option in the order the window stores them.
TOptionFields Fields() {
    const TPGWriterOptions& o = WriterOptions();
    return {o.JPEGWriteDCTMethod,
            o.JPEGWriteQuality,
            o.JPEGWriteProgressive,
            o.JPEGReadDCTMethod,
            o.PXMWriteBinary,
            o.TIFFWriteCompression,
            o.TIFFWriteMotorolaOrder,
            o.TIFFWriteCMYK,
            o.TIFFWriteWhiteIsZero,
            o.TIFFWriteResUnit,
            o.TIFFWriteXResNumerator,
            o.TIFFWriteXResDenominator,
            o.TIFFWriteYResNumerator,
            o.TIFFWriteYResDenominator,
            o.WriteGamma,
            ScreenGamma(),
            o.GammaCorrectionOnRead};
}

const TOptionFields Defaults{2, 80,  false, 0,   false, 1,    false, false, false,
                             1, 300, 1,     300, 1,     true, 1.8L,  true};

// Every control changed from the defaults, with valid texts.
void ChangeEverything(TForm2* window) {
    for (QRadioButton* button :
         {window->JPEGWIntFastRB, window->JPEGRFloatRB, window->PXMBinaryRB,
          window->TIFFCompPackBitsRB, window->TIFFByteOrderMRB, window->TIFFCMYKRB,
          window->TIFFWhiteIsZeroRB, window->TIFFResCentimeterRB})
        button->click();
    for (QCheckBox* box :
         {window->JPEGWProgressiveCB, window->WriteGammaCB, window->GammaCorrectionOnReadCB})
        box->click();
    window->JPEGWQualityEdit->setText(QStringLiteral("100"));
    window->TIFFResHorizNEdit->setText(QStringLiteral("72"));
    window->TIFFResHorizDEdit->setText(QStringLiteral("2"));
    window->TIFFResVertNEdit->setText(QStringLiteral("96"));
    window->TIFFResVertDEdit->setText(QStringLiteral("-3"));
    window->ScreenGammaEdit->setText(QStringLiteral(" 2.2"));
}

const TOptionFields Changed{1, 100, true, 2,  true, 32773, true, true, true,
                            2, 72,  2,    96, -3,   false, 2.2L, false};

void FileOptionsTest::init() {
    FFrame.reset();
    ResetWriterOptions();
    // No document: the options need none, and a render run would hold the event loop.
    FFrame = std::make_unique<TMainForm>();
    FFrame->Timer1->stop();
    FMessages.Texts.clear();
}

void FileOptionsTest::RunOptions(const std::function<void(TForm2*)>& use) {
    bool shown = false;
    WhenModal<TForm2>([&](TForm2* window) {
        shown = true;
        use(window);
    });
    FFrame->JPGFileOptions1->trigger();
    QVERIFY(shown);
    QVERIFY(!FFrame->Form2->isVisible());
}

QString FileOptionsTest::Checked(const TForm2* window) {
    QStringList texts;
    for (const QAbstractButton* button : window->findChildren<QAbstractButton*>())
        if (button->isChecked())
            texts << button->text();
    for (const QLineEdit* edit : window->findChildren<QLineEdit*>())
        texts << edit->text();
    return texts.join(QLatin1Char('|'));
}

void FileOptionsTest::layoutFollowsTheTable() {
    TForm2& window = *FFrame->Form2;
    QCOMPARE(window.windowTitle(), QStringLiteral("Options"));
    QCOMPARE(window.minimumSize(), QSize(403, 564));
    QCOMPARE(window.maximumSize(), QSize(403, 564));
    const struct {
        const char *Name, *Parent, *Caption;
        QRect Place;
    } table[] = {
        {"JPGGroupBox", "Form2", "JPG", {0, 0, 403, 166}},
        {"JPEGWPanel", "JPGGroupBox", "", {12, 21, 146, 109}},
        {"JPEGWLabel", "JPEGWPanel", "Write", {0, 0, 0, 0}},
        {"JPEGWIntFastRB", "JPEGWPanel", "Integer, fast", {14, 20, 113, 17}},
        {"JPEGWIntPreciseRB", "JPEGWPanel", "Integer, precise", {14, 40, 113, 17}},
        {"JPEGWFloatRB", "JPEGWPanel", "Floating point", {14, 61, 113, 17}},
        {"JPEGWQualityLabel", "JPEGWPanel", "Quality (0...100)", {14, 90, 0, 0}},
        {"JPEGWQualityEdit", "JPEGWPanel", "80", {101, 87, 36, 21}},
        {"JPEGRPanel", "JPGGroupBox", "", {182, 21, 147, 81}},
        {"JPEGRLabel", "JPEGRPanel", "Read", {0, 0, 0, 0}},
        {"JPEGRIntFastRB", "JPEGRPanel", "Integer, fast", {14, 20, 113, 17}},
        {"JPEGRIntPreciseRB", "JPEGRPanel", "Integer, precise", {14, 40, 113, 17}},
        {"JPEGRFloatRB", "JPEGRPanel", "Floating point", {14, 60, 113, 17}},
        {"JPEGWProgressiveCB", "JPGGroupBox", "Progressive", {26, 136, 97, 17}},
        {"PXMGroupBox", "Form2", "PBM, PGM, PPM", {0, 166, 403, 67}},
        {"PXMBinaryRB", "PXMGroupBox", "Write binary", {29, 19, 318, 17}},
        {"PXMASCIIRB", "PXMGroupBox", "Write ASCII", {29, 39, 314, 17}},
        {"TIFGroupBox", "Form2", "TIF", {0, 233, 403, 171}},
        {"TIFFCompressionPanel", "TIFGroupBox", "", {14, 22, 110, 80}},
        {"TIFFCompLabel", "TIFFCompressionPanel", "Write compression", {0, 0, 0, 0}},
        {"TIFFCompNoneRB", "TIFFCompressionPanel", "None", {14, 20, 73, 17}},
        {"TIFFCompPackBitsRB", "TIFFCompressionPanel", "PackBits", {14, 40, 73, 17}},
        {"TIFFRGBorCMYKPanel", "TIFGroupBox", "", {124, 22, 130, 80}},
        {"TIFFW24PILabel", "TIFFRGBorCMYKPanel", "Write true color as ", {0, 0, 0, 0}},
        {"TIFFRGBRB", "TIFFRGBorCMYKPanel", "RGB", {14, 20, 66, 17}},
        {"TIFFCMYKRB", "TIFFRGBorCMYKPanel", "CMYK", {14, 40, 65, 17}},
        {"TIFFResPanel", "TIFGroupBox", "", {254, 22, 133, 144}},
        {"TIFFResLabel", "TIFFResPanel", "Resolution", {0, 0, 0, 0}},
        {"TIFFResNoneRB", "TIFFResPanel", "No unit", {12, 20, 113, 17}},
        {"TIFFResInchRB", "TIFFResPanel", "Inch", {12, 38, 113, 17}},
        {"TIFFResCentimeterRB", "TIFFResPanel", "Centimeter", {12, 56, 113, 17}},
        {"TIFFResXLabel", "TIFFResPanel", "Horiz.:", {12, 88, 0, 0}},
        {"TIFFResHorizNEdit", "TIFFResPanel", "TIFFResHorizNEdit", {44, 84, 35, 21}},
        {"TIFFResHoriz_Label", "TIFFResPanel", "/", {84, 86, 0, 0}},
        {"TIFFResHorizDEdit", "TIFFResPanel", "TIFFResHorizDEdit", {91, 84, 35, 21}},
        {"TIFFResYLabel", "TIFFResPanel", "Vert.:", {12, 116, 0, 0}},
        {"TIFFResVertNEdit", "TIFFResPanel", "TIFFResVertNEdit", {44, 114, 35, 21}},
        {"TIFFResVert_Label", "TIFFResPanel", "/", {84, 116, 0, 0}},
        {"TIFFResVertDEdit", "TIFFResPanel", "TIFFResVertDEdit", {92, 114, 35, 21}},
        {"TIFFByteOrderPanel", "TIFGroupBox", "", {14, 102, 110, 62}},
        {"TIFFByteOrderLabel", "TIFFByteOrderPanel", "Byte order", {0, 0, 0, 0}},
        {"TIFFByteOrderIRB", "TIFFByteOrderPanel", "I", {14, 20, 113, 17}},
        {"TIFFByteOrderMRB", "TIFFByteOrderPanel", "M", {14, 40, 76, 17}},
        {"TIFFWhiteOrBlackIsZeroPanel", "TIFGroupBox", "", {124, 102, 130, 65}},
        {"TIFFWGrayScaleLabel",
         "TIFFWhiteOrBlackIsZeroPanel",
         "Grayscale (2, 16, 256)",
         {0, 0, 0, 0}},
        {"TIFFBlackIsZeroRB", "TIFFWhiteOrBlackIsZeroPanel", "BlackIsZero", {14, 20, 113, 17}},
        {"TIFFWhiteIsZeroRB", "TIFFWhiteOrBlackIsZeroPanel", "WhiteIsZero", {14, 40, 113, 17}},
        {"GeneralGroupBox", "Form2", "General", {0, 404, 403, 110}},
        {"WriteGammaCB", "GeneralGroupBox", "Write Gamma", {29, 19, 306, 17}},
        {"ScreenGammaLabel", "GeneralGroupBox", "Screen Gamma", {30, 48, 0, 0}},
        {"ScreenGammaEdit", "GeneralGroupBox", "ScreenGammaEdit", {112, 43, 32, 21}},
        {"GammaCorrectionOnReadCB",
         "GeneralGroupBox",
         "Gamma correction on read",
         {30, 73, 288, 17}},
        {"Button1", "Form2", "OK", {99, 526, 75, 25}},
        {"Button2", "Form2", "Cancel", {226, 526, 75, 25}},
    };
    for (const auto& row : table) {
        const auto* control = window.findChild<QWidget*>(QLatin1String(row.Name));
        QVERIFY2(control, row.Name);
        QCOMPARE(control->parentWidget()->objectName(), QLatin1String(row.Parent));
        QString caption;
        if (const auto* box = qobject_cast<const QGroupBox*>(control))
            caption = box->title();
        else if (const auto* button = qobject_cast<const QAbstractButton*>(control))
            caption = button->text();
        else if (const auto* label = qobject_cast<const QLabel*>(control))
            caption = label->text();
        else if (const auto* edit = qobject_cast<const QLineEdit*>(control))
            caption = edit->text();
        QCOMPARE(caption, QLatin1String(row.Caption));
        // Labels size themselves: only their position is given.
        if (qobject_cast<const QLabel*>(control))
            QCOMPARE(control->pos(), row.Place.topLeft());
        else
            QCOMPARE(control->geometry(), row.Place);
    }
    QCOMPARE(window.findChildren<QWidget*>().size(), int(std::size(table)));
    QVERIFY(window.Button1->isDefault());
    QCOMPARE(window.TIFFResVert_Label->font().pixelSize(), 16);

    // Tab order from OK on, over every control that takes the focus.
    QStringList order;
    QWidget* control = window.Button1;
    do {
        if (control->focusPolicy() & Qt::TabFocus)
            order << control->objectName();
        control = control->nextInFocusChain();
    } while (control != window.Button1);
    QCOMPARE(order, QStringList({"Button1",
                                 "Button2",
                                 "JPEGWIntFastRB",
                                 "JPEGWIntPreciseRB",
                                 "JPEGWFloatRB",
                                 "JPEGWQualityEdit",
                                 "JPEGRIntFastRB",
                                 "JPEGRIntPreciseRB",
                                 "JPEGRFloatRB",
                                 "JPEGWProgressiveCB",
                                 "PXMBinaryRB",
                                 "PXMASCIIRB",
                                 "TIFFCompNoneRB",
                                 "TIFFCompPackBitsRB",
                                 "TIFFRGBRB",
                                 "TIFFCMYKRB",
                                 "TIFFResNoneRB",
                                 "TIFFResInchRB",
                                 "TIFFResCentimeterRB",
                                 "TIFFResHorizNEdit",
                                 "TIFFResHorizDEdit",
                                 "TIFFResVertNEdit",
                                 "TIFFResVertDEdit",
                                 "TIFFByteOrderIRB",
                                 "TIFFByteOrderMRB",
                                 "TIFFBlackIsZeroRB",
                                 "TIFFWhiteIsZeroRB",
                                 "ScreenGammaEdit",
                                 "GammaCorrectionOnReadCB",
                                 "WriteGammaCB"}));
}

void FileOptionsTest::showsTheStartUpOptions() {
    QString shown;
    QPoint position;
    QSize size;
    const QWidget* focus = nullptr;
    RunOptions([&](TForm2* window) {
        shown = Checked(window);
        position = window->frameGeometry().topLeft();
        size = window->frameGeometry().size();
        focus = window->focusWidget();
        window->Button2->click();
    });
    QCOMPARE(shown, QStringLiteral("Floating point|Integer, precise|Write ASCII|None|RGB|Inch|I|"
                                   "BlackIsZero|Write Gamma|Gamma correction on read|80|300|1|"
                                   "300|1|1.8"));
    const QRect screen = FFrame->Form2->screen()->geometry();
    QCOMPARE(position,
             QPoint((screen.width() - size.width()) / 2, (screen.height() - size.height()) / 2));
    QCOMPARE(focus, FFrame->Form2->Button1);
}

void FileOptionsTest::cancelEscapeAndCloseStoreNothing() {
    const std::function<void(TForm2*)> closers[] = {
        [](TForm2* window) { window->Button2->click(); },
        [](TForm2* window) { QTest::keyClick(window->JPEGWQualityEdit, Qt::Key_Escape); },
        [](TForm2* window) { window->close(); },
    };
    for (const auto& close : closers) {
        RunOptions([&close](TForm2* window) {
            ChangeEverything(window);
            close(window);
        });
        QVERIFY(Fields() == Defaults);
    }
    // The next showing starts from the options again, not from the abandoned controls.
    QString shown;
    RunOptions([&shown](TForm2* window) {
        shown = Checked(window);
        window->Button2->click();
    });
    QCOMPARE(shown, QStringLiteral("Floating point|Integer, precise|Write ASCII|None|RGB|Inch|I|"
                                   "BlackIsZero|Write Gamma|Gamma correction on read|80|300|1|"
                                   "300|1|1.8"));
    QVERIFY(FMessages.Texts.isEmpty());
}

void FileOptionsTest::okAndEnterStoreEveryOption() {
    RunOptions([](TForm2* window) {
        ChangeEverything(window);
        window->Button1->click();
    });
    QVERIFY(Fields() == Changed);
    QString shown;
    RunOptions([&shown](TForm2* window) {
        shown = Checked(window);
        // Enter in an edit answers OK as well.
        window->JPEGWQualityEdit->setText(QStringLiteral("0"));
        QTest::keyClick(window->JPEGWQualityEdit, Qt::Key_Return);
    });
    QCOMPARE(shown, QStringLiteral("Integer, fast|Floating point|Progressive|Write binary|"
                                   "PackBits|CMYK|Centimeter|M|WhiteIsZero|100|72|2|96|-3|2.2"));
    QCOMPARE(WriterOptions().JPEGWriteQuality, 0);
    QVERIFY(FMessages.Texts.isEmpty());
}

void FileOptionsTest::invalidTextsStopStoring_data() {
    QTest::addColumn<QString>("edit");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("message");
    // How many options, in storing order, take their new values.
    QTest::addColumn<int>("stored");
    QTest::newRow("quality abc") << "JPEGWQualityEdit"
                                 << "abc"
                                 << "'abc' is not a valid integer value" << 1;
    QTest::newRow("quality 300") << "JPEGWQualityEdit"
                                 << "300"
                                 << "quality must be between 0 and 100" << 1;
    QTest::newRow("quality -1") << "JPEGWQualityEdit"
                                << "-1"
                                << "quality must be between 0 and 100" << 1;
    QTest::newRow("numerator 1.5") << "TIFFResHorizNEdit"
                                   << "1.5"
                                   << "'1.5' is not a valid integer value" << 10;
    QTest::newRow("denominator 0") << "TIFFResHorizDEdit"
                                   << "0"
                                   << "a resolution denominator cannot be 0" << 11;
    QTest::newRow("denominator beyond 32 bits")
        << "TIFFResVertDEdit"
        << "4294967296"
        << "'4294967296' is not a valid integer value" << 13;
    QTest::newRow("gamma 1,8") << "ScreenGammaEdit"
                               << "1,8"
                               << "'1,8' is not a valid floating point value" << 15;
    QTest::newRow("gamma empty") << "ScreenGammaEdit"
                                 << ""
                                 << "'' is not a valid floating point value" << 15;
}

template <std::size_t... I>
TOptionFields Mix(const TOptionFields& changed, const TOptionFields& old, int stored,
                  std::index_sequence<I...>) {
    return {(int(I) < stored ? std::get<I>(changed) : std::get<I>(old))...};
}

void FileOptionsTest::invalidTextsStopStoring() {
    QFETCH(QString, edit);
    QFETCH(QString, text);
    QFETCH(QString, message);
    QFETCH(int, stored);
    RunOptions([&](TForm2* window) {
        ChangeEverything(window);
        window->findChild<QLineEdit*>(edit)->setText(text);
        window->Button1->click();
    });
    QCOMPARE(FMessages.Texts, QStringList{message});
    const TOptionFields expected = Mix(
        Changed, Defaults, stored, std::make_index_sequence<std::tuple_size_v<TOptionFields>>());
    QVERIFY(Fields() == expected);
}

QTEST_MAIN(FileOptionsTest)
#include "FileOptionsTest.moc"
