#include "render/ContactSheet.h"

#include "engine/FractalEngine.h"
#include "render/TextPainter.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <exception>
#include <map>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>

namespace {

constexpr int CaptionPixels = 11;
constexpr int CaptionMargin = 3;
constexpr std::uint32_t CaptionColour = 0xD0D0D0;

// A screened candidate: its set, whether it passed, and its picture's rows where it did.
struct TCandidate {
    TScreenedSet Set;
    bool Passed = false;
    std::vector<std::uint8_t> Pixels;
};

bool Passes(const TSetNumbers& numbers, const TSheetSettings& settings) {
    if (numbers.Coverage < settings.MinCoverage)
        return false;
    if (!settings.DimensionRange)
        return true;
    return numbers.Dimension && numbers.Dimension->Dimension >= settings.DimensionRange->first &&
           numbers.Dimension->Dimension <= settings.DimensionRange->second;
}

TCandidate Screen(const TSheetSettings& settings, int candidate) {
    TRenderSettings cell = settings.Cell;
    cell.Threads = 1;
    cell.Seed = static_cast<std::uint32_t>(
        (std::uint64_t{settings.Cell.Seed.value_or(0)} +
         std::uint64_t{TSheetSettings::CandidateSpacing} * static_cast<std::uint64_t>(candidate)) %
        TFractalEngine::MillisecondsPerDay);
    TCandidate result;
    std::vector<std::uint8_t> pixels;
    const int width = cell.Width, height = cell.Height;
    result.Set = ScreenSet(cell, [&](const TPixelGraphic& picture) {
        pixels.resize(static_cast<std::size_t>(width) * height * 3);
        for (int row = 0; row < height; ++row)
            std::memcpy(&pixels[static_cast<std::size_t>(row) * width * 3], picture.ScanLine(row),
                        static_cast<std::size_t>(width) * 3);
    });
    result.Passed = Passes(result.Set.Numbers, settings);
    if (result.Passed)
        result.Pixels = std::move(pixels);
    return result;
}

std::string Caption(const char* format, double a, double b) {
    char text[64];
    std::snprintf(text, sizeof text, format, a, b);
    return text;
}

} // namespace

std::unique_ptr<TContactSheet> RenderContactSheet(const TSheetSettings& settings) {
    const int cells = settings.Columns * settings.Rows;
    std::mutex guard;
    std::map<int, TCandidate> screened;
    std::exception_ptr failure;
    std::atomic<int> next{0};
    std::atomic<bool> enough{false};
    // Whether the passing candidates in order, without a gap, fill every cell.
    const auto filled = [&] {
        int passing = 0;
        for (int k = 0; screened.contains(k); ++k)
            passing += screened.at(k).Passed ? 1 : 0;
        return passing >= cells;
    };
    {
        std::vector<std::jthread> threads;
        for (int t = 0; t < std::max(1, settings.Threads); ++t)
            threads.emplace_back([&] {
                for (int k = next++; !enough && k < cells + TSheetSettings::MaxScreenedOut;
                     k = next++) {
                    try {
                        TCandidate candidate = Screen(settings, k);
                        const std::lock_guard lock(guard);
                        screened.emplace(k, std::move(candidate));
                        if (filled())
                            enough = true;
                    } catch (...) {
                        const std::lock_guard lock(guard);
                        failure = std::current_exception();
                        enough = true;
                    }
                }
            });
    }
    if (failure)
        std::rethrow_exception(failure);
    if (!filled())
        throw std::runtime_error("no " + std::to_string(cells) + " sets passed the screen among " +
                                 std::to_string(cells + TSheetSettings::MaxScreenedOut) +
                                 " drawn: ask for less coverage or a wider dimension range");

    auto sheet = std::make_unique<TContactSheet>();
    const TTextPainter painter(TTextPainter::DefaultFont, CaptionPixels);
    const int width = settings.Cell.Width, height = settings.Cell.Height;
    const int captionHeight = 2 * painter.LineHeight() + 2 * CaptionMargin;
    sheet->Picture.SetSize(width * settings.Columns, (height + captionHeight) * settings.Rows,
                           bc24Bit);
    sheet->Picture.Clear();
    for (auto& [k, candidate] : screened) {
        if (static_cast<int>(sheet->Cells.size()) == cells)
            break;
        if (!candidate.Passed) {
            ++sheet->ScreenedOut;
            continue;
        }
        const int cell = static_cast<int>(sheet->Cells.size());
        const int x = cell % settings.Columns * width;
        const int y = cell / settings.Columns * (height + captionHeight);
        for (int row = 0; row < height; ++row)
            std::memcpy(sheet->Picture.ScanLine(y + row) + x * 3,
                        &candidate.Pixels[static_cast<std::size_t>(row) * width * 3],
                        static_cast<std::size_t>(width) * 3);
        const TSetNumbers& numbers = candidate.Set.Numbers;
        const double dimension = numbers.Dimension ? numbers.Dimension->Dimension : 0.0;
        const int right = x + width - 1;
        int baseline = y + height + CaptionMargin + painter.LineHeight() * 3 / 4;
        painter.Draw(sheet->Picture, x + CaptionMargin, baseline,
                     Caption("\xCE\xBB %.2f   D %.2f", numbers.Lyapunov, dimension), CaptionColour,
                     right);
        baseline += painter.LineHeight();
        painter.Draw(
            sheet->Picture, x + CaptionMargin, baseline,
            Caption("%.1f %%   fit %.0f %%", 100 * numbers.Coverage, 100 * numbers.FitCoverage),
            CaptionColour, right);
        sheet->Cells.push_back(candidate.Set);
    }
    return sheet;
}
