#pragma once

#include <QMessageBox>
#include <QString>

#include <exception>
#include <functional>

// Every short message of the windows goes through one function, so that a caller without a
// user (a test, a benchmark) can take the texts instead of a modal box.
using TMessageHandler =
    std::function<void(QWidget* parent, QMessageBox::Icon icon, const QString& text)>;

// Installs the handler and returns the one it replaces; an empty handler restores the boxes.
TMessageHandler SetMessageHandler(TMessageHandler handler);

void ShowMessage(QWidget* parent, const QString& text);
void ShowErrorMessage(QWidget* parent, const QString& text);

// Qt cannot carry an exception through its event loop, and a render run keeps every handler
// inside that loop, so each command reports its library's errors itself and the program goes on.
template <class Command> void ReportErrors(QWidget* parent, Command&& command) {
    try {
        command();
    } catch (const std::exception& error) {
        ShowErrorMessage(parent, QString::fromLocal8Bit(error.what()));
    }
}
