#include "engine/CorrelationDimension.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <vector>

namespace {

// Pairs are counted in bins of squared distance: the exponent and the top MantissaBits bits of
// the mantissa of a double, an order that is that of the distances, an eighth of a doubling
// wide, without a logarithm per pair.
constexpr int MantissaBits = 3;

int BinOf(double squared) {
    const auto bits = std::bit_cast<std::uint64_t>(squared);
    return static_cast<int>(bits >> (52 - MantissaBits));
}

// log2 of the radius below which every pair of the bin lies: the bin's upper edge.
double Log2RadiusAbove(int bin) {
    const auto bits = static_cast<std::uint64_t>(bin + 1) << (52 - MantissaBits);
    return 0.5 * std::log2(std::bit_cast<double>(bits));
}

// Pairs below a radius fitted: enough to be counted well, few enough not to feel the edges.
constexpr double MinPairsBelow = 50.0;
constexpr double MaxShareBelow = 0.03;
// A range straighter than this (log2 units) may grow; otherwise the straightest is taken.
constexpr double StraightEnough = 0.04;

struct TLineFit {
    double Slope = 0.0;
    double Residual = 0.0;
};

TLineFit FitLine(std::span<const double> x, std::span<const double> y) {
    const auto n = static_cast<double>(x.size());
    double sx = 0, sy = 0, sxx = 0, sxy = 0;
    for (std::size_t i = 0; i < x.size(); ++i) {
        sx += x[i];
        sy += y[i];
        sxx += x[i] * x[i];
        sxy += x[i] * y[i];
    }
    const double slope = (n * sxy - sx * sy) / (n * sxx - sx * sx);
    const double intercept = (sy - slope * sx) / n;
    double squares = 0;
    for (std::size_t i = 0; i < x.size(); ++i) {
        const double off = y[i] - (intercept + slope * x[i]);
        squares += off * off;
    }
    return {slope, std::sqrt(squares / n)};
}

} // namespace

std::optional<TDimensionEstimate> TDimensionEstimate::Of(std::span<const TPlanePoint> points) {
    std::vector<TPlanePoint> finite;
    finite.reserve(points.size());
    for (const TPlanePoint& point : points)
        if (std::isfinite(point.X) && std::isfinite(point.Y))
            finite.push_back(point);
    if (static_cast<int>(finite.size()) < MinPoints)
        return std::nullopt;

    // Coincident pairs lie below every radius.
    double coincident = 0;
    std::vector<double> pairsInBin(static_cast<std::size_t>(BinOf(HUGE_VAL)) + 1, 0.0);
    for (std::size_t i = 0; i < finite.size(); ++i)
        for (std::size_t j = i + 1; j < finite.size(); ++j) {
            const double dx = finite[i].X - finite[j].X, dy = finite[i].Y - finite[j].Y;
            const double squared = dx * dx + dy * dy;
            if (squared > 0.0)
                pairsInBin[static_cast<std::size_t>(BinOf(squared))] += 1.0;
            else
                coincident += 1.0;
        }
    const double pairs = static_cast<double>(finite.size()) * (finite.size() - 1) / 2;

    // The radii that may be fitted, with log2 C(r).
    std::vector<double> logRadius, logShare;
    double below = coincident;
    for (std::size_t bin = 0; bin < pairsInBin.size(); ++bin) {
        below += pairsInBin[bin];
        if (below >= MinPairsBelow && below <= MaxShareBelow * pairs && pairsInBin[bin] > 0) {
            logRadius.push_back(Log2RadiusAbove(static_cast<int>(bin)));
            logShare.push_back(std::log2(below / pairs));
        }
    }

    // The longest range that is straight enough, or else the straightest of the shortest.
    std::optional<TDimensionEstimate> best;
    bool bestStraight = false;
    for (std::size_t first = 0; first < logRadius.size(); ++first)
        for (std::size_t last = first + 1; last < logRadius.size(); ++last) {
            const double octaves = logRadius[last] - logRadius[first];
            if (octaves < MinOctaves)
                continue;
            const std::size_t count = last - first + 1;
            const TLineFit fit = FitLine(std::span(logRadius).subspan(first, count),
                                         std::span(logShare).subspan(first, count));
            const bool straight = fit.Residual <= StraightEnough;
            const double bestOctaves =
                best ? std::log2(best->RadiusHigh) - std::log2(best->RadiusLow) : 0.0;
            const bool better = !best || (straight && !bestStraight) ||
                                (straight && bestStraight && octaves > bestOctaves) ||
                                (!straight && !bestStraight && fit.Residual < best->Residual);
            if (!better)
                continue;
            best = TDimensionEstimate{fit.Slope, std::exp2(logRadius[first]),
                                      std::exp2(logRadius[last]), fit.Residual,
                                      static_cast<int>(finite.size())};
            bestStraight = straight;
        }
    return best;
}
