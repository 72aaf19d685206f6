#include "app/Messages.h"

#include "app/ApplicationTitle.h"

#include <utility>

namespace {
TMessageHandler& Handler() {
    static TMessageHandler handler;
    return handler;
}

void Show(QWidget* parent, QMessageBox::Icon icon, const QString& text) {
    if (Handler()) {
        Handler()(parent, icon, text);
        return;
    }
    QMessageBox box(icon, ApplicationTitle().trimmed(), text, QMessageBox::Ok, parent);
    box.exec();
}
} // namespace

TMessageHandler SetMessageHandler(TMessageHandler handler) {
    return std::exchange(Handler(), std::move(handler));
}

void ShowMessage(QWidget* parent, const QString& text) {
    Show(parent, QMessageBox::Information, text);
}

void ShowErrorMessage(QWidget* parent, const QString& text) {
    Show(parent, QMessageBox::Critical, text);
}
