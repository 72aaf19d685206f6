#pragma once

#include "image/PixelGraphic.h"
#include "render/RenderSettings.h"
#include "render/SetScreening.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

// Many fresh sets side by side: what --gallery renders.
struct TSheetSettings {
    // The usual settings, at the size of one cell; the seed starts the draws.
    TRenderSettings Cell;
    int Columns = 4;
    int Rows = 3;
    // Sets that reach less of the frame, or whose dimension lies outside the range, are
    // replaced by further draws.
    double MinCoverage = 0.0;
    std::optional<std::pair<double, double>> DimensionRange;
    // Candidates screened at once.
    int Threads = 1;
    // Candidates screened out before the sheet gives up.
    static constexpr int MaxScreenedOut = 10000;
    // A candidate's draws take one millisecond each: far apart, no two candidates share one.
    static constexpr std::uint32_t CandidateSpacing = 86399;
};

// The sheet: each cell's picture with its numbers under it, and the cells' sets, row by row.
struct TContactSheet {
    TPixelGraphic Picture;
    std::vector<TScreenedSet> Cells;
    int ScreenedOut = 0;
};

// Draws candidates until every cell has a set that passes the screen. Candidate k draws from its
// own clock, the seed plus k times CandidateSpacing milliseconds, and the cells take the passing
// candidates in the order of k, however many threads screen them: the sheet depends on the seed
// alone. Throws std::runtime_error when MaxScreenedOut candidates have failed the screen.
std::unique_ptr<TContactSheet> RenderContactSheet(const TSheetSettings& settings);
