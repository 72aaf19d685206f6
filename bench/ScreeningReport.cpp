// The screening numbers over many random sets with the default settings: each set is drawn from
// its own seeded clock and measured as the gallery measures it (160 x 120 pixels at density 30,
// default view and fitted view, correlation dimension from 4000 orbit points). Prints the
// quantiles of each number and how many sets cover under 1 % of the frame.
//   ScreeningReport [SETS [MAPS]]   (default 1000 sets, maps ifs01)
#include "app/render/RenderOptions.h"
#include "render/SetScreening.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

void PrintQuantiles(const char* name, std::vector<double> values, std::size_t sets) {
    if (values.empty()) {
        std::printf("%-16s none of %zu sets\n", name, sets);
        return;
    }
    std::sort(values.begin(), values.end());
    const auto at = [&](double q) {
        return values[static_cast<std::size_t>(q * static_cast<double>(values.size() - 1))];
    };
    std::printf("%-16s min %7.4f  p10 %7.4f  p25 %7.4f  median %7.4f  p75 %7.4f  p90 %7.4f  "
                "max %7.4f  (%zu of %zu sets)\n",
                name, values.front(), at(0.1), at(0.25), at(0.5), at(0.75), at(0.9), values.back(),
                values.size(), sets);
}

} // namespace

int main(int argc, char** argv) {
    const int sets = argc > 1 ? std::stoi(argv[1]) : 1000;
    const std::string maps = argc > 2 ? argv[2] : "ifs01";
    std::vector<double> lyapunov, coverage, fitCoverage, dimension;
    int thin = 0, thinFitted = 0;
    for (int i = 0; i < sets; ++i) {
        // Seeds far apart: a seeded clock moves one millisecond per draw.
        const TRenderOptions options =
            ParseRenderOptions({"--seed", std::to_string(i * 86399), "--size", "160x120",
                                "--density", "30", "--maps", maps, "--quiet"});
        const TScreenedSet screened = ScreenSet(options);
        lyapunov.push_back(screened.Numbers.Lyapunov);
        coverage.push_back(screened.Numbers.Coverage);
        fitCoverage.push_back(screened.Numbers.FitCoverage);
        thin += screened.Numbers.Coverage < 0.01;
        thinFitted += screened.Numbers.FitCoverage < 0.01;
        if (screened.Numbers.Dimension)
            dimension.push_back(screened.Numbers.Dimension->Dimension);
    }
    const auto count = static_cast<std::size_t>(sets);
    PrintQuantiles("Lyapunov", lyapunov, count);
    PrintQuantiles("coverage", coverage, count);
    PrintQuantiles("coverage, fit", fitCoverage, count);
    PrintQuantiles("dimension", dimension, count);
    std::printf("under 1 %% of the frame: %d of %d sets in the default view, %d fitted\n", thin,
                sets, thinFitted);
    return 0;
}
