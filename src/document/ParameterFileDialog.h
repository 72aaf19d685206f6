#pragma once

#include <QStringList>

class QWidget;

// The file dialogs for parameter files. They are Qt's own on every desktop, so that what they
// offer is what the program was tested with.
class TParameterFileDialog {
public:
    // The name to save to, empty when the user cancels.
    static QString SaveFileName(QWidget* parent);
    // The existing files to open, none when the user cancels.
    static QStringList OpenFileNames(QWidget* parent);
};
