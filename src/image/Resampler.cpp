#include "image/Resampler.h"

#include <algorithm>

// m = ceil(2^(32 + l) / d) with 2^l >= d gives floor(n / d) = (n m) >> (32 + l) for every
// n < 2^32; m < 2^33, so n m stays below 2^64 for n < 2^31.
TResampler::TDivider::TDivider(std::uint64_t divisor, std::uint64_t largestDividend)
    : FDivisor(divisor),
      FFast(divisor < (std::uint64_t{1} << 31) && largestDividend < (std::uint64_t{1} << 31)) {
    if (!FFast)
        return;
    int l = 0;
    while ((std::uint64_t{1} << l) < divisor)
        ++l;
    FShift = 32 + l;
    FMultiplier = ((std::uint64_t{1} << FShift) + divisor - 1) / divisor;
}

TResampler::TResampler(TStretchMode mode, std::int64_t srcStart, std::int64_t srcSize,
                       std::int64_t srcExtent, std::int64_t destSize)
    : FKernel(ChooseKernel(mode, srcSize, destSize)), FSrcStart(srcStart), FSrcSize(srcSize),
      FSrcExtent(srcExtent), FDestSize(destSize) {
    switch (FKernel) {
    case TKernel::Interpolate:
        FDivisor = static_cast<std::uint64_t>(2 * destSize);
        break;
    case TKernel::AreaAverage:
        FDivisor = static_cast<std::uint64_t>(srcSize);
        break;
    case TKernel::PointSample:
        FDivisor = 1;
        break;
    }
}

TResampler::TKernel TResampler::ChooseKernel(TStretchMode mode, std::int64_t srcSize,
                                             std::int64_t destSize) {
    if ((destSize < srcSize && mode == smMedium) || (destSize > srcSize && mode == smPrecise))
        return TKernel::Interpolate;
    if ((destSize < srcSize && mode == smPrecise) || (destSize > srcSize && mode == smMedium))
        return TKernel::AreaAverage;
    return TKernel::PointSample;
}

TResampler::TSpan TResampler::Span(std::int64_t k) const {
    switch (FKernel) {
    case TKernel::Interpolate:
        return Interpolate(k);
    case TKernel::AreaAverage:
        return AreaAverage(k);
    case TKernel::PointSample:
        break;
    }
    return PointSample(k);
}

std::vector<TResampler::TSpan> TResampler::Spans(std::int64_t from, std::int64_t to) const {
    std::vector<TSpan> spans;
    if (to >= from)
        spans.reserve(static_cast<std::size_t>(to - from + 1));
    for (std::int64_t k = from; k <= to; ++k)
        spans.push_back(Span(k));
    return spans;
}

// Positions are measured in units of 1 / (2 S D) of a source pixel, so that the centres of
// source and destination pixels fall on integers. With S, D < 2^31 and k < D every product
// below stays under 2^63.
TResampler::TSpan TResampler::Interpolate(std::int64_t k) const {
    const std::int64_t s = FSrcSize, d = FDestSize;
    const std::int64_t p = s * (2 * k + 1);
    std::int64_t first = FSrcStart + (p - d) / (2 * d);
    std::int64_t last = FSrcStart + (p + d) / (2 * d);
    TSpan span;
    span.Valid = Inside(first) && Inside(last);
    if (!span.Valid && d > s &&
        ((first < 0 && last >= 0) || (first < FSrcExtent && last >= FSrcExtent))) {
        // Enlarging: the outermost destination pixels repeat the edge pixel.
        first = std::clamp<std::int64_t>(first, 0, FSrcExtent - 1);
        last = std::clamp<std::int64_t>(last, 0, FSrcExtent - 1);
        span.Valid = true;
    }
    if (!span.Valid)
        return span;
    span.First = static_cast<int>(first);
    span.Last = static_cast<int>(last);
    const std::int64_t firstCentre = d + 2 * d * (first - FSrcStart);
    if (p == firstCentre || first == last) {
        span.WeightFirst = static_cast<std::uint64_t>(2 * d);
        return span;
    }
    span.WeightFirst = static_cast<std::uint64_t>(2 * d + firstCentre - p);
    span.WeightLast = static_cast<std::uint64_t>(2 * d + p - d - 2 * d * (last - FSrcStart));
    span.CountsLast = true;
    return span;
}

TResampler::TSpan TResampler::AreaAverage(std::int64_t k) const {
    const std::int64_t s = FSrcSize, d = FDestSize;
    const std::int64_t first = FSrcStart + s * k / d;
    const std::int64_t end = s * (k + 1);
    const std::int64_t last = FSrcStart + end / d - (end % d == 0 ? 1 : 0);
    TSpan span;
    span.Valid = Inside(first) && Inside(last);
    if (!span.Valid)
        return span;
    span.First = static_cast<int>(first);
    span.Last = static_cast<int>(last);
    if (first == last) {
        span.WeightFirst = static_cast<std::uint64_t>(s);
        return span;
    }
    span.WeightFirst = static_cast<std::uint64_t>(d * (first - FSrcStart + 1) - s * k);
    span.WeightLast = static_cast<std::uint64_t>(end - d * (last - FSrcStart));
    span.CountsLast = true;
    span.Interior = last - first >= 2;
    return span;
}

TResampler::TSpan TResampler::PointSample(std::int64_t k) const {
    const std::int64_t c =
        FSrcSize == FDestSize ? FSrcStart + k : FSrcStart + FSrcSize * k / FDestSize;
    TSpan span;
    span.Valid = Inside(c);
    if (span.Valid)
        span.First = span.Last = static_cast<int>(c);
    span.WeightFirst = 1;
    return span;
}
