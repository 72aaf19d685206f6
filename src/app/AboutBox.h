#pragma once

#include <QDialog>

class QPlainTextEdit;
class QPushButton;
class TScrollingText;

// The About box: the credits and a banner with the program's title and version.
class TAboutBox : public QDialog {
    Q_OBJECT

public:
    explicit TAboutBox(QWidget* parent = nullptr);

    TScrollingText* Banner;
    QPlainTextEdit* Credits;
    QPushButton* OKButton;

    void OKButtonClick();
};
