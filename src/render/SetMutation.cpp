#include "render/SetMutation.h"

#include "engine/PhiloxStream.h"

#include <algorithm>
#include <cmath>

TParameterFile TMutation::Variant(int number) const {
    TParameterFile variant = Centre;
    if (number == 0)
        return variant;
    TPhiloxStream steps(Seed, static_cast<std::uint32_t>(number));
    for (int k = 1; k <= 120; ++k)
        variant.Params.Coef(k) += Strength * (2.0 * steps.Next() - 1.0);
    return variant;
}

TRenderSettings TMutation::Screening(int number, int width, int height, double density) const {
    TRenderSettings settings = RenderSettingsOf(Variant(number));
    settings.Width = width;
    settings.Height = height;
    settings.Steps = std::max<std::int64_t>(
        1, std::llround(density * static_cast<double>(width) * static_cast<double>(height)));
    settings.Threads = 1;
    return settings;
}
