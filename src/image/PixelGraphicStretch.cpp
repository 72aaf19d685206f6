#include "image/PixelGraphic.h"

#include "image/Resampler.h"

#include <algorithm>
#include <cstring>
#include <memory>

namespace {

// Calls visit(position, weight) for every source position that a span counts.
template <typename Visit>
inline void ForEachCounted(const TResampler::TSpan& span, int interiorWeight, Visit&& visit) {
    visit(span.First, span.WeightFirst);
    if (span.Interior)
        for (int c = span.First + 1; c < span.Last; ++c)
            visit(c, interiorWeight);
    if (span.CountsLast)
        visit(span.Last, span.WeightLast);
}

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
    const int x0 = std::max(destLeft, 0), x1 = std::min(destLeft + destWidth - 1, FWidth - 1);
    const int y0 = std::max(destTop, 0), y1 = std::min(destTop + destHeight - 1, FHeight - 1);

    const auto buffers = BeginErrorDiffusion();

    const TResampler horizontal(StretchMode, srcLeft, srcWidth, source.Width(), destWidth);
    const TResampler vertical(StretchMode, srcTop, srcHeight, source.Height(), destHeight);
    const std::vector<TResampler::TSpan> columns = horizontal.Spans(x0 - destLeft, x1 - destLeft);
    const TResampler::TDivider horizontalDivide(static_cast<std::uint32_t>(horizontal.Divisor()));
    const TResampler::TDivider verticalDivide(static_cast<std::uint32_t>(vertical.Divisor()));
    const bool trueColorSource = source.BitCount() == bc24Bit;
    // The counted source rows of the destination row at hand, with their weights.
    struct TSourceRow {
        int Row;
        const std::uint8_t* Line;
        int Weight;
    };
    std::vector<TSourceRow> rows;

    ProgressStart();
    for (int y = y0; y <= y1; ++y) {
        if (FErrorLimit)
            AdvanceErrorRows();
        const TResampler::TSpan row = vertical.Span(y - destTop);
        if (!row.Valid)
            continue;
        rows.clear();
        ForEachCounted(row, vertical.InteriorWeight(), [&](int r, int weight) {
            rows.push_back({r, trueColorSource ? source.ScanLine(r) : nullptr, weight});
        });
        std::uint8_t* out = FBitCount == bc24Bit ? ScanLine(y) : nullptr;
        const bool leftToRight = (y & 1) == 0;
        for (int n = 0; n <= x1 - x0; ++n) {
            const int x = leftToRight ? x0 + n : x1 - n;
            const TResampler::TSpan& column = columns[static_cast<std::size_t>(x - x0)];
            if (!column.Valid)
                continue;
            std::uint32_t red = 0, green = 0, blue = 0;
            for (const TSourceRow& counted : rows) {
                std::uint32_t rowRed = 0, rowGreen = 0, rowBlue = 0;
                ForEachCounted(column, horizontal.InteriorWeight(), [&](int c, int w) {
                    const auto weight = static_cast<std::uint32_t>(w);
                    if (trueColorSource) {
                        const std::uint8_t* p = counted.Line + 3 * static_cast<std::ptrdiff_t>(c);
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
                const auto weight = static_cast<std::uint32_t>(counted.Weight);
                red += horizontalDivide(rowRed) * weight;
                green += horizontalDivide(rowGreen) * weight;
                blue += horizontalDivide(rowBlue) * weight;
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
    ProgressEnd();
    NotifyChange(this);
}

void TPixelGraphic::CopyRect(int destLeft, int destTop, int width, int height, int srcLeft,
                             int srcTop, const TPixelGraphic& source) {
    if (FGdiPending)
        FlushPendingDrawing();
    if (FWidth == 0 || FHeight == 0 || source.Width() == 0 || source.Height() == 0)
        return;
    const int firstRow = std::max(destTop, 0);
    const int lastRow = std::min(destTop + height - 1, FHeight - 1);
    // Columns of the rectangle that lie inside both images.
    const int shift = srcLeft - destLeft;
    const int xmin = std::max({destLeft, 0, -shift});
    const int xmax = std::min({destLeft + width - 1, FWidth - 1, source.Width() - 1 - shift});
    if (xmin <= xmax) {
        const auto buffers = BeginErrorDiffusion();
        const bool trueColorSource = source.BitCount() == bc24Bit;
        ProgressStart();
        for (int y = firstRow; y <= lastRow; ++y) {
            const int sy = y + srcTop - destTop;
            if (sy < 0 || sy >= source.Height())
                continue;
            if (trueColorSource && FBitCount == bc24Bit) {
                std::memmove(ScanLine(y) + 3 * static_cast<std::ptrdiff_t>(xmin),
                             source.ScanLine(sy) + 3 * static_cast<std::ptrdiff_t>(xmin + shift),
                             3 * static_cast<std::size_t>(xmax - xmin + 1));
                continue;
            }
            if (FErrorLimit)
                AdvanceErrorRows();
            const std::uint8_t* line = source.ScanLine(sy);
            if (trueColorSource && FErrorLimit) {
                DiffuseRow(y, xmin, xmax, line + 3 * static_cast<std::ptrdiff_t>(xmin + shift));
            } else {
                const bool leftToRight = (y & 1) == 0;
                for (int n = 0; n <= xmax - xmin; ++n) {
                    const int x = leftToRight ? xmin + n : xmax - n;
                    if (trueColorSource) {
                        const std::uint8_t* p = line + 3 * static_cast<std::ptrdiff_t>(x + shift);
                        StoreColor(x, y, p[2], p[1], p[0]);
                    } else {
                        const TColor color = source.GetPixelColor(x + shift, sy);
                        StoreColor(x, y, GetRValue(color), GetGValue(color), GetBValue(color));
                    }
                }
            }
            if (Progress(y - firstRow, lastRow - firstRow))
                break;
        }
        ProgressEnd();
    }
    NotifyChange(this);
}
