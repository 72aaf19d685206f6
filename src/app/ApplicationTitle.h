#pragma once

#include <QString>

// The application title is more than a label: the frame sets it to "NEW" when it asks for a
// new document, and that document's first showing reads it to decide whether to give the
// picture its default size, then sets it back to the normal title.
inline const QString NewDocumentTitle = QStringLiteral("NEW");
inline const QString NormalTitle = QStringLiteral("Quarn IFS ");

QString ApplicationTitle();
void SetApplicationTitle(const QString& title);
