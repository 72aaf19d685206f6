// How much of the frame an attractor spans with the default view and with --fit, over many
// seeded sets with the default settings. Each set is rendered both ways; the span is measured on
// the picture: the lit pixels' box, less the outermost 0.5 % of them on each side, as a share of
// the frame's width or height, whichever is larger. Prints the quantiles of both distributions.
#include "app/render/RenderOptions.h"
#include "render/RenderJob.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

double LitShare(const TPixelGraphic& picture) {
    std::vector<int> xs, ys;
    for (int y = 0; y < picture.Height(); ++y)
        for (int x = 0; x < picture.Width(); ++x)
            if (picture.GetPixel(x, y) != 0) {
                xs.push_back(x);
                ys.push_back(y);
            }
    if (xs.size() < 2)
        return 0.0;
    const auto span = [](std::vector<int>& values) {
        std::sort(values.begin(), values.end());
        const std::size_t cut = values.size() / 200;
        return values[values.size() - 1 - cut] - values[cut] + 1;
    };
    return std::max(static_cast<double>(span(xs)) / picture.Width(),
                    static_cast<double>(span(ys)) / picture.Height());
}

void PrintQuantiles(const char* name, std::vector<double> shares) {
    std::sort(shares.begin(), shares.end());
    const auto at = [&](double q) {
        return shares[static_cast<std::size_t>(q * static_cast<double>(shares.size() - 1))];
    };
    int underFifth = 0;
    for (double share : shares)
        underFifth += share < 0.2;
    std::printf("%-12s min %.3f  p10 %.3f  median %.3f  p90 %.3f  max %.3f  under 0.2: %d of "
                "%zu\n",
                name, shares.front(), at(0.1), at(0.5), at(0.9), shares.back(), underFifth,
                shares.size());
}

} // namespace

int main(int argc, char** argv) {
    const int seeds = argc > 1 ? std::stoi(argv[1]) : 50;
    std::vector<double> before, after;
    for (int seed = 1; seed <= seeds; ++seed) {
        for (const bool fit : {false, true}) {
            std::vector<std::string> args = {"--seed", std::to_string(seed * 1000), "--steps",
                                             "400000", "--quiet"};
            if (fit)
                args.push_back("--fit");
            TRenderJob job(ParseRenderOptions(args));
            job.Run();
            (fit ? after : before).push_back(LitShare(job.Image()));
        }
    }
    PrintQuantiles("default view", before);
    PrintQuantiles("fitted", after);
}
