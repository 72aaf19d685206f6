#include "render/ContactSheet.h"

#include "render/TextPainter.h"

#include <cstring>
#include <stdexcept>
#include <string>

namespace {

constexpr int CaptionPixels = 11;
constexpr int CaptionMargin = 3;
constexpr std::uint32_t CaptionColour = 0xD0D0D0;

} // namespace

std::unique_ptr<TContactSheet> RenderContactSheet(const TSheetSettings& settings) {
    const int cells = settings.Columns * settings.Rows;
    std::vector<TCandidate> passing;
    int screenedOut = 0;
    bool gaveUp = false;
    std::string failure;
    {
        TCandidateScreen screen([&](int k) { return FreshCandidate(settings.Cell, k); },
                                settings.Filter, 0, settings.Threads,
                                [&](TCandidate&& candidate) {
                                    if (static_cast<int>(passing.size()) == cells)
                                        return;
                                    if (candidate.Passed)
                                        passing.push_back(std::move(candidate));
                                    else
                                        ++screenedOut;
                                });
        screen.Want(cells);
        screen.Wait();
        gaveUp = screen.GaveUp();
        failure = screen.LastFailure();
    }
    if (gaveUp)
        throw std::runtime_error(
            "no " + std::to_string(cells) + " sets passed the screen: " +
            std::to_string(TCandidateScreen::MaxScreenedOut) + " in a row failed it" +
            (failure.empty() ? ": ask for less coverage or a wider dimension range"
                             : " (the last because " + failure + ")"));

    auto sheet = std::make_unique<TContactSheet>();
    sheet->ScreenedOut = screenedOut;
    const TTextPainter painter(TTextPainter::DefaultFont, CaptionPixels);
    const int width = settings.Cell.Width, height = settings.Cell.Height;
    const int captionHeight = 2 * painter.LineHeight() + 2 * CaptionMargin;
    sheet->Picture.SetSize(width * settings.Columns, (height + captionHeight) * settings.Rows,
                           bc24Bit);
    sheet->Picture.Clear();
    for (const TCandidate& candidate : passing) {
        const int cell = static_cast<int>(sheet->Cells.size());
        const int x = cell % settings.Columns * width;
        const int y = cell / settings.Columns * (height + captionHeight);
        const TPictureRows& picture = settings.Cell.Fit ? candidate.Fitted : candidate.Plain;
        for (int row = 0; row < height; ++row)
            std::memcpy(sheet->Picture.ScanLine(y + row) + x * 3,
                        &picture.Pixels[static_cast<std::size_t>(row) * width * 3],
                        static_cast<std::size_t>(width) * 3);
        int baseline = y + height + CaptionMargin + painter.LineHeight() * 3 / 4;
        for (const std::string& line : NumberLines(candidate.Set.Numbers)) {
            painter.Draw(sheet->Picture, x + CaptionMargin, baseline, line, CaptionColour,
                         x + width - 1);
            baseline += painter.LineHeight();
        }
        sheet->Cells.push_back(candidate.Set);
    }
    return sheet;
}
