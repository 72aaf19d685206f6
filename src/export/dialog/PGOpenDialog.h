#pragma once

#include "export/FileFormatReaderWriter.h"

#include <QFileDialog>
#include <QFlags>
#include <QString>
#include <QStringList>

#include <string>
#include <vector>

class QLineEdit;

// HideReadOnly and ShareAware stand for behaviour that every Qt file dialog already has; they
// are kept so that callers state the same options on every platform.
enum class TOpenOption {
    HideReadOnly = 0x1,
    ShareAware = 0x2,
    OverwritePrompt = 0x4,
    AllowMultiSelect = 0x8,
};
Q_DECLARE_FLAGS(TOpenOptions, TOpenOption)
Q_DECLARE_OPERATORS_FOR_FLAGS(TOpenOptions)

// A file dialog whose list of file types comes from the image library's formats. The file
// name and the filter index (counting from 1) are kept between runs, so a dialog that is run
// again opens where the user left it. It is Qt's own dialog, not the desktop's, because only
// that one lets a change of the file type rewrite the typed name while the dialog is open.
class TPGOpenDialog : public QFileDialog {
    Q_OBJECT

public:
    explicit TPGOpenDialog(QWidget* parent = nullptr);

    TOpenOptions Options() const { return FOptions; }
    // Options without ShareAware are taken with it added, after a message that says so.
    void SetOptions(TOpenOptions value);
    // While on, each run lists the library's formats instead of Filter.
    bool UseDefaultFilter = true;
    // The caller's own list in "Text|*.ext|Text|*.ext" form, used while UseDefaultFilter is off.
    std::string Filter;
    int FilterIndex = 1;
    const QString& FileName() const { return FFileName; }
    void SetFileName(const QString& value) { FFileName = value; }

    // Shows the dialog modally; true when the user confirmed a name, which is then in FileName.
    bool RunDialog();

    // "A|*.a|B|*.b; *.c|" as Qt's name filters "A (*.a)", "B (*.b *.c)"; an entry without a
    // pattern is left out.
    static QStringList NameFilters(const std::string& filter);

protected:
    TPGOpenDialog(QWidget* parent, bool isSaveDialog);

    // The formats that the dialog offers, in list order.
    virtual std::vector<const TFileFormatReaderWriter*> Formats() const;
    virtual std::string BuildFilter() const;
    int FormatCount() const;
    // The lower-cased extension of the n-th offered format, counting from 1.
    std::string FormatExtension(int n) const;

    void showEvent(QShowEvent* event) override;

private:
    void ApplyOptions();
    void FileTypeChanged();
    int SelectedFilterIndex() const;
    QLineEdit* FileNameEdit() const;

    const bool FIsSaveDialog;
    TOpenOptions FOptions = {TOpenOption::HideReadOnly, TOpenOption::ShareAware};
    QString FFileName;
};
