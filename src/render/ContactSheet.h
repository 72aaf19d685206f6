#pragma once

#include "image/PixelGraphic.h"
#include "render/CandidateScreen.h"
#include "render/RenderSettings.h"
#include "render/SetScreening.h"

#include <memory>
#include <vector>

// Many fresh sets side by side: what --gallery renders.
struct TSheetSettings {
    // The usual settings, at the size of one cell; the seed starts the draws.
    TRenderSettings Cell;
    int Columns = 4;
    int Rows = 3;
    // Sets that fail it are replaced by further draws.
    TScreenFilter Filter;
    // Candidates screened at once.
    int Threads = 1;
};

// The sheet: each cell's picture with its numbers under it, and the cells' sets, row by row.
struct TContactSheet {
    TPixelGraphic Picture;
    std::vector<TScreenedSet> Cells;
    int ScreenedOut = 0;
};

// Draws candidates until every cell has a set that passes the screen. The cells take the passing
// candidates among FreshCandidate's in the order of their numbers, however many threads screen
// them: the sheet depends on the seed alone. Throws std::runtime_error when
// TCandidateScreen::MaxScreenedOut candidates in a row have failed the screen.
std::unique_ptr<TContactSheet> RenderContactSheet(const TSheetSettings& settings);
