#include "tools/Form2.h"

#include "tools/ToolWindowFont.h"

#include "export/WriterOptions.h"
#include "image/ScreenGamma.h"

#include <QCheckBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <stdexcept>
#include <utility>

namespace {

template <class Control> Control* Named(Control* control, const char* name) {
    control->setObjectName(QLatin1String(name));
    return control;
}

QGroupBox* GroupBox(QWidget* parent, const char* name, const QString& title, QRect place) {
    auto* box = Named(new QGroupBox(title, parent), name);
    box->setGeometry(place);
    return box;
}

QFrame* Panel(QWidget* parent, const char* name, QRect place) {
    auto* panel = Named(new QFrame(parent), name);
    panel->setFrameShape(QFrame::NoFrame);
    panel->setGeometry(place);
    return panel;
}

// Labels size themselves to their text.
QLabel* Label(QWidget* parent, const char* name, const QString& text, QPoint place) {
    auto* label = Named(new QLabel(text, parent), name);
    label->move(place);
    label->adjustSize();
    return label;
}

QLabel* Slash(QWidget* parent, const char* name, QPoint place) {
    QLabel* label = Label(parent, name, QStringLiteral("/"), place);
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(16);
    label->setFont(font);
    label->adjustSize();
    return label;
}

QRadioButton* Radio(QWidget* parent, const char* name, const QString& text, QRect place) {
    auto* button = Named(new QRadioButton(text, parent), name);
    button->setGeometry(place);
    return button;
}

QCheckBox* Check(QWidget* parent, const char* name, const QString& text, QRect place) {
    auto* box = Named(new QCheckBox(text, parent), name);
    box->setGeometry(place);
    return box;
}

QLineEdit* Edit(QWidget* parent, const char* name, QRect place) {
    // Until the first showing fills it, an edit holds its own name.
    auto* edit = Named(new QLineEdit(QLatin1String(name), parent), name);
    edit->setGeometry(place);
    return edit;
}

template <class T> using TChoice = std::vector<std::pair<QRadioButton*, T>>;

// Checks the button of the option's value and clears the others, all of them when none has it.
template <class T> void ShowChoice(T value, const TChoice<T>& buttons) {
    for (const auto& [button, buttonValue] : buttons) {
        // Qt keeps one button of an exclusive group checked; this must clear them all.
        button->setAutoExclusive(false);
        button->setChecked(buttonValue == value);
        button->setAutoExclusive(true);
    }
}

// Each checked button stores its value in turn; with none checked the option stays.
template <class T> void StoreChoice(T& option, const TChoice<T>& buttons) {
    for (const auto& [button, buttonValue] : buttons)
        if (button->isChecked())
            option = buttonValue;
}

[[noreturn]] void Refuse(const QString& message) {
    throw std::invalid_argument(message.toLocal8Bit().toStdString());
}

std::int32_t Integer(const QLineEdit* edit) {
    bool valid = false;
    const int value = edit->text().toInt(&valid, 10);
    if (!valid)
        Refuse(QStringLiteral("'%1' is not a valid integer value").arg(edit->text()));
    return value;
}

// Qt's text conversion knows no extended precision: "1.8" must give the 1.8 that the options
// start with, so the text is read locale-free at full precision.
long double Real(const QLineEdit* edit) {
    const std::string text = edit->text().trimmed().toStdString();
    long double value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || stop != end || !std::isfinite(value))
        Refuse(QStringLiteral("'%1' is not a valid floating point value").arg(edit->text()));
    return value;
}

// A quality beyond 100 would not be stored as typed and would spoil the next JPEG file.
std::uint8_t Quality(const QLineEdit* edit) {
    const std::int32_t value = Integer(edit);
    if (value < 0 || value > 100)
        Refuse(QStringLiteral("quality must be between 0 and 100"));
    return static_cast<std::uint8_t>(value);
}

// A resolution of n / 0 makes an invalid TIFF file.
std::int32_t Denominator(const QLineEdit* edit) {
    const std::int32_t value = Integer(edit);
    if (value == 0)
        Refuse(QStringLiteral("a resolution denominator cannot be 0"));
    return value;
}

} // namespace

TForm2::TForm2(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(tr("Options"));
    setFixedSize(403, 564);
    setFont(ToolWindowFont());

    JPGGroupBox = GroupBox(this, "JPGGroupBox", tr("JPG"), {0, 0, 403, 166});
    JPEGWPanel = Panel(JPGGroupBox, "JPEGWPanel", {12, 21, 146, 109});
    JPEGWLabel = Label(JPEGWPanel, "JPEGWLabel", tr("Write"), {0, 0});
    JPEGWIntFastRB = Radio(JPEGWPanel, "JPEGWIntFastRB", tr("Integer, fast"), {14, 20, 113, 17});
    JPEGWIntPreciseRB =
        Radio(JPEGWPanel, "JPEGWIntPreciseRB", tr("Integer, precise"), {14, 40, 113, 17});
    JPEGWFloatRB = Radio(JPEGWPanel, "JPEGWFloatRB", tr("Floating point"), {14, 61, 113, 17});
    JPEGWQualityLabel = Label(JPEGWPanel, "JPEGWQualityLabel", tr("Quality (0...100)"), {14, 90});
    JPEGWQualityEdit = Edit(JPEGWPanel, "JPEGWQualityEdit", {101, 87, 36, 21});
    JPEGWQualityEdit->setText(QStringLiteral("80"));
    JPEGRPanel = Panel(JPGGroupBox, "JPEGRPanel", {182, 21, 147, 81});
    JPEGRLabel = Label(JPEGRPanel, "JPEGRLabel", tr("Read"), {0, 0});
    JPEGRIntFastRB = Radio(JPEGRPanel, "JPEGRIntFastRB", tr("Integer, fast"), {14, 20, 113, 17});
    JPEGRIntPreciseRB =
        Radio(JPEGRPanel, "JPEGRIntPreciseRB", tr("Integer, precise"), {14, 40, 113, 17});
    JPEGRFloatRB = Radio(JPEGRPanel, "JPEGRFloatRB", tr("Floating point"), {14, 60, 113, 17});
    JPEGWProgressiveCB =
        Check(JPGGroupBox, "JPEGWProgressiveCB", tr("Progressive"), {26, 136, 97, 17});

    PXMGroupBox = GroupBox(this, "PXMGroupBox", tr("PBM, PGM, PPM"), {0, 166, 403, 67});
    PXMBinaryRB = Radio(PXMGroupBox, "PXMBinaryRB", tr("Write binary"), {29, 19, 318, 17});
    PXMASCIIRB = Radio(PXMGroupBox, "PXMASCIIRB", tr("Write ASCII"), {29, 39, 314, 17});

    TIFGroupBox = GroupBox(this, "TIFGroupBox", tr("TIF"), {0, 233, 403, 171});
    TIFFCompressionPanel = Panel(TIFGroupBox, "TIFFCompressionPanel", {14, 22, 110, 80});
    TIFFCompLabel = Label(TIFFCompressionPanel, "TIFFCompLabel", tr("Write compression"), {0, 0});
    TIFFCompNoneRB = Radio(TIFFCompressionPanel, "TIFFCompNoneRB", tr("None"), {14, 20, 73, 17});
    TIFFCompPackBitsRB =
        Radio(TIFFCompressionPanel, "TIFFCompPackBitsRB", tr("PackBits"), {14, 40, 73, 17});
    TIFFRGBorCMYKPanel = Panel(TIFGroupBox, "TIFFRGBorCMYKPanel", {124, 22, 130, 80});
    TIFFW24PILabel =
        Label(TIFFRGBorCMYKPanel, "TIFFW24PILabel", tr("Write true color as "), {0, 0});
    TIFFRGBRB = Radio(TIFFRGBorCMYKPanel, "TIFFRGBRB", tr("RGB"), {14, 20, 66, 17});
    TIFFCMYKRB = Radio(TIFFRGBorCMYKPanel, "TIFFCMYKRB", tr("CMYK"), {14, 40, 65, 17});
    TIFFResPanel = Panel(TIFGroupBox, "TIFFResPanel", {254, 22, 133, 144});
    TIFFResLabel = Label(TIFFResPanel, "TIFFResLabel", tr("Resolution"), {0, 0});
    TIFFResNoneRB = Radio(TIFFResPanel, "TIFFResNoneRB", tr("No unit"), {12, 20, 113, 17});
    TIFFResInchRB = Radio(TIFFResPanel, "TIFFResInchRB", tr("Inch"), {12, 38, 113, 17});
    TIFFResCentimeterRB =
        Radio(TIFFResPanel, "TIFFResCentimeterRB", tr("Centimeter"), {12, 56, 113, 17});
    TIFFResXLabel = Label(TIFFResPanel, "TIFFResXLabel", tr("Horiz.:"), {12, 88});
    TIFFResHorizNEdit = Edit(TIFFResPanel, "TIFFResHorizNEdit", {44, 84, 35, 21});
    TIFFResHoriz_Label = Slash(TIFFResPanel, "TIFFResHoriz_Label", {84, 86});
    TIFFResHorizDEdit = Edit(TIFFResPanel, "TIFFResHorizDEdit", {91, 84, 35, 21});
    TIFFResYLabel = Label(TIFFResPanel, "TIFFResYLabel", tr("Vert.:"), {12, 116});
    TIFFResVertNEdit = Edit(TIFFResPanel, "TIFFResVertNEdit", {44, 114, 35, 21});
    TIFFResVert_Label = Slash(TIFFResPanel, "TIFFResVert_Label", {84, 116});
    TIFFResVertDEdit = Edit(TIFFResPanel, "TIFFResVertDEdit", {92, 114, 35, 21});
    TIFFByteOrderPanel = Panel(TIFGroupBox, "TIFFByteOrderPanel", {14, 102, 110, 62});
    TIFFByteOrderLabel = Label(TIFFByteOrderPanel, "TIFFByteOrderLabel", tr("Byte order"), {0, 0});
    TIFFByteOrderIRB = Radio(TIFFByteOrderPanel, "TIFFByteOrderIRB", tr("I"), {14, 20, 113, 17});
    TIFFByteOrderMRB = Radio(TIFFByteOrderPanel, "TIFFByteOrderMRB", tr("M"), {14, 40, 76, 17});
    TIFFWhiteOrBlackIsZeroPanel =
        Panel(TIFGroupBox, "TIFFWhiteOrBlackIsZeroPanel", {124, 102, 130, 65});
    TIFFWGrayScaleLabel = Label(TIFFWhiteOrBlackIsZeroPanel, "TIFFWGrayScaleLabel",
                                tr("Grayscale (2, 16, 256)"), {0, 0});
    TIFFBlackIsZeroRB = Radio(TIFFWhiteOrBlackIsZeroPanel, "TIFFBlackIsZeroRB", tr("BlackIsZero"),
                              {14, 20, 113, 17});
    TIFFWhiteIsZeroRB = Radio(TIFFWhiteOrBlackIsZeroPanel, "TIFFWhiteIsZeroRB", tr("WhiteIsZero"),
                              {14, 40, 113, 17});

    GeneralGroupBox = GroupBox(this, "GeneralGroupBox", tr("General"), {0, 404, 403, 110});
    WriteGammaCB = Check(GeneralGroupBox, "WriteGammaCB", tr("Write Gamma"), {29, 19, 306, 17});
    ScreenGammaLabel = Label(GeneralGroupBox, "ScreenGammaLabel", tr("Screen Gamma"), {30, 48});
    ScreenGammaEdit = Edit(GeneralGroupBox, "ScreenGammaEdit", {112, 43, 32, 21});
    GammaCorrectionOnReadCB = Check(GeneralGroupBox, "GammaCorrectionOnReadCB",
                                    tr("Gamma correction on read"), {30, 73, 288, 17});

    Button1 = Named(new QPushButton(tr("OK"), this), "Button1");
    Button1->setGeometry(99, 526, 75, 25);
    Button1->setDefault(true);
    connect(Button1, &QPushButton::clicked, this, &QDialog::accept);
    // Escape and the close box reject the dialog as Cancel does.
    Button2 = Named(new QPushButton(tr("Cancel"), this), "Button2");
    Button2->setGeometry(226, 526, 75, 25);
    connect(Button2, &QPushButton::clicked, this, &QDialog::reject);
    SetTabOrder();
    BuildChoices();
}

void TForm2::BuildChoices() {
    FWriteDCTChoice = {{JPEGWIntFastRB, JpegDctIntegerFast},
                       {JPEGWIntPreciseRB, JpegDctIntegerPrecise},
                       {JPEGWFloatRB, JpegDctFloat}};
    FReadDCTChoice = {{JPEGRIntFastRB, JpegDctIntegerFast},
                      {JPEGRIntPreciseRB, JpegDctIntegerPrecise},
                      {JPEGRFloatRB, JpegDctFloat}};
    FCompressionChoice = {{TIFFCompNoneRB, TiffNoCompression},
                          {TIFFCompPackBitsRB, TiffPackBitsCompression}};
    FByteOrderChoice = {{TIFFByteOrderIRB, false}, {TIFFByteOrderMRB, true}};
    FColorModelChoice = {{TIFFRGBRB, false}, {TIFFCMYKRB, true}};
    FGreyPolarityChoice = {{TIFFBlackIsZeroRB, false}, {TIFFWhiteIsZeroRB, true}};
    FResolutionUnitChoice = {{TIFFResNoneRB, 0}, {TIFFResInchRB, 1}, {TIFFResCentimeterRB, 2}};
}

void TForm2::SetTabOrder() {
    QWidget* const order[] = {Button1,
                              Button2,
                              JPEGWIntFastRB,
                              JPEGWIntPreciseRB,
                              JPEGWFloatRB,
                              JPEGWQualityEdit,
                              JPEGRIntFastRB,
                              JPEGRIntPreciseRB,
                              JPEGRFloatRB,
                              JPEGWProgressiveCB,
                              PXMBinaryRB,
                              PXMASCIIRB,
                              TIFFCompNoneRB,
                              TIFFCompPackBitsRB,
                              TIFFRGBRB,
                              TIFFCMYKRB,
                              TIFFResNoneRB,
                              TIFFResInchRB,
                              TIFFResCentimeterRB,
                              TIFFResHorizNEdit,
                              TIFFResHorizDEdit,
                              TIFFResVertNEdit,
                              TIFFResVertDEdit,
                              TIFFByteOrderIRB,
                              TIFFByteOrderMRB,
                              TIFFBlackIsZeroRB,
                              TIFFWhiteIsZeroRB,
                              ScreenGammaEdit,
                              GammaCorrectionOnReadCB,
                              WriteGammaCB};
    for (std::size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);
}

void TForm2::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    const QRect area = screen()->geometry();
    move(area.left() + (area.width() - frameGeometry().width()) / 2,
         area.top() + (area.height() - frameGeometry().height()) / 2);
    Button1->setFocus();
}

void TForm2::LoadOptions() {
    const TPGWriterOptions& options = WriterOptions();
    ShowChoice(options.JPEGWriteDCTMethod, FWriteDCTChoice);
    JPEGWQualityEdit->setText(QString::number(options.JPEGWriteQuality));
    JPEGWProgressiveCB->setChecked(options.JPEGWriteProgressive);
    ShowChoice(options.JPEGReadDCTMethod, FReadDCTChoice);
    ShowChoice(options.PXMWriteBinary, {{PXMBinaryRB, true}, {PXMASCIIRB, false}});
    ShowChoice(options.TIFFWriteCompression, FCompressionChoice);
    ShowChoice(options.TIFFWriteMotorolaOrder, FByteOrderChoice);
    ShowChoice(options.TIFFWriteCMYK, FColorModelChoice);
    ShowChoice(options.TIFFWriteWhiteIsZero, FGreyPolarityChoice);
    ShowChoice(options.TIFFWriteResUnit, FResolutionUnitChoice);
    TIFFResHorizNEdit->setText(QString::number(options.TIFFWriteXResNumerator));
    TIFFResHorizDEdit->setText(QString::number(options.TIFFWriteXResDenominator));
    TIFFResVertNEdit->setText(QString::number(options.TIFFWriteYResNumerator));
    TIFFResVertDEdit->setText(QString::number(options.TIFFWriteYResDenominator));
    WriteGammaCB->setChecked(options.WriteGamma);
    ScreenGammaEdit->setText(QString::number(static_cast<double>(ScreenGamma()), 'g', 15));
    GammaCorrectionOnReadCB->setChecked(options.GammaCorrectionOnRead);
}

void TForm2::StoreOptions() {
    TPGWriterOptions& options = WriterOptions();
    StoreChoice(options.JPEGWriteDCTMethod, FWriteDCTChoice);
    options.JPEGWriteQuality = Quality(JPEGWQualityEdit);
    options.JPEGWriteProgressive = JPEGWProgressiveCB->isChecked();
    StoreChoice(options.JPEGReadDCTMethod, FReadDCTChoice);
    options.PXMWriteBinary = PXMBinaryRB->isChecked();
    StoreChoice(options.TIFFWriteCompression, FCompressionChoice);
    StoreChoice(options.TIFFWriteMotorolaOrder, FByteOrderChoice);
    StoreChoice(options.TIFFWriteCMYK, FColorModelChoice);
    StoreChoice(options.TIFFWriteWhiteIsZero, FGreyPolarityChoice);
    StoreChoice(options.TIFFWriteResUnit, FResolutionUnitChoice);
    options.TIFFWriteXResNumerator = Integer(TIFFResHorizNEdit);
    options.TIFFWriteXResDenominator = Denominator(TIFFResHorizDEdit);
    options.TIFFWriteYResNumerator = Integer(TIFFResVertNEdit);
    options.TIFFWriteYResDenominator = Denominator(TIFFResVertDEdit);
    options.WriteGamma = WriteGammaCB->isChecked();
    ScreenGamma() = Real(ScreenGammaEdit);
    options.GammaCorrectionOnRead = GammaCorrectionOnReadCB->isChecked();
}
