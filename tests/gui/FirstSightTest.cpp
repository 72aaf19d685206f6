#include "GuiTestSupport.h"

#include "app/AboutBox.h"
#include "app/SessionEnvironment.h"
#include "image/view/PGImage.h"
#include "tools/Form2.h"
#include "tools/Form4.h"
#include "tools/XYSize.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QRadioButton>
#include <QScrollBar>
#include <QStatusBar>
#include <QTest>

#include <cstdlib>
#include <filesystem>
#include <sys/stat.h>

// What a new user sees first: the whole first picture, usable documents after Cascade, every
// caption whole.
class FirstSightTest : public QObject {
    Q_OBJECT

private slots:
    void theFirstDocumentShowsItsWholePicture();
    void cascadeKeepsTheDocumentsSizes();
    void readoutPanelsKeepTheirWidths();
    void everyCaptionFitsItsControl();
    void theDestroyBoxLeavesRoomForItsTitle();
    void aPlainXSessionGetsABusAndARuntimeFolderThatDoNotOutliveTheProgram();

private:
    TRecordedMessages FMessages;
};

namespace {

// Runs the frame until its first document has rendered a little, then stops it.
void StartFirstDocument(TMainForm& frame, TMDIChild*& document) {
    TScript script(frame, {[&] {
                       if (frame.Documents().isEmpty())
                           return false;
                       document = frame.Documents().first();
                       return document->Document().Params().StepCount >
                              TFractalEngine::FirstPlotStep;
                   }});
    RUN_SCRIPT(script);
}

bool Contains(const QRect& outer, const QRect& inner) {
    return outer.contains(inner.topLeft()) && outer.contains(inner.bottomRight());
}

} // namespace

void FirstSightTest::theFirstDocumentShowsItsWholePicture() {
    TMainForm frame;
    frame.show();
    TMDIChild* document = nullptr;
    StartFirstDocument(frame, document);
    QVERIFY(document);
    QMdiSubWindow* window = frame.ClientArea->subWindowList().first();
    // The window follows its picture: client 424 x 344 for the view's 404 x 304, inside the
    // frame's document area.
    QCOMPARE(document->size(), QSize(424, 344));
    QVERIFY(Contains(frame.ClientArea->viewport()->rect(), window->geometry()));
    // No scroll bar hides any of the 400 x 300 picture.
    QVERIFY(!document->PGImage1()->horizontalScrollBar()->isVisible());
    QVERIFY(!document->PGImage1()->verticalScrollBar()->isVisible());
    QVERIFY(document->PGImage1()->viewport()->width() >= 400);
    QVERIFY(document->PGImage1()->viewport()->height() >= 300);
    // Larger than the stated 426 x 333, never larger than the screen.
    QVERIFY(frame.width() > 426 && frame.height() > 333);
    QVERIFY(frame.width() <= frame.screen()->availableGeometry().width());

    // Documents that reach past the frame's edge can be scrolled to.
    QCOMPARE(frame.ClientArea->horizontalScrollBarPolicy(), Qt::ScrollBarAsNeeded);
    QCOMPARE(frame.ClientArea->verticalScrollBarPolicy(), Qt::ScrollBarAsNeeded);
    window->move(frame.ClientArea->viewport()->width() - 40, 0);
    QTRY_VERIFY(frame.ClientArea->horizontalScrollBar()->isVisible());
}

void FirstSightTest::cascadeKeepsTheDocumentsSizes() {
    TMainForm frame;
    frame.resize(900, 700);
    frame.show();
    TMDIChild* first = nullptr;
    StartFirstDocument(frame, first);
    QVERIFY(first);
    // A newer document's run holds the older ones where they are, so each must have plotted
    // before the next one starts.
    const auto plotted = [&](int documents) {
        TScript script(frame, {[&] {
                           for (TMDIChild* document : frame.Documents())
                               if (document->Document().Params().StepCount <=
                                   TFractalEngine::FirstPlotStep)
                                   return false;
                           return frame.Documents().size() == documents;
                       }});
        RUN_SCRIPT(script);
    };
    frame.FileNewItemClick();
    plotted(2);
    frame.FileNewItemClick();
    plotted(3);
    const QList<QMdiSubWindow*> windows = frame.ClientArea->subWindowList();
    QCOMPARE(windows.size(), 3);
    QList<QSize> before;
    for (QMdiSubWindow* window : windows)
        before << window->size();

    frame.WindowCascadeItemClick();
    QList<QPoint> positions;
    for (int i = 0; i < windows.size(); ++i) {
        QCOMPARE(windows[i]->size(), before[i]);
        QCOMPARE(qobject_cast<TMDIChild*>(windows[i]->widget())->size(), QSize(424, 344));
        positions << windows[i]->pos();
    }
    // Still the platform's cascade: every window starts further right and lower.
    for (int i = 1; i < positions.size(); ++i)
        QVERIFY(positions[i].x() != positions[i - 1].x() &&
                positions[i].y() != positions[i - 1].y());
}

void FirstSightTest::readoutPanelsKeepTheirWidths() {
    TMainForm frame;
    frame.show();
    TMDIChild* document = nullptr;
    StartFirstDocument(frame, document);
    QVERIFY(document);
    QMdiSubWindow* window = frame.ClientArea->subWindowList().first();
    // A picture narrower than the three panels: the window follows it, the panels do not.
    window->resize(window->size() - document->size() + QSize(220, 340));
    QTRY_COMPARE(document->width(), 220);
    QCOMPARE(document->StatusPanel(0)->width(), 150);
    QCOMPARE(document->StatusPanel(1)->width(), 150);
    QCOMPARE(document->StatusPanel(2)->width(), 120);
    QCOMPARE(document->StatusBar1()->width(), 220);
}

void FirstSightTest::everyCaptionFitsItsControl() {
    TMainForm frame;
    // The two value labels of the Parameters window show numbers whenever the window is seen.
    frame.Form4->Factor1->setText(QStringLiteral("64.00"));
    frame.Form4->Factor2->setText(QStringLiteral("0.25"));
    const QList<QWidget*> windows = {frame.Form2, frame.Form4, frame.XYSize, frame.AboutBox};
    QStringList tooWide;
    int checked = 0;
    for (QWidget* window : windows) {
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        const auto report = [&](const QWidget* control, const QString& text, int needed) {
            ++checked;
            if (needed > control->width())
                tooWide << QStringLiteral("%1 \"%2\": %3 > %4")
                               .arg(window->objectName(), text)
                               .arg(needed)
                               .arg(control->width());
        };
        for (const QLabel* label : window->findChildren<QLabel*>()) {
            if (label->text().isEmpty() || label->wordWrap() || !label->isVisibleTo(window))
                continue;
            report(label, label->text(), label->sizeHint().width());
            // Nor may the text run under the field beside it.
            const QRect text(label->pos(), QSize(label->sizeHint().width(), label->height()));
            for (const QWidget* sibling :
                 label->parentWidget()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
                if (sibling == label || qobject_cast<const QLabel*>(sibling) ||
                    qobject_cast<const QGroupBox*>(sibling) || !sibling->isVisibleTo(window))
                    continue;
                // A check box or radio button covers only its indicator and caption.
                const QRect covered =
                    qobject_cast<const QAbstractButton*>(sibling)
                        ? QRect(sibling->pos(), sibling->sizeHint().boundedTo(sibling->size()))
                        : sibling->geometry();
                if (text.intersects(covered))
                    tooWide << QStringLiteral("%1 \"%2\" runs under %3")
                                   .arg(window->objectName(), label->text(),
                                        sibling->metaObject()->className());
            }
        }
        for (const QCheckBox* box : window->findChildren<QCheckBox*>())
            report(box, box->text(), box->sizeHint().width());
        for (const QRadioButton* button : window->findChildren<QRadioButton*>())
            report(button, button->text(), button->sizeHint().width());
        for (const QGroupBox* group : window->findChildren<QGroupBox*>())
            if (!group->title().isEmpty())
                // The title sits inside the frame, indented from both edges.
                report(group, group->title(),
                       group->fontMetrics().horizontalAdvance(group->title()) + 16);
        window->hide();
    }
    QVERIFY(checked > 40);
    QVERIFY2(tooWide.isEmpty(), qPrintable(tooWide.join(QStringLiteral("\n"))));
}

void FirstSightTest::theDestroyBoxLeavesRoomForItsTitle() {
    const TMessageHandler recording = SetMessageHandler(nullptr);
    int width = 0;
    QString title;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        QVERIFY(box);
        width = box->width();
        title = box->windowTitle();
        box->accept();
    });
    ShowMessage(nullptr, QStringLiteral("destroy"));
    SetMessageHandler(recording);
    QVERIFY(!title.isEmpty());
    QFont bold;
    bold.setBold(true);
    QVERIFY(width >= QFontMetrics(bold).horizontalAdvance(title) + 120);
}

void FirstSightTest::aPlainXSessionGetsABusAndARuntimeFolderThatDoNotOutliveTheProgram() {
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    const QByteArray bus = qgetenv("DBUS_SESSION_BUS_ADDRESS");
    unsetenv("XDG_RUNTIME_DIR");
    unsetenv("DBUS_SESSION_BUS_ADDRESS");
    std::filesystem::path folder;
    {
        const TSessionEnvironment session;
        folder = session.RuntimeFolder();
        QVERIFY(!folder.empty());
        QCOMPARE(QByteArray(std::getenv("XDG_RUNTIME_DIR")), QByteArray(folder.c_str()));
        struct stat status {};
        QCOMPARE(stat(folder.c_str(), &status), 0);
        QCOMPARE(status.st_mode & 0777, 0700u);
        QCOMPARE(QByteArray(std::getenv("DBUS_SESSION_BUS_ADDRESS")), QByteArray("disabled:"));
    }
    QVERIFY(!std::filesystem::exists(folder));
    QVERIFY(std::getenv("XDG_RUNTIME_DIR") == nullptr);

    // A real session keeps its own.
    setenv("XDG_RUNTIME_DIR", "/run/user/1000", 1);
    setenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/run/user/1000/bus", 1);
    {
        const TSessionEnvironment session;
        QVERIFY(session.RuntimeFolder().empty());
        QCOMPARE(QByteArray(std::getenv("XDG_RUNTIME_DIR")), QByteArray("/run/user/1000"));
        QCOMPARE(QByteArray(std::getenv("DBUS_SESSION_BUS_ADDRESS")),
                 QByteArray("unix:path=/run/user/1000/bus"));
    }
    QCOMPARE(QByteArray(std::getenv("XDG_RUNTIME_DIR")), QByteArray("/run/user/1000"));
    runtime.isNull() ? unsetenv("XDG_RUNTIME_DIR") : qputenv("XDG_RUNTIME_DIR", runtime);
    bus.isNull() ? unsetenv("DBUS_SESSION_BUS_ADDRESS") : qputenv("DBUS_SESSION_BUS_ADDRESS", bus);
}

QTEST_MAIN(FirstSightTest)
#include "FirstSightTest.moc"
