#include "GuiTestSupport.h"

#include "engine/FractalEngine.h"
#include "engine/HitColor.h"
#include "image/PixelGraphic.h"
#include "tools/Form4.h"

#include <QCheckBox>
#include <QSlider>
#include <QTest>
#include <QToolButton>

#include <cmath>
#include <string>
#include <vector>

namespace {

std::string PictureBytes(const TPixelGraphic& picture) {
    std::string bytes;
    for (int row = 0; row < picture.Height(); ++row)
        bytes.append(reinterpret_cast<const char*>(picture.ScanLine(row)),
                     static_cast<std::size_t>(picture.Width()) * 3);
    return bytes;
}

// Something the window did between two engine passes: showed its picture at a display tick, or
// took new colour settings from the Parameters window.
struct TWindowEvent {
    bool Tick = false;
    std::int32_t StepCount = 0;
    double FirstCoefficient = 0.0; // tells the coefficient sets apart
    std::string Picture;           // a tick's
    TFractalParams Settings;       // a change's
};

// The picture colouring at every hit gives: the same run in an engine of its own, each plotted
// pixel coloured right after its pass, the window's setting changes applied at the passes the
// window applied them. Returns the ticks whose pictures differ from the window's.
int TicksThatDiffer(TFractalParams params, std::uint32_t firstClock,
                    const std::vector<TWindowEvent>& events, int& compared) {
    TFractalEngine engine;
    std::uint32_t draws = 0;
    engine.SetClock([&] { return firstClock + 7u * draws++; });
    TPixelGraphic picture;
    picture.SetSize(params.ImageWidth, params.ImageHeight, bc24Bit);
    params.Image = &picture;
    params.NewCoefficients = BoolTrue;
    params.AbortRequested = BoolFalse;
    bool plotting = false;
    std::size_t next = 0;
    int differing = 0;
    const auto colour = [&](int column, int row) {
        const int group = engine.LatestGroup(column, row);
        if (group != TFractalEngine::NoGroup)
            picture.SetPixel(column, row,
                             HitColor(params, engine.HitCounters(column, row).data(), group));
    };
    engine.SetPassHook([&] {
        if (params.StepCount < TFractalEngine::FirstPlotStep) {
            plotting = false;
            return;
        }
        if (!plotting) {
            // The set's first plotting pass: the clear and the shadow's hit came with it.
            for (int column = 0; column < params.ImageWidth; ++column)
                for (int row = 0; row < params.ImageHeight; ++row)
                    colour(column, row);
            plotting = true;
        } else {
            const double x = (engine.X() - params.ViewXMin) / (params.ViewXMax - params.ViewXMin);
            const double y = (engine.Y() - params.ViewYMin) / (params.ViewYMax - params.ViewYMin);
            const double column = std::nearbyint(x * params.ImageWidth);
            const double row = std::nearbyint(y * params.ImageHeight);
            if (engine.X() > params.ViewXMin && engine.Y() > params.ViewYMin && column >= 0 &&
                column < params.ImageWidth && row >= 0 && row < params.ImageHeight)
                colour(static_cast<int>(column), static_cast<int>(row));
        }
        for (; next < events.size() && events[next].StepCount == params.StepCount &&
               events[next].FirstCoefficient == params.Coef(1);
             ++next) {
            const TWindowEvent& event = events[next];
            if (event.Tick) {
                ++compared;
                differing += PictureBytes(picture) != event.Picture;
                continue;
            }
            params.Intensity = event.Settings.Intensity;
            params.RedFactor = event.Settings.RedFactor;
            params.GreenFactor = event.Settings.GreenFactor;
            params.BlueFactor = event.Settings.BlueFactor;
            params.RootFilter = event.Settings.RootFilter;
            params.WhiteBackground = event.Settings.WhiteBackground;
        }
        if (next == events.size())
            params.AbortRequested = BoolTrue;
    });
    engine.RunFractal(&params);
    return differing + static_cast<int>(events.size() - next);
}

} // namespace

class LiveColourTest : public QObject {
    Q_OBJECT

private slots:
    void picturesAtEveryTickAreThoseOfColouringAtEveryHit();

private:
    TRecordedMessages FMessages;
};

void LiveColourTest::picturesAtEveryTickAreThoseOfColouringAtEveryHit() {
    constexpr std::uint32_t FirstClock = 30000000;
    TMainForm frame;
    std::uint32_t draws = 0;
    frame.Session().SetDrawClock([&draws] { return FirstClock + 7u * draws++; });
    frame.show();
    TForm4& form = *frame.Form4;
    TFractalParams start;
    std::vector<TWindowEvent> events;
    bool recording = false;
    int ticks = 0;
    int applied = 0;
    const auto record = [&](bool tick) {
        const TMDIChild* document = frame.Documents().first();
        const TFractalParams& params = document->Document().Params();
        if (!recording || params.StepCount < TFractalEngine::FirstPlotStep)
            return;
        TWindowEvent event{tick, params.StepCount, params.Coef(1), {}, params};
        if (tick)
            event.Picture = PictureBytes(*document->PGImage1()->PixelGraphic());
        events.push_back(std::move(event));
        ticks += tick;
        applied += !tick;
    };
    // Each change waits for the one before to be applied: changes within the Parameters
    // window's debounce would be applied together.
    const auto afterTicks = [&](int count, auto change) {
        return [&ticks, &applied, count, change] {
            if (ticks < count || applied < count / 2 - 1)
                return false;
            change();
            return true;
        };
    };
    TScript script(
        frame,
        {WaitUntilRunning(frame),
         [&] {
             TMDIChild* document = frame.Documents().first();
             start = document->Document().Params();
             // Each display tick ends by setting the caption; the settings apply through the
             // frame, whose handler runs before this one.
             connect(document, &QWidget::windowTitleChanged, this, [&] { record(true); });
             connect(&form, &TForm4::UpdateColorsRequested, this, [&] { record(false); });
             frame.CoolSpeedButton5->click();
             recording = true;
             return true;
         },
         afterTicks(2, [&] { form.RedBar1->setValue(3); }),
         afterTicks(4, [&] { form.square_root->click(); }),
         afterTicks(6, [&] { form.Intensity->setValue(9); }),
         afterTicks(8, [&] { form.Invert->click(); }),
         afterTicks(10, [&] { form.BluBar1->setValue(10); }),
         [&] {
             recording = ticks < 12 || applied < 5;
             return !recording;
         }},
        60000);
    RUN_SCRIPT(script);

    std::vector<const std::string*> pictures;
    for (const TWindowEvent& event : events)
        if (event.Tick)
            pictures.push_back(&event.Picture);
    const auto changes = static_cast<int>(events.size() - pictures.size());
    QVERIFY2(changes >= 5, qPrintable(QStringLiteral("%1 changes").arg(changes)));
    QCOMPARE(events.back().Settings.WhiteBackground, BoolTrue);
    QVERIFY(*pictures.front() != *pictures.back());
    int compared = 0;
    QCOMPARE(TicksThatDiffer(start, FirstClock, events, compared), 0);
    QCOMPARE(compared, ticks);
}

QTEST_MAIN(LiveColourTest)
#include "LiveColourTest.moc"
