#include "export/dialog/WarningMessageBox.h"

#include <QApplication>
#include <QMessageBox>

TPGPromptResult ShowWarningMessageBox(const std::string& caption, const std::string& text,
                                      TPGPromptButtons buttons) {
    // The library separates paragraphs with bare carriage returns, which Qt does not break at.
    QString shown = QString::fromLocal8Bit(text);
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"))
        .replace(QLatin1Char('\r'), QLatin1Char('\n'));
    QWidget* parent = QApplication::activeModalWidget();
    if (!parent)
        parent = QApplication::activeWindow();
    QMessageBox box(QMessageBox::Warning, QString::fromLocal8Bit(caption), shown,
                    buttons == TPGPromptButtons::OK ? QMessageBox::Ok
                                                    : QMessageBox::Ok | QMessageBox::Cancel,
                    parent);
    box.setDefaultButton(QMessageBox::Ok);
    return box.exec() == QMessageBox::Ok ? TPGPromptResult::OK : TPGPromptResult::Cancel;
}

void InstallWarningMessageBox() {
    SetWarningPrompt(ShowWarningMessageBox);
}
