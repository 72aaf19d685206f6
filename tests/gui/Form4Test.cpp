#include "GuiTestSupport.h"

#include "engine/ParameterSettings.h"
#include "tools/Form4.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QSignalSpy>
#include <QSlider>
#include <QTest>
#include <QToolButton>

class Form4Test : public QObject {
    Q_OBJECT

private slots:
    void layoutFollowsTheTable();
    void debounceAppliesOnTheSecondTick();
    void carriesEverySettingBothWays();
    void loadsAndAppliesTheActiveDocument();
    void changesWithoutADocumentAreDropped();

private:
    static QStringList CheckedBoxes(const TForm4& window);
    static QWidget* NextTabStop(QWidget* widget);

    TRecordedMessages FMessages;
};

QStringList Form4Test::CheckedBoxes(const TForm4& window) {
    QStringList names;
    for (const QCheckBox* box : window.findChildren<QCheckBox*>())
        if (box->isChecked())
            names << box->text();
    names.sort();
    return names;
}

QWidget* Form4Test::NextTabStop(QWidget* widget) {
    do
        widget = widget->nextInFocusChain();
    while (!(widget->focusPolicy() & Qt::TabFocus));
    return widget;
}

void Form4Test::layoutFollowsTheTable() {
    TForm4 window;
    QCOMPARE(window.windowTitle(), QStringLiteral("Parameters"));
    QCOMPARE(window.size(), QSize(252, 463));
    QCOMPARE(window.pos(), QPoint(591, 175));
    QCOMPARE(window.findChildren<QCheckBox*>().size(), 21);
    QCOMPARE(window.Intensity->maximum(), 64);
    QCOMPARE(window.Probability->maximum(), 50);
    QCOMPARE(window.RedBar1->maximum(), 10);
    QCOMPARE(window.Intensity->orientation(), Qt::Vertical);
    QCOMPARE(window.BluBar1->geometry(), QRect(8, 80, 113, 25));
    QCOMPARE(window.Probability->geometry(), QRect(216, 336, 25, 113));
    // Inside a group box positions count from the box; the first Latoocarfian box sits over it.
    QCOMPARE(window.AT_02->parentWidget(), window.CoolGroupBox3);
    QCOMPARE(window.AT_02->geometry(), QRect(8, 40, 89, 17));
    QCOMPARE(window.Latoocarfian01->parentWidget(), &window);
    QCOMPARE(window.CoolGroupBox1->title(), QStringLiteral("Lattoocarfian"));
    QCOMPARE(window.AT_01->text(), QStringLiteral("CIF 01"));
    QCOMPARE(window.Linear->text(), QStringLiteral("Rotational"));
    QCOMPARE(window.square_root->text(), QStringLiteral("Cube Root Filtering"));
    QCOMPARE(window.Factor2->text(), QStringLiteral("Probability"));
    QVERIFY(CheckedBoxes(window).isEmpty());
    QCOMPARE(window.ColorTimer->interval(), 250);
    QVERIFY(!window.ColorTimer->isActive());

    // Tab order: the colour bars, the maps, then intensity and the filter.
    QCOMPARE(NextTabStop(window.BluBar1), window.Latoocarfian01);
    QCOMPARE(NextTabStop(window.Latoocarfian01), window.L_Rotation01);
    QCOMPARE(NextTabStop(window.AT_Rotation02), window.Intensity);
    QCOMPARE(NextTabStop(window.Intensity), window.square_root);
    QCOMPARE(NextTabStop(window.Bent), window.Probability);
    QCOMPARE(NextTabStop(window.Probability), window.Invert);
}

void Form4Test::debounceAppliesOnTheSecondTick() {
    TForm4 window;
    QSignalSpy applied(&window, &TForm4::UpdateColorsRequested);
    window.RedBar1->setValue(3);
    QVERIFY(window.ColorTimer->isActive());
    QCOMPARE(window.ChangeCount, 0);
    window.ColorTimerTimer();
    QCOMPARE(window.ChangeCount, 1);
    // A change while waiting arms the timer again.
    window.Swirl->click();
    QCOMPARE(window.ChangeCount, 0);
    window.ColorTimerTimer();
    QCOMPARE(applied.size(), 0);
    window.ColorTimerTimer();
    QCOMPARE(applied.size(), 1);
    QVERIFY(!window.ColorTimer->isActive());
    QCOMPARE(window.ChangeCount, 0);

    // Loading a box is silent; a bar set to the position it has is no change.
    window.Bent->setChecked(true);
    window.RedBar1->setValue(3);
    QVERIFY(!window.ColorTimer->isActive());

    // Through the real timer: two clicks within a period apply once, with the final state.
    window.Swirl->click();
    window.Swirl->click();
    QTRY_COMPARE(applied.size(), 2);
    QTest::qWait(600);
    QCOMPARE(applied.size(), 2);
}

// Each flag of the engine's table alone, through the window and back into a block whose flags
// are all set: a box bound to the wrong field, or to none, shows here.
void Form4Test::carriesEverySettingBothWays() {
    TForm4 window;
    for (const TFlagSetting& setting : FlagSettings) {
        TFractalParams shown;
        TFractalParams stored;
        for (const TFlagSetting& other : FlagSettings) {
            shown.*other.Field = &other == &setting ? BoolTrue : BoolFalse;
            stored.*other.Field = BoolTrue;
        }
        window.LoadSettings(shown);
        window.StoreSettings(stored);
        for (const TFlagSetting& other : FlagSettings)
            QVERIFY2(stored.*other.Field == shown.*other.Field,
                     qPrintable(QString::fromLatin1(setting.Name.data(), setting.Name.size())));
    }

    TFractalParams shown;
    shown.RedFactor = 0.3;
    shown.GreenFactor = 0.6;
    shown.BlueFactor = 1.0;
    shown.Intensity = 17;
    shown.VariationWeight = 0.13;
    window.LoadSettings(shown);
    QCOMPARE(window.BluBar1->value(), 10);
    QCOMPARE(window.Probability->value(), 26);
    TFractalParams stored;
    for (const TFactorSetting& setting : FactorSettings)
        stored.*setting.Field = 0.0;
    window.StoreSettings(stored);
    for (const TFactorSetting& setting : FactorSettings)
        QCOMPARE(stored.*setting.Field, shown.*setting.Field);
    QCOMPARE(
        QStringList({window.RedLabel1->text(), window.GrnLabel1->text(), window.BluLabel1->text(),
                     window.Factor1->text(), window.Factor2->text()}),
        QStringList({"0.30", "0.60", "1.00", "17.00", "0.13"}));
}

void Form4Test::loadsAndAppliesTheActiveDocument() {
    TMainForm frame;
    frame.show();
    TForm4& window = *frame.Form4;
    QList<int> bars;
    QStringList labels;
    QStringList checked;
    bool shown = false;
    bool hiddenBySecondPress = false;
    double redAfterMove = 0;
    QString redLabelAfterMove;
    TFractalParams firstAfterSwirl;
    QStringList checkedForSecond;
    TScript script(frame, {WaitUntilRunning(frame),
                           [&] {
                               frame.CoolSpeedButton5->click();
                               shown = window.isVisible();
                               bars = {window.RedBar1->value(), window.GrnBar1->value(),
                                       window.BluBar1->value(), window.Intensity->value(),
                                       window.Probability->value()};
                               labels =
                                   QStringList{window.RedLabel1->text(), window.GrnLabel1->text(),
                                               window.BluLabel1->text(), window.Factor1->text(),
                                               window.Factor2->text()};
                               checked = CheckedBoxes(window);
                               window.RedBar1->setValue(3);
                               return true;
                           },
                           [&] { return !window.ColorTimer->isActive(); },
                           [&] {
                               const TMDIChild* document = frame.Documents().first();
                               redAfterMove = document->Document().Params().RedFactor;
                               redLabelAfterMove = window.RedLabel1->text();
                               window.Swirl->click();
                               return true;
                           },
                           [&] { return !window.ColorTimer->isActive(); },
                           [&] {
                               firstAfterSwirl = frame.Documents().first()->Document().Params();
                               frame.FileNewItemClick();
                               return true;
                           },
                           WaitUntilRunning(frame, 1),
                           [&] {
                               frame.CoolSpeedButton5->click();
                               hiddenBySecondPress = !window.isVisible();
                               frame.CoolSpeedButton5->click();
                               checkedForSecond = CheckedBoxes(window);
                               return true;
                           },
                           // Let the reload's own application run: it writes back what it read.
                           [&] { return !window.ColorTimer->isActive(); }});
    RUN_SCRIPT(script);

    QVERIFY(shown);
    QCOMPARE(bars, QList<int>({7, 8, 9, 40, 10}));
    QCOMPARE(labels, QStringList({"0.70", "0.80", "0.90", "40.00", "0.05"}));
    QCOMPARE(checked, QStringList({"Cube Root Filtering", "IFS 01"}));
    QCOMPARE(redAfterMove, 0.3);
    QCOMPARE(redLabelAfterMove, QStringLiteral("0.30"));
    QVERIFY(firstAfterSwirl.UseSwirl != BoolFalse);
    QCOMPARE(firstAfterSwirl.GreenFactor, 0.8);
    QCOMPARE(firstAfterSwirl.Intensity, 40.0);
    QCOMPARE(firstAfterSwirl.VariationWeight, 0.05);
    QVERIFY(hiddenBySecondPress);
    QCOMPARE(checkedForSecond, QStringList({"Cube Root Filtering", "IFS 01"}));
    const QList<TMDIChild*> documents = frame.Documents();
    QCOMPARE(documents[1]->Document().Params().UseSwirl, BoolFalse);
    QCOMPARE(documents[1]->Document().Params().RedFactor, 0.7);
    QVERIFY(documents[0]->Document().Params().UseSwirl != BoolFalse);
    QCOMPARE(documents[0]->Document().Params().RedFactor, 0.3);
}

void Form4Test::changesWithoutADocumentAreDropped() {
    TMainForm frame;
    frame.Timer1->stop();
    frame.Form4->Probability->setValue(50);
    QTRY_VERIFY(!frame.Form4->ColorTimer->isActive());
    QVERIFY(frame.Documents().isEmpty());
    QCOMPARE(frame.Form4->Factor2->text(), QStringLiteral("Probability"));

    // With a document, the same position is a weight of 0.25.
    TMDIChild* document = frame.CreateDocumentWindow(QStringLiteral("Quarn IFS: 1"));
    document->Timer1()->stop();
    frame.UpdateColors();
    QCOMPARE(document->Document().Params().VariationWeight, 0.25);
    QCOMPARE(frame.Form4->Factor2->text(), QStringLiteral("0.25"));
}

QTEST_MAIN(Form4Test)
#include "Form4Test.moc"
