#include "image/Resampler.h"

#include <algorithm>

// m = ceil(2^(32 + l) / d) with 2^l >= d gives floor(n / d) = (n m) >> (32 + l) for every
// n < 2^32; m < 2^33, so n m stays below 2^64 for n < 2^31.
TResampler::TDivider::TDivider(std::uint32_t divisor) {
    int l = 0;
    while ((std::uint64_t{1} << l) < divisor)
        ++l;
    FShift = 32 + l;
    FMultiplier = ((std::uint64_t{1} << FShift) + divisor - 1) / divisor;
}

TResampler::TResampler(TStretchMode mode, int srcStart, int srcSize, int srcExtent, int destSize)
    : FKernel(ChooseKernel(mode, srcSize, destSize)), FSrcStart(srcStart), FSrcSize(srcSize),
      FSrcExtent(srcExtent), FDestSize(destSize) {
    switch (FKernel) {
    case kInterpolate:
        FDivisor = 2 * destSize;
        break;
    case kAreaAverage:
        FDivisor = srcSize;
        break;
    case kPointSample:
        FDivisor = 1;
        break;
    }
}

TResampler::TKernel TResampler::ChooseKernel(TStretchMode mode, int srcSize, int destSize) {
    if ((destSize < srcSize && mode == smMedium) || (destSize > srcSize && mode == smPrecise))
        return kInterpolate;
    if ((destSize < srcSize && mode == smPrecise) || (destSize > srcSize && mode == smMedium))
        return kAreaAverage;
    return kPointSample;
}

TResampler::TSpan TResampler::Span(int k) const {
    switch (FKernel) {
    case kInterpolate:
        return Interpolate(k);
    case kAreaAverage:
        return AreaAverage(k);
    case kPointSample:
        break;
    }
    return PointSample(k);
}

std::vector<TResampler::TSpan> TResampler::Spans(int from, int to) const {
    std::vector<TSpan> spans;
    if (to >= from)
        spans.reserve(static_cast<std::size_t>(to - from + 1));
    for (int k = from; k <= to; ++k)
        spans.push_back(Span(k));
    return spans;
}

// Positions are measured in units of 1 / (2 S D) of a source pixel, so that the centres of
// source and destination pixels fall on integers.
TResampler::TSpan TResampler::Interpolate(long long k) const {
    const long long s = FSrcSize, d = FDestSize;
    const long long p = s * (2 * k + 1);
    long long first = FSrcStart + (p - d) / (2 * d);
    long long last = FSrcStart + (p + d) / (2 * d);
    TSpan span;
    span.Valid = Inside(first) && Inside(last);
    if (!span.Valid && d > s &&
        ((first < 0 && last >= 0) || (first < FSrcExtent && last >= FSrcExtent))) {
        // Enlarging: the outermost destination pixels repeat the edge pixel.
        first = std::clamp<long long>(first, 0, FSrcExtent - 1);
        last = std::clamp<long long>(last, 0, FSrcExtent - 1);
        span.Valid = true;
    }
    span.First = static_cast<int>(first);
    span.Last = static_cast<int>(last);
    const long long firstCentre = d + 2 * d * (first - FSrcStart);
    if (p == firstCentre || first == last) {
        span.WeightFirst = static_cast<int>(2 * d);
        return span;
    }
    span.WeightFirst = static_cast<int>(2 * d + firstCentre - p);
    span.WeightLast = static_cast<int>(2 * d + p - d - 2 * d * (last - FSrcStart));
    span.CountsLast = true;
    return span;
}

TResampler::TSpan TResampler::AreaAverage(long long k) const {
    const long long s = FSrcSize, d = FDestSize;
    const long long first = FSrcStart + s * k / d;
    const long long end = s * (k + 1);
    const long long last = FSrcStart + end / d - (end % d == 0 ? 1 : 0);
    TSpan span;
    span.Valid = Inside(first) && Inside(last);
    span.First = static_cast<int>(first);
    span.Last = static_cast<int>(last);
    if (first == last) {
        span.WeightFirst = static_cast<int>(s);
        return span;
    }
    span.WeightFirst = static_cast<int>(d * (first - FSrcStart + 1) - s * k);
    span.WeightLast = static_cast<int>(end - d * (last - FSrcStart));
    span.CountsLast = true;
    span.Interior = last - first >= 2;
    return span;
}

TResampler::TSpan TResampler::PointSample(long long k) const {
    const long long c = FSrcSize == FDestSize
                            ? FSrcStart + k
                            : FSrcStart + static_cast<long long>(FSrcSize) * k / FDestSize;
    TSpan span;
    span.Valid = Inside(c);
    span.First = span.Last = static_cast<int>(c);
    span.WeightFirst = 1;
    return span;
}
