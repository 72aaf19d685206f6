#include "app/Messages.h"

#include "app/ApplicationTitle.h"

#include <QFontMetrics>
#include <QGridLayout>
#include <QSpacerItem>

#include <utility>

namespace {
TMessageHandler& Handler() {
    static TMessageHandler handler;
    return handler;
}

// Room for the title in a window manager's bold title font, and for its buttons.
int MinimumBoxWidth(const QMessageBox& box) {
    QFont title = box.font();
    title.setBold(true);
    return QFontMetrics(title).horizontalAdvance(box.windowTitle()) * 3 / 2 + 120;
}

void Show(QWidget* parent, QMessageBox::Icon icon, const QString& text) {
    if (Handler()) {
        Handler()(parent, icon, text);
        return;
    }
    QMessageBox box(icon, ApplicationTitle().trimmed(), text, QMessageBox::Ok, parent);
    // A box as narrow as a one-word text leaves the window manager no room for its title.
    if (auto* grid = qobject_cast<QGridLayout*>(box.layout()))
        grid->addItem(new QSpacerItem(MinimumBoxWidth(box), 0, QSizePolicy::Minimum),
                      grid->rowCount(), 0, 1, grid->columnCount());
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
