#include "tools/Form2.h"

#include "tools/ToolWindowFont.h"

#include "export/WriterOptions.h"
#include "image/ScreenGamma.h"

#include <QCheckBox>
#include <QCoreApplication>
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
#include <string>
#include <tuple>
#include <utility>

namespace {

template <class Control> Control* Named(Control* control, const char* name) {
    control->setObjectName(QLatin1String(name));
    return control;
}

// A control made from `args` and its parent, named and placed.
template <class Control, class... Args>
Control* Placed(QWidget* parent, const char* name, QRect place, const Args&... args) {
    auto* control = Named(new Control(args..., parent), name);
    control->setGeometry(place);
    return control;
}

QFrame* Panel(QWidget* parent, const char* name, QRect place) {
    auto* panel = Placed<QFrame>(parent, name, place);
    panel->setFrameShape(QFrame::NoFrame);
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

// The DCT methods of the JPEG panel for `direction` ('W' write, 'R' read), top to bottom, named
// as "JPEGWIntFastRB"; the last one's row differs between the panels.
std::tuple<QRadioButton*, QRadioButton*, QRadioButton*> DctButtons(QWidget* panel, char direction,
                                                                   int floatTop) {
    const auto name = [direction](const char* method) {
        return std::string("JPEG") + direction + method + "RB";
    };
    const auto text = [](const char* caption) {
        return QCoreApplication::translate("TForm2", caption);
    };
    return {Placed<QRadioButton>(panel, name("IntFast").c_str(), {14, 20, 113, 17},
                                 text("Integer, fast")),
            Placed<QRadioButton>(panel, name("IntPrecise").c_str(), {14, 40, 113, 17},
                                 text("Integer, precise")),
            Placed<QRadioButton>(panel, name("Float").c_str(), {14, floatTop, 113, 17},
                                 text("Floating point"))};
}

QLineEdit* Edit(QWidget* parent, const char* name, QRect place) {
    // Until the first showing fills it, an edit holds its own name.
    return Placed<QLineEdit>(parent, name, place, QLatin1String(name));
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

    JPGGroupBox = Placed<QGroupBox>(this, "JPGGroupBox", {0, 0, 403, 166}, tr("JPG"));
    JPEGWPanel = Panel(JPGGroupBox, "JPEGWPanel", {12, 21, 146, 109});
    JPEGWLabel = Label(JPEGWPanel, "JPEGWLabel", tr("Write"), {0, 0});
    std::tie(JPEGWIntFastRB, JPEGWIntPreciseRB, JPEGWFloatRB) = DctButtons(JPEGWPanel, 'W', 61);
    JPEGWQualityLabel = Label(JPEGWPanel, "JPEGWQualityLabel", tr("Quality (0...100)"), {14, 90});
    JPEGWQualityEdit = Edit(JPEGWPanel, "JPEGWQualityEdit", {101, 87, 36, 21});
    JPEGWQualityEdit->setText(QStringLiteral("80"));
    JPEGRPanel = Panel(JPGGroupBox, "JPEGRPanel", {182, 21, 147, 81});
    JPEGRLabel = Label(JPEGRPanel, "JPEGRLabel", tr("Read"), {0, 0});
    std::tie(JPEGRIntFastRB, JPEGRIntPreciseRB, JPEGRFloatRB) = DctButtons(JPEGRPanel, 'R', 60);
    JPEGWProgressiveCB =
        Placed<QCheckBox>(JPGGroupBox, "JPEGWProgressiveCB", {26, 136, 97, 17}, tr("Progressive"));

    PXMGroupBox = Placed<QGroupBox>(this, "PXMGroupBox", {0, 166, 403, 67}, tr("PBM, PGM, PPM"));
    PXMBinaryRB =
        Placed<QRadioButton>(PXMGroupBox, "PXMBinaryRB", {29, 19, 318, 17}, tr("Write binary"));
    PXMASCIIRB =
        Placed<QRadioButton>(PXMGroupBox, "PXMASCIIRB", {29, 39, 314, 17}, tr("Write ASCII"));

    TIFGroupBox = Placed<QGroupBox>(this, "TIFGroupBox", {0, 233, 403, 171}, tr("TIF"));
    TIFFCompressionPanel = Panel(TIFGroupBox, "TIFFCompressionPanel", {14, 22, 110, 80});
    TIFFCompLabel = Label(TIFFCompressionPanel, "TIFFCompLabel", tr("Write compression"), {0, 0});
    TIFFCompNoneRB =
        Placed<QRadioButton>(TIFFCompressionPanel, "TIFFCompNoneRB", {14, 20, 73, 17}, tr("None"));
    TIFFCompPackBitsRB = Placed<QRadioButton>(TIFFCompressionPanel, "TIFFCompPackBitsRB",
                                              {14, 40, 73, 17}, tr("PackBits"));
    TIFFRGBorCMYKPanel = Panel(TIFGroupBox, "TIFFRGBorCMYKPanel", {124, 22, 130, 80});
    TIFFW24PILabel =
        Label(TIFFRGBorCMYKPanel, "TIFFW24PILabel", tr("Write true color as "), {0, 0});
    TIFFRGBRB = Placed<QRadioButton>(TIFFRGBorCMYKPanel, "TIFFRGBRB", {14, 20, 66, 17}, tr("RGB"));
    TIFFCMYKRB =
        Placed<QRadioButton>(TIFFRGBorCMYKPanel, "TIFFCMYKRB", {14, 40, 65, 17}, tr("CMYK"));
    TIFFResPanel = Panel(TIFGroupBox, "TIFFResPanel", {254, 22, 133, 144});
    TIFFResLabel = Label(TIFFResPanel, "TIFFResLabel", tr("Resolution"), {0, 0});
    TIFFResNoneRB =
        Placed<QRadioButton>(TIFFResPanel, "TIFFResNoneRB", {12, 20, 113, 17}, tr("No unit"));
    TIFFResInchRB =
        Placed<QRadioButton>(TIFFResPanel, "TIFFResInchRB", {12, 38, 113, 17}, tr("Inch"));
    TIFFResCentimeterRB = Placed<QRadioButton>(TIFFResPanel, "TIFFResCentimeterRB",
                                               {12, 56, 113, 17}, tr("Centimeter"));
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
    TIFFByteOrderIRB =
        Placed<QRadioButton>(TIFFByteOrderPanel, "TIFFByteOrderIRB", {14, 20, 113, 17}, tr("I"));
    TIFFByteOrderMRB =
        Placed<QRadioButton>(TIFFByteOrderPanel, "TIFFByteOrderMRB", {14, 40, 76, 17}, tr("M"));
    TIFFWhiteOrBlackIsZeroPanel =
        Panel(TIFGroupBox, "TIFFWhiteOrBlackIsZeroPanel", {124, 102, 130, 65});
    TIFFWGrayScaleLabel = Label(TIFFWhiteOrBlackIsZeroPanel, "TIFFWGrayScaleLabel",
                                tr("Grayscale (2, 16, 256)"), {0, 0});
    TIFFBlackIsZeroRB = Placed<QRadioButton>(TIFFWhiteOrBlackIsZeroPanel, "TIFFBlackIsZeroRB",
                                             {14, 20, 113, 17}, tr("BlackIsZero"));
    TIFFWhiteIsZeroRB = Placed<QRadioButton>(TIFFWhiteOrBlackIsZeroPanel, "TIFFWhiteIsZeroRB",
                                             {14, 40, 113, 17}, tr("WhiteIsZero"));

    GeneralGroupBox = Placed<QGroupBox>(this, "GeneralGroupBox", {0, 404, 403, 110}, tr("General"));
    WriteGammaCB =
        Placed<QCheckBox>(GeneralGroupBox, "WriteGammaCB", {29, 19, 306, 17}, tr("Write Gamma"));
    ScreenGammaLabel = Label(GeneralGroupBox, "ScreenGammaLabel", tr("Screen Gamma"), {30, 48});
    ScreenGammaEdit = Edit(GeneralGroupBox, "ScreenGammaEdit", {112, 43, 32, 21});
    GammaCorrectionOnReadCB = Placed<QCheckBox>(GeneralGroupBox, "GammaCorrectionOnReadCB",
                                                {30, 73, 288, 17}, tr("Gamma correction on read"));

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
