#include "export/dialog/PGOpenDialog.h"

#include "export/FileFormatWriters.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QScreen>
#include <QShowEvent>

namespace {

// A name has an extension when its last part holds a dot; "flame." has an empty one.
bool HasExtension(const QString& name) {
    return QFileInfo(name).fileName().contains(QLatin1Char('.'));
}

QString WithExtension(const QString& name, const std::string& extension) {
    const QString base = HasExtension(name) ? name.left(name.lastIndexOf(QLatin1Char('.'))) : name;
    return base + QLatin1Char('.') + QString::fromStdString(extension);
}

} // namespace

TPGOpenDialog::TPGOpenDialog(QWidget* parent) : TPGOpenDialog(parent, false) {}

TPGOpenDialog::TPGOpenDialog(QWidget* parent, bool isSaveDialog)
    : QFileDialog(parent), FIsSaveDialog(isSaveDialog) {
    setOption(DontUseNativeDialog);
    // The list shows the formats' own texts; the patterns are what the dialog filters by.
    setOption(HideNameFilterDetails);
    setAcceptMode(isSaveDialog ? AcceptSave : AcceptOpen);
    ApplyOptions();
    connect(this, &QFileDialog::filterSelected, this, &TPGOpenDialog::FileTypeChanged);
}

void TPGOpenDialog::SetOptions(TOpenOptions value) {
    if (!value.testFlag(TOpenOption::ShareAware)) {
        QMessageBox box(QMessageBox::NoIcon, QApplication::applicationName(),
                        QStringLiteral("TPGOpenDialog.Options and TPGSaveDialog.Options must "
                                       "include TOpenOption::ShareAware!"),
                        QMessageBox::Ok, this);
        box.exec();
        value |= TOpenOption::ShareAware;
    }
    FOptions = value;
    ApplyOptions();
}

void TPGOpenDialog::ApplyOptions() {
    setOption(DontConfirmOverwrite, !FOptions.testFlag(TOpenOption::OverwritePrompt));
    if (FIsSaveDialog)
        setFileMode(AnyFile);
    else
        setFileMode(FOptions.testFlag(TOpenOption::AllowMultiSelect) ? ExistingFiles
                                                                     : ExistingFile);
}

QStringList TPGOpenDialog::NameFilters(const std::string& filter) {
    const QStringList parts = QString::fromStdString(filter).split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        // Qt separates the patterns of one entry by blanks.
        const QString patterns = QString(parts[i + 1]).replace(QLatin1Char(';'), QLatin1Char(' '));
        if (!patterns.simplified().isEmpty())
            filters << parts[i] + QStringLiteral(" (") + patterns.simplified() + QLatin1Char(')');
    }
    return filters;
}

std::vector<const TFileFormatReaderWriter*> TPGOpenDialog::Formats() const {
    // The library has no readers built in.
    return {};
}

std::string TPGOpenDialog::BuildFilter() const {
    std::string patterns;
    std::string entries;
    for (const TFileFormatReaderWriter* format : Formats()) {
        patterns += (patterns.empty() ? "*." : "; *.") + LowerCase(format->Extension);
        entries += FilterEntry(format->Extension, format->Description);
    }
    return "Image files|" + patterns + "|" + entries + "All files|*.*";
}

int TPGOpenDialog::FormatCount() const {
    return static_cast<int>(Formats().size());
}

std::string TPGOpenDialog::FormatExtension(int n) const {
    const std::vector<const TFileFormatReaderWriter*> formats = Formats();
    return LowerCase(formats.at(static_cast<std::size_t>(n - 1))->Extension);
}

bool TPGOpenDialog::RunDialog() {
    const QStringList filters = NameFilters(UseDefaultFilter ? BuildFilter() : Filter);
    setNameFilters(filters);
    const bool defaultRules = FIsSaveDialog && UseDefaultFilter;
    if (defaultRules && HasExtension(FFileName)) {
        const std::string extension = LowerCase(QFileInfo(FFileName).suffix().toStdString());
        for (int n = 1; n <= FormatCount(); ++n)
            if (FormatExtension(n) == extension) {
                FilterIndex = n;
                break;
            }
    }
    // The type first: in a save dialog choosing it rewrites the name's extension, and a name
    // whose extension is not listed keeps its own.
    if (FilterIndex >= 1 && FilterIndex <= filters.size())
        selectNameFilter(filters[FilterIndex - 1]);
    if (FFileName.isEmpty()) {
        FileNameEdit()->clear();
    } else {
        const QFileInfo preset(FFileName);
        setDirectory(preset.absolutePath());
        selectFile(preset.fileName());
    }

    if (exec() != Accepted)
        return false;
    FilterIndex = SelectedFilterIndex();
    const QStringList files = selectedFiles();
    FFileName = files.isEmpty() ? QString() : files.first();
    if (defaultRules && !HasExtension(FFileName) && FilterIndex >= 1 &&
        FilterIndex <= FormatCount())
        FFileName = WithExtension(FFileName, FormatExtension(FilterIndex));
    return true;
}

void TPGOpenDialog::showEvent(QShowEvent* event) {
    QFileDialog::showEvent(event);
    if (event->spontaneous())
        return;
    const QRect area = screen()->geometry();
    const QSize size = frameGeometry().size();
    move(area.left() + (area.width() - size.width()) / 2,
         area.top() + (area.height() - size.height()) / 3);
}

void TPGOpenDialog::FileTypeChanged() {
    if (!FIsSaveDialog || !UseDefaultFilter || FOptions.testFlag(TOpenOption::AllowMultiSelect))
        return;
    const int index = SelectedFilterIndex();
    QLineEdit* edit = FileNameEdit();
    const QString typed = edit->text().trimmed();
    if (typed.isEmpty() || index < 1 || index > FormatCount())
        return;
    const QDir folder = directory();
    if (QFileInfo(folder.filePath(typed)).isDir())
        return;
    const QString renamed = WithExtension(typed, FormatExtension(index));
    const QFileInfo target(folder.filePath(renamed));
    edit->setText(target.absolutePath() == folder.absolutePath() ? target.fileName() : renamed);
}

int TPGOpenDialog::SelectedFilterIndex() const {
    // Qt names the selected filter by its shown text, which two entries may share.
    return findChild<QComboBox*>(QStringLiteral("fileTypeCombo"))->currentIndex() + 1;
}

QLineEdit* TPGOpenDialog::FileNameEdit() const {
    return findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
}
