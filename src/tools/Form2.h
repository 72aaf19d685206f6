#pragma once

#include <QDialog>

#include <cstdint>
#include <utility>
#include <vector>

class QCheckBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

// The file-options window: a fixed-size modal dialog with the writers' and readers' options.
// It keeps nothing between showings: the file-options command fills it from the current
// options before each showing and, on OK, stores them back (LoadOptions, StoreOptions).
class TForm2 : public QDialog {
    Q_OBJECT

public:
    explicit TForm2(QWidget* parent = nullptr);

    QGroupBox* JPGGroupBox;
    QFrame* JPEGWPanel;
    QLabel* JPEGWLabel;
    QRadioButton* JPEGWIntFastRB;
    QRadioButton* JPEGWIntPreciseRB;
    QRadioButton* JPEGWFloatRB;
    QLabel* JPEGWQualityLabel;
    QLineEdit* JPEGWQualityEdit;
    QFrame* JPEGRPanel;
    QLabel* JPEGRLabel;
    QRadioButton* JPEGRIntFastRB;
    QRadioButton* JPEGRIntPreciseRB;
    QRadioButton* JPEGRFloatRB;
    QCheckBox* JPEGWProgressiveCB;
    QGroupBox* PXMGroupBox;
    QRadioButton* PXMBinaryRB;
    QRadioButton* PXMASCIIRB;
    QGroupBox* TIFGroupBox;
    QFrame* TIFFCompressionPanel;
    QLabel* TIFFCompLabel;
    QRadioButton* TIFFCompNoneRB;
    QRadioButton* TIFFCompPackBitsRB;
    QFrame* TIFFRGBorCMYKPanel;
    QLabel* TIFFW24PILabel;
    QRadioButton* TIFFRGBRB;
    QRadioButton* TIFFCMYKRB;
    QFrame* TIFFResPanel;
    QLabel* TIFFResLabel;
    QRadioButton* TIFFResNoneRB;
    QRadioButton* TIFFResInchRB;
    QRadioButton* TIFFResCentimeterRB;
    QLabel* TIFFResXLabel;
    QLineEdit* TIFFResHorizNEdit;
    QLabel* TIFFResHoriz_Label;
    QLineEdit* TIFFResHorizDEdit;
    QLabel* TIFFResYLabel;
    QLineEdit* TIFFResVertNEdit;
    QLabel* TIFFResVert_Label;
    QLineEdit* TIFFResVertDEdit;
    QFrame* TIFFByteOrderPanel;
    QLabel* TIFFByteOrderLabel;
    QRadioButton* TIFFByteOrderIRB;
    QRadioButton* TIFFByteOrderMRB;
    QFrame* TIFFWhiteOrBlackIsZeroPanel;
    QLabel* TIFFWGrayScaleLabel;
    QRadioButton* TIFFBlackIsZeroRB;
    QRadioButton* TIFFWhiteIsZeroRB;
    QGroupBox* GeneralGroupBox;
    QCheckBox* WriteGammaCB;
    QLabel* ScreenGammaLabel;
    QLineEdit* ScreenGammaEdit;
    QCheckBox* GammaCorrectionOnReadCB;
    QPushButton* Button1;
    QPushButton* Button2;

    // Sets every control from the current writer options and screen gamma.
    void LoadOptions();
    // Stores every option from its control, in a fixed order. A text that is not a valid value
    // raises std::invalid_argument with the message to show; the options stored before it keep
    // their new values, it and all after it their old ones.
    void StoreOptions();

protected:
    void showEvent(QShowEvent* event) override;

private:
    // The radio buttons of an option with the value each one stands for.
    template <class T> using TChoice = std::vector<std::pair<QRadioButton*, T>>;

    void SetTabOrder();
    void BuildChoices();

    TChoice<std::uint8_t> FWriteDCTChoice;
    TChoice<std::uint8_t> FReadDCTChoice;
    TChoice<std::int32_t> FCompressionChoice;
    TChoice<bool> FByteOrderChoice;
    TChoice<bool> FColorModelChoice;
    TChoice<bool> FGreyPolarityChoice;
    TChoice<std::uint8_t> FResolutionUnitChoice;
};
