#include "image/PixelGraphic.h"

#include "image/ProgressScope.h"
#include "image/Resampler.h"

#include <algorithm>
#include <cstring>
#include <memory>

namespace {

// Calls visit(position, weight) for every source position that a span counts.
template <typename Visit>
inline void ForEachCounted(const TResampler::TSpan& span, std::uint64_t interiorWeight,
                           Visit&& visit) {
    visit(span.First, span.WeightFirst);
    if (span.Interior)
        for (int c = span.First + 1; c < span.Last; ++c)
            visit(c, interiorWeight);
    if (span.CountsLast)
        visit(span.Last, span.WeightLast);
}

// The part of the range start .. start + size - 1 that lies inside 0 .. extent - 1, computed
// without overflow for any 32-bit start and size. Empty, it ends just before it starts, so that
// both ends are always within int.
struct TClippedRange {
    TClippedRange(std::int64_t start, std::int64_t size, std::int64_t extent)
        : First(std::max<std::int64_t>(start, 0)),
          Last(std::max(std::min<std::int64_t>(start + size - 1, extent - 1), First - 1)) {}
    std::int64_t First;
    std::int64_t Last;
};

} // namespace

void TPixelGraphic::StretchFrom(const TPixelGraphic& source) {
    StretchCopy(0, 0, FWidth, FHeight, 0, 0, source.Width(), source.Height(), source);
}

void TPixelGraphic::StretchCopy(int destLeft, int destTop, int destWidth, int destHeight,
                                int srcLeft, int srcTop, int srcWidth, int srcHeight,
                                const TPixelGraphic& source) {
    if (FGdiPending)
        FlushPendingDrawing();
    if (srcWidth == destWidth && srcHeight == destHeight) {
        CopyRect(destLeft, destTop, destWidth, destHeight, srcLeft, srcTop, source);
        return;
    }
    if (FWidth < 1 || source.Width() < 1 || FHeight < 1 || source.Height() < 1 || IsEmpty() ||
        source.IsEmpty())
        return;
    // An empty or inside-out rectangle has nothing to resample (and would divide by zero).
    if (srcWidth < 1 || srcHeight < 1 || destWidth < 1 || destHeight < 1)
        return;
    const TClippedRange columnRange(destLeft, destWidth, FWidth);
    const TClippedRange rowRange(destTop, destHeight, FHeight);
    // A rectangle wholly outside the image has no pixel to change.
    if (columnRange.First > columnRange.Last || rowRange.First > rowRange.Last)
        return;
    // Inside the image, so within int.
    const int x0 = static_cast<int>(columnRange.First), x1 = static_cast<int>(columnRange.Last);
    const int y0 = static_cast<int>(rowRange.First), y1 = static_cast<int>(rowRange.Last);

    const auto buffers = BeginErrorDiffusion();

    const TResampler horizontal(StretchMode, srcLeft, srcWidth, source.Width(), destWidth);
    const TResampler vertical(StretchMode, srcTop, srcHeight, source.Height(), destHeight);
    const std::vector<TResampler::TSpan> columns =
        horizontal.Spans(x0 - std::int64_t{destLeft}, x1 - std::int64_t{destLeft});
    // The weights of a span add up to its divisor, so a weighted sum of 8-bit values stays
    // below 256 times the divisor.
    const TResampler::TDivider horizontalDivide(horizontal.Divisor(), 255 * horizontal.Divisor());
    const TResampler::TDivider verticalDivide(vertical.Divisor(), 255 * vertical.Divisor());
    const bool trueColorSource = source.BitCount() == bc24Bit;
    // The counted source rows of the destination row at hand, with their weights.
    struct TSourceRow {
        int Row;
        const std::uint8_t* Line;
        std::uint64_t Weight;
    };
    std::vector<TSourceRow> rows;

    {
        const TProgressScope progress(*this);
        for (int y = y0; y <= y1; ++y) {
            if (FErrorLimit)
                AdvanceErrorRows();
            const TResampler::TSpan row = vertical.Span(y - std::int64_t{destTop});
            if (!row.Valid)
                continue;
            rows.clear();
            ForEachCounted(row, vertical.InteriorWeight(), [&](int r, std::uint64_t weight) {
                rows.push_back({r, trueColorSource ? source.ScanLine(r) : nullptr, weight});
            });
            std::uint8_t* out = FBitCount == bc24Bit ? ScanLine(y) : nullptr;
            const bool leftToRight = (y & 1) == 0;
            for (int n = 0; n <= x1 - x0; ++n) {
                const int x = leftToRight ? x0 + n : x1 - n;
                const TResampler::TSpan& column = columns[static_cast<std::size_t>(x - x0)];
                if (!column.Valid)
                    continue;
                std::uint64_t red = 0, green = 0, blue = 0;
                for (const TSourceRow& counted : rows) {
                    std::uint64_t rowRed = 0, rowGreen = 0, rowBlue = 0;
                    ForEachCounted(
                        column, horizontal.InteriorWeight(), [&](int c, std::uint64_t weight) {
                            if (trueColorSource) {
                                const std::uint8_t* p =
                                    counted.Line + 3 * static_cast<std::ptrdiff_t>(c);
                                rowBlue += weight * p[0];
                                rowGreen += weight * p[1];
                                rowRed += weight * p[2];
                            } else {
                                const TColor color = source.GetPixelColor(c, counted.Row);
                                rowRed += weight * GetRValue(color);
                                rowGreen += weight * GetGValue(color);
                                rowBlue += weight * GetBValue(color);
                            }
                        });
                    red += horizontalDivide(rowRed) * counted.Weight;
                    green += horizontalDivide(rowGreen) * counted.Weight;
                    blue += horizontalDivide(rowBlue) * counted.Weight;
                }
                red = verticalDivide(red);
                green = verticalDivide(green);
                blue = verticalDivide(blue);
                if (out) {
                    std::uint8_t* p = out + 3 * static_cast<std::ptrdiff_t>(x);
                    p[0] = static_cast<std::uint8_t>(blue);
                    p[1] = static_cast<std::uint8_t>(green);
                    p[2] = static_cast<std::uint8_t>(red);
                } else {
                    StoreColor(x, y, static_cast<int>(red), static_cast<int>(green),
                               static_cast<int>(blue));
                }
            }
            if (Progress(y - y0, y1 - y0))
                break;
        }
    }
    NotifyChange(this);
}

void TPixelGraphic::CopyRect(int destLeft, int destTop, int width, int height, int srcLeft,
                             int srcTop, const TPixelGraphic& source) {
    if (FGdiPending)
        FlushPendingDrawing();
    if (FWidth == 0 || FHeight == 0 || source.Width() == 0 || source.Height() == 0)
        return;
    const TClippedRange rowRange(destTop, height, FHeight);
    // Columns of the rectangle that lie inside both images.
    const std::int64_t columnShift = std::int64_t{srcLeft} - destLeft;
    const std::int64_t rowShift = std::int64_t{srcTop} - destTop;
    const TClippedRange columnRange(destLeft, width, FWidth);
    const std::int64_t left = std::max(columnRange.First, -columnShift);
    const std::int64_t right = std::min(columnRange.Last, source.Width() - 1 - columnShift);
    if (left <= right) {
        // Inside both images from here on, so within int.
        const int xmin = static_cast<int>(left), xmax = static_cast<int>(right);
        const int sourceXmin = static_cast<int>(left + columnShift);
        const int firstRow = static_cast<int>(rowRange.First);
        const int lastRow = static_cast<int>(rowRange.Last);
        const auto buffers = BeginErrorDiffusion();
        const bool trueColorSource = source.BitCount() == bc24Bit;
        const TProgressScope progress(*this);
        for (int y = firstRow; y <= lastRow; ++y) {
            const std::int64_t sourceRow = y + rowShift;
            if (sourceRow < 0 || sourceRow >= source.Height())
                continue;
            const int sy = static_cast<int>(sourceRow);
            if (trueColorSource && FBitCount == bc24Bit) {
                std::memmove(ScanLine(y) + 3 * static_cast<std::ptrdiff_t>(xmin),
                             source.ScanLine(sy) + 3 * static_cast<std::ptrdiff_t>(sourceXmin),
                             3 * static_cast<std::size_t>(xmax - xmin + 1));
                continue;
            }
            if (FErrorLimit)
                AdvanceErrorRows();
            const std::uint8_t* line = source.ScanLine(sy);
            if (trueColorSource && FErrorLimit) {
                DiffuseRow(y, xmin, xmax, line + 3 * static_cast<std::ptrdiff_t>(sourceXmin));
            } else {
                const bool leftToRight = (y & 1) == 0;
                for (int n = 0; n <= xmax - xmin; ++n) {
                    const int x = leftToRight ? xmin + n : xmax - n;
                    const int sx = sourceXmin + (x - xmin);
                    if (trueColorSource) {
                        const std::uint8_t* p = line + 3 * static_cast<std::ptrdiff_t>(sx);
                        StoreColor(x, y, p[2], p[1], p[0]);
                    } else {
                        const TColor color = source.GetPixelColor(sx, sy);
                        StoreColor(x, y, GetRValue(color), GetGValue(color), GetBValue(color));
                    }
                }
            }
            if (Progress(y - firstRow, lastRow - firstRow))
                break;
        }
    }
    NotifyChange(this);
}
