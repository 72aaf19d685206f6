#pragma once

#include "export/dialog/PGOpenDialog.h"

// The save dialog: lists the file types of the writer registry, picks the type of the preset
// name, completes a bare name with the extension of the chosen type and, while it is open,
// gives the typed name the extension of each type the user chooses. An existing file is
// replaced without asking: the writers replace files atomically.
class TPGSaveDialog : public TPGOpenDialog {
    Q_OBJECT

public:
    explicit TPGSaveDialog(QWidget* parent = nullptr);

protected:
    std::vector<const TFileFormatReaderWriter*> Formats() const override;
    std::string BuildFilter() const override;
};
