#include "document/ParameterFileDialog.h"

#include <QCoreApplication>
#include <QFileDialog>

namespace {
QString ParametersFilter() {
    return QCoreApplication::translate("TParameterFileDialog", "Quarn parameters (*.quarn.json)");
}
} // namespace

QString TParameterFileDialog::SaveFileName(QWidget* parent) {
    QFileDialog dialog(parent,
                       QCoreApplication::translate("TParameterFileDialog", "Save Parameters"),
                       QString(), ParametersFilter());
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("quarn.json"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

QStringList TParameterFileDialog::OpenFileNames(QWidget* parent) {
    QFileDialog dialog(parent, QCoreApplication::translate("TParameterFileDialog", "Open"),
                       QString(),
                       ParametersFilter() + QStringLiteral(";;") +
                           QCoreApplication::translate("TParameterFileDialog", "All files (*)"));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFiles);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return dialog.selectedFiles();
}
