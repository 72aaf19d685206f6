#pragma once

#include "image/PGTypes.h"

#include <cstdint>
#include <vector>

// The source span of each destination column (or row) of a resampling along one axis, with
// integer weights: interpolation, area averaging or point sampling.
class TResampler {
public:
    enum TKernel { kInterpolate, kAreaAverage, kPointSample };

    // Source columns first..last with their weights; columns strictly between them count
    // with `InteriorWeight` when `Interior` is set. `Last` only counts when it differs from
    // `First` and has a weight of its own.
    struct TSpan {
        int First = 0;
        int Last = 0;
        int WeightFirst = 0;
        int WeightLast = 0;
        bool CountsLast = false;
        bool Interior = false;
        bool Valid = false;
    };

    // Exact division of non-negative numbers below 2^31 by a fixed divisor through one
    // multiplication and shift, for the per-pixel divisions of the resampling loops.
    class TDivider {
    public:
        explicit TDivider(std::uint32_t divisor);
        std::uint32_t operator()(std::uint32_t n) const {
            return static_cast<std::uint32_t>((n * FMultiplier) >> FShift);
        }

    private:
        std::uint64_t FMultiplier;
        int FShift;
    };

    // srcStart/srcSize: the source rectangle on this axis; srcExtent: the source image's size
    // along it; destSize: the destination rectangle's size.
    TResampler(TStretchMode mode, int srcStart, int srcSize, int srcExtent, int destSize);

    static TKernel ChooseKernel(TStretchMode mode, int srcSize, int destSize);
    TKernel Kernel() const { return FKernel; }
    // What the weighted sum along this axis is divided by.
    int Divisor() const { return FDivisor; }
    int InteriorWeight() const { return FDestSize; }
    // The span of destination position k (0 = first position of the destination rectangle).
    TSpan Span(int k) const;
    // The spans of destination positions from..to.
    std::vector<TSpan> Spans(int from, int to) const;

private:
    TSpan Interpolate(long long k) const;
    TSpan AreaAverage(long long k) const;
    TSpan PointSample(long long k) const;
    bool Inside(long long c) const { return c >= 0 && c < FSrcExtent; }

    TKernel FKernel;
    int FSrcStart;
    int FSrcSize;
    int FSrcExtent;
    int FDestSize;
    int FDivisor;
};
