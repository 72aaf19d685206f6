#include "tools/Form4.h"

#include "engine/EngineMath.h"
#include "engine/FractalParams.h"

#include <QCheckBox>
#include <QLabel>
#include <QSlider>

#include <span>

// The window's side of the parameter block's settings: which control shows which field, and
// the two walks over them.
namespace {

// Position = rnd(factor x PositionsPerUnit); factor = position x UnitsPerPosition. Both are
// kept, since position x 0.1 and position / 10 are different doubles.
struct TTrackBarBinding {
    QSlider* TForm4::*Bar;
    QLabel* TForm4::*Label;
    double TFractalParams::*Factor;
    double PositionsPerUnit;
    double UnitsPerPosition;
};

constexpr TTrackBarBinding ColourBars[] = {
    {&TForm4::RedBar1, &TForm4::RedLabel1, &TFractalParams::RedFactor, 10, 0.1},
    {&TForm4::GrnBar1, &TForm4::GrnLabel1, &TFractalParams::GreenFactor, 10, 0.1},
    {&TForm4::BluBar1, &TForm4::BluLabel1, &TFractalParams::BlueFactor, 10, 0.1},
};

constexpr TTrackBarBinding FactorBars[] = {
    {&TForm4::Intensity, &TForm4::Factor1, &TFractalParams::Intensity, 1, 1},
    {&TForm4::Probability, &TForm4::Factor2, &TFractalParams::VariationWeight, 200, 0.005},
};

// Storing takes the map and rotation boxes first and the filter and variation boxes after the
// two factor bars.
enum class TStoreStep { MapsAndRotations, FiltersAndVariations };

struct TCheckBoxBinding {
    QCheckBox* TForm4::*Box;
    TBool32 TFractalParams::*Flag;
    TStoreStep Step;
};

// In the order of loading.
constexpr TCheckBoxBinding CheckBoxes[] = {
    {&TForm4::Latoocarfian01, &TFractalParams::UseLatoocarfian01, TStoreStep::MapsAndRotations},
    {&TForm4::Latoocarfian02, &TFractalParams::UseLatoocarfian02, TStoreStep::MapsAndRotations},
    {&TForm4::square_root, &TFractalParams::RootFilter, TStoreStep::FiltersAndVariations},
    {&TForm4::Invert, &TFractalParams::WhiteBackground, TStoreStep::FiltersAndVariations},
    {&TForm4::IFS_01, &TFractalParams::UseIFS01, TStoreStep::MapsAndRotations},
    {&TForm4::IFS_02, &TFractalParams::UseIFS02, TStoreStep::MapsAndRotations},
    {&TForm4::AT_01, &TFractalParams::UseAT01, TStoreStep::MapsAndRotations},
    {&TForm4::AT_02, &TFractalParams::UseAT02, TStoreStep::MapsAndRotations},
    {&TForm4::L_Rotation01, &TFractalParams::RotateL01, TStoreStep::MapsAndRotations},
    {&TForm4::L_Rotation02, &TFractalParams::RotateL02, TStoreStep::MapsAndRotations},
    {&TForm4::IFS_Rotation01, &TFractalParams::RotateIFS01, TStoreStep::MapsAndRotations},
    {&TForm4::IFS_Rotation02, &TFractalParams::RotateIFS02, TStoreStep::MapsAndRotations},
    {&TForm4::AT_Rotation01, &TFractalParams::RotateAT01, TStoreStep::MapsAndRotations},
    {&TForm4::AT_Rotation02, &TFractalParams::RotateAT02, TStoreStep::MapsAndRotations},
    {&TForm4::Linear, &TFractalParams::UseRotational, TStoreStep::FiltersAndVariations},
    {&TForm4::Sinusoidal, &TFractalParams::UseSinusoidal, TStoreStep::FiltersAndVariations},
    {&TForm4::Spherical, &TFractalParams::UseSpherical, TStoreStep::FiltersAndVariations},
    {&TForm4::Swirl, &TFractalParams::UseSwirl, TStoreStep::FiltersAndVariations},
    {&TForm4::Horseshoe, &TFractalParams::UseHorseshoe, TStoreStep::FiltersAndVariations},
    {&TForm4::Polar, &TFractalParams::UsePolar, TStoreStep::FiltersAndVariations},
    {&TForm4::Bent, &TFractalParams::UseBent, TStoreStep::FiltersAndVariations},
};

// The labels show the block's values, whichever way the settings went.
void ShowFactors(TForm4& window, std::span<const TTrackBarBinding> bars,
                 const TFractalParams& params) {
    for (const TTrackBarBinding& bar : bars)
        (window.*bar.Label)->setText(QString::asprintf("%.2f", params.*bar.Factor));
}

void LoadBars(TForm4& window, std::span<const TTrackBarBinding> bars,
              const TFractalParams& params) {
    for (const TTrackBarBinding& bar : bars)
        (window.*bar.Bar)->setValue(RoundToInt32(params.*bar.Factor * bar.PositionsPerUnit));
    ShowFactors(window, bars, params);
}

void StoreBars(TForm4& window, std::span<const TTrackBarBinding> bars, TFractalParams& params) {
    for (const TTrackBarBinding& bar : bars)
        params.*bar.Factor = (window.*bar.Bar)->value() * bar.UnitsPerPosition;
    ShowFactors(window, bars, params);
}

void StoreBoxes(const TForm4& window, TStoreStep step, TFractalParams& params) {
    for (const TCheckBoxBinding& box : CheckBoxes)
        if (box.Step == step)
            params.*box.Flag = (window.*box.Box)->isChecked() ? BoolTrue : BoolFalse;
}

} // namespace

void TForm4::LoadSettings(const TFractalParams& params) {
    LoadBars(*this, ColourBars, params);
    for (const TCheckBoxBinding& box : CheckBoxes)
        (this->*box.Box)->setChecked(params.*box.Flag != BoolFalse);
    LoadBars(*this, FactorBars, params);
}

void TForm4::StoreSettings(TFractalParams& params) {
    StoreBars(*this, ColourBars, params);
    StoreBoxes(*this, TStoreStep::MapsAndRotations, params);
    StoreBars(*this, FactorBars, params);
    StoreBoxes(*this, TStoreStep::FiltersAndVariations, params);
}

void TForm4::ToggleFor(const TFractalParams& params) {
    if (isVisible()) {
        hide();
        return;
    }
    LoadSettings(params);
    show();
}
