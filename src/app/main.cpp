#include "app/MainForm.h"
#include "app/SessionEnvironment.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char* argv[]) {
    const TSessionEnvironment session;
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quarn IFS"));
    QApplication::setDesktopFileName(QStringLiteral("quarn-ifs"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/quarn-ifs.svg")));
    TMainForm mainForm;
    mainForm.show();
    mainForm.OpenAfterStartUp(QApplication::arguments().mid(1));
    return QApplication::exec();
}
