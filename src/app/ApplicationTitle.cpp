#include "app/ApplicationTitle.h"

namespace {
QString& Title() {
    static QString title = NewDocumentTitle;
    return title;
}
} // namespace

QString ApplicationTitle() {
    return Title();
}

void SetApplicationTitle(const QString& title) {
    Title() = title;
}
