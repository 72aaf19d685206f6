#pragma once

#include "image/PGTypes.h"

#include <cstdint>
#include <vector>

// The source span of each destination column (or row) of a resampling along one axis, with
// integer weights: interpolation, area averaging or point sampling. Positions, sizes and
// weights are 64-bit, so that no rectangle of 32-bit coordinates overflows.
class TResampler {
public:
    enum class TKernel { Interpolate, AreaAverage, PointSample };

    // Source columns first..last with their weights; columns strictly between them count
    // with `InteriorWeight` when `Interior` is set. `Last` only counts when it differs from
    // `First` and has a weight of its own. The weights of a valid span add up to `Divisor`;
    // the positions of a span that is not valid mean nothing.
    struct TSpan {
        int First = 0;
        int Last = 0;
        std::uint64_t WeightFirst = 0;
        std::uint64_t WeightLast = 0;
        bool CountsLast = false;
        bool Interior = false;
        bool Valid = false;
    };

    // Exact division by a fixed divisor, for the per-pixel divisions of the resampling loops:
    // one multiplication and shift while the dividends stay below 2^31, a division otherwise.
    class TDivider {
    public:
        TDivider(std::uint64_t divisor, std::uint64_t largestDividend);
        std::uint64_t operator()(std::uint64_t n) const {
            return FFast ? (n * FMultiplier) >> FShift : n / FDivisor;
        }

    private:
        std::uint64_t FDivisor;
        bool FFast;
        std::uint64_t FMultiplier = 0;
        int FShift = 0;
    };

    // srcStart/srcSize: the source rectangle on this axis; srcExtent: the source image's size
    // along it; destSize: the destination rectangle's size. Both sizes are at least 1.
    TResampler(TStretchMode mode, std::int64_t srcStart, std::int64_t srcSize,
               std::int64_t srcExtent, std::int64_t destSize);

    static TKernel ChooseKernel(TStretchMode mode, std::int64_t srcSize, std::int64_t destSize);
    TKernel Kernel() const { return FKernel; }
    // What the weighted sum along this axis is divided by.
    std::uint64_t Divisor() const { return FDivisor; }
    std::uint64_t InteriorWeight() const { return static_cast<std::uint64_t>(FDestSize); }
    // The span of destination position k, 0 <= k < destSize (0 = first position of the
    // destination rectangle).
    TSpan Span(std::int64_t k) const;
    // The spans of destination positions from..to.
    std::vector<TSpan> Spans(std::int64_t from, std::int64_t to) const;

private:
    TSpan Interpolate(std::int64_t k) const;
    TSpan AreaAverage(std::int64_t k) const;
    TSpan PointSample(std::int64_t k) const;
    bool Inside(std::int64_t c) const { return c >= 0 && c < FSrcExtent; }

    TKernel FKernel;
    std::int64_t FSrcStart;
    std::int64_t FSrcSize;
    std::int64_t FSrcExtent;
    std::int64_t FDestSize;
    std::uint64_t FDivisor = 1;
};
