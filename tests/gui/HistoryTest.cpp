#include "GuiTestSupport.h"

#include "engine/FractalEngine.h"
#include "image/view/PicBox.h"
#include "tools/Form4.h"

#include <QApplication>
#include <QSlider>
#include <QTest>
#include <QToolButton>

#include <bit>
#include <optional>

namespace {

// What a document shows: its set, view, size and the clock value its set was drawn from.
struct TShown {
    TFractalParams Params;
    TViewFit View;
    int Width = 0;
    int Height = 0;
    std::optional<std::uint32_t> Clock;
};

TShown Shown(TMainForm& frame, const TMDIChild& document) {
    const TFractalDocument& shown = document.Document();
    return {shown.Params(), shown.View(), shown.DocWidth(), shown.DocHeight(),
            frame.Session().DrawClockOf(shown.Params())};
}

bool SameBits(double a, double b) {
    return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}

// Empty when both show the same, bit for bit; else what differs.
QString Difference(const TShown& now, const TShown& recorded) {
    for (int k = 0; k <= 120; ++k)
        if (!SameBits(now.Params.RotationLimitAndCoef[k], recorded.Params.RotationLimitAndCoef[k]))
            return QStringLiteral("coefficient %1").arg(k);
    if (!SameBits(now.View.XCenter, recorded.View.XCenter) ||
        !SameBits(now.View.YCenter, recorded.View.YCenter) ||
        !SameBits(now.View.Magnification, recorded.View.Magnification))
        return QStringLiteral("view");
    if (now.Width != recorded.Width || now.Height != recorded.Height)
        return QStringLiteral("size");
    if (now.Clock != recorded.Clock)
        return QStringLiteral("clock");
    return {};
}

} // namespace

class HistoryTest : public QObject {
    Q_OBJECT

private slots:
    void backAndForwardRestoreWhatWasShown();

private:
    TRecordedMessages FMessages;
};

void HistoryTest::backAndForwardRestoreWhatWasShown() {
    TMainForm frame;
    int draws = 0;
    frame.Session().SetDrawClock([&draws] { return 5000u + 7u * draws++; });
    // Every run stops by itself soon after its set is accepted: a set whose orbit escapes later
    // would be replaced by a new one, an entry no step of this test made.
    frame.Session().Engine().SetStepLimit(TFractalEngine::FirstPlotStep + 20000);
    frame.resize(900, 700);
    frame.show();
    frame.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&frame));

    TMDIChild* document = nullptr;
    int runs = 0;
    // The history's position when the last run started.
    std::size_t startedAt = 0;
    std::vector<TShown> recorded;
    QStringList faults;
    const auto entries = [&] { return document->Document().History().Size(); };
    const auto position = [&] { return document->Document().History().Position(); };
    // Records what is shown once the history holds `count` entries, then does `next`.
    const auto recordAt = [&](std::size_t count, std::function<void()> next) {
        return [&, count, next] {
            if (entries() < count)
                return false;
            if (entries() > count)
                faults << QStringLiteral("%1 entries instead of %2").arg(entries()).arg(count);
            recorded.push_back(Shown(frame, *document));
            next();
            return true;
        };
    };
    // A step that presses a key and one that waits for its restart and compares.
    int runsBefore = 0;
    const auto key = [&](Qt::Key pressed) {
        return [&, pressed] {
            // The Parameters window takes the focus when it opens; the user clicks back.
            if (QApplication::activeWindow() != &frame) {
                frame.activateWindow();
                return false;
            }
            runsBefore = runs;
            QTest::keyClick(QApplication::focusWidget(), pressed, Qt::AltModifier);
            return true;
        };
    };
    const auto restored = [&](std::size_t expected) {
        return [&, expected] {
            // A restart asked for before the restore may start after it.
            if (position() != expected || runs == runsBefore || startedAt != expected)
                return false;
            const QString difference = Difference(Shown(frame, *document), recorded[expected]);
            if (!difference.isEmpty())
                faults << QStringLiteral("entry %1: %2").arg(expected).arg(difference);
            if (frame.Form4->RedBar1->value() != 7)
                faults << QStringLiteral("entry %1: the Parameters window shows red %2")
                              .arg(expected)
                              .arg(frame.Form4->RedBar1->value());
            const bool back = expected > 0;
            const bool forward = expected + 1 < entries();
            if (document->Back1()->isEnabled() != back ||
                document->Forward1()->isEnabled() != forward)
                faults
                    << QStringLiteral("entry %1: Back and Forward enabled wrongly").arg(expected);
            return true;
        };
    };
    const auto draw = [&] { frame.DrawBtnClick(); };
    const auto box = [&] { return document->PGImage1()->PicBox(); };
    int drawsBeforeBack = 0;

    std::vector<TScript::TStep> steps = {
        [&] {
            if (frame.Documents().isEmpty())
                return false;
            document = frame.Documents().first();
            connect(document, &TMDIChild::RunStarted, this, [&] {
                ++runs;
                startedAt = position();
            });
            document->PGImage1()->setFocus();
            return true;
        },
        recordAt(1, draw),
        recordAt(2, draw),
        recordAt(3, draw),
        recordAt(4,
                 [&] {
                     // The user's zoom: a rectangle dragged, then a double click inside it.
                     QTest::mousePress(box(), Qt::LeftButton, {}, {150, 100});
                     QTest::mouseMove(box(), {250, 180});
                     QTest::mouseRelease(box(), Qt::LeftButton, {}, {250, 180});
                     QTest::mouseDClick(box(), Qt::LeftButton, {}, {200, 140});
                 }),
        recordAt(5,
                 [&] {
                     if (document->Back1()->isEnabled() != true ||
                         document->Forward1()->isEnabled() != false)
                         faults << QStringLiteral("at the last entry");
                     // The Parameters window, open, with a colour the entries do not have.
                     frame.CoolSpeedButton5->click();
                     frame.Form4->RedBar1->setValue(2);
                     drawsBeforeBack = draws;
                     runsBefore = runs;
                     document->Back1()->trigger();
                 }),
        restored(3),
        key(Qt::Key_Right),
        restored(4)};
    for (std::size_t back = 4; back-- > 0;) {
        steps.push_back(key(Qt::Key_Left));
        steps.push_back(restored(back));
    }
    steps.push_back([&] {
        // Refused at the first entry: no restart follows.
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Left, Qt::AltModifier);
        if (position() != 0)
            faults << QStringLiteral("Back went beyond the first entry");
        return true;
    });
    steps.push_back(key(Qt::Key_Right));
    steps.push_back(restored(1));
    steps.push_back([&] {
        if (draws != drawsBeforeBack)
            faults << QStringLiteral("a restore drew a set");
        draw();
        return true;
    });
    // A new set after Back: the entries ahead are gone.
    steps.push_back([&] { return entries() == 3 && position() == 2; });
    TScript script(frame, steps);
    RUN_SCRIPT(script);
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join('\n')));
    QVERIFY2(FMessages.Texts.isEmpty(), qPrintable(FMessages.Texts.join('\n')));
    QCOMPARE(recorded.size(), std::size_t{5});
    // The zoom kept the fourth set and changed the view.
    QVERIFY(Difference(recorded[4], recorded[3]) == QStringLiteral("view"));
    QVERIFY(!document->Forward1()->isEnabled());
}

QTEST_MAIN(HistoryTest)
#include "HistoryTest.moc"
