#include "export/dialog/PGSaveDialog.h"

#include "export/FileFormatWriters.h"

TPGSaveDialog::TPGSaveDialog(QWidget* parent) : TPGOpenDialog(parent, true) {}

std::vector<const TFileFormatReaderWriter*> TPGSaveDialog::Formats() const {
    const std::vector<TFileFormatWriter*> writers = FileFormatWriters().ListedWriters();
    return {writers.begin(), writers.end()};
}

std::string TPGSaveDialog::BuildFilter() const {
    return FileFormatWriters().FilterString();
}
