#include "app/render/GalleryCommand.h"

#include "app/render/RenderOptions.h"
#include "engine/FractalEngine.h"
#include "export/ReplacingFile.h"
#include "render/ContactSheet.h"
#include "render/RenderOutput.h"

#include <nlohmann/json.hpp>

#include <chrono>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <ostream>
#include <thread>

namespace {

// The parameter files of the cells and the index that lists them with their numbers.
void WriteCellParameters(const TContactSheet& sheet, const TRenderOptions& options,
                         std::uint32_t seed) {
    std::filesystem::create_directories(options.ParamsDir);
    nlohmann::ordered_json cells = nlohmann::ordered_json::array();
    for (std::size_t i = 0; i < sheet.Cells.size(); ++i) {
        const TScreenedSet& cell = sheet.Cells[i];
        const int row = static_cast<int>(i) / options.GalleryColumns;
        const int column = static_cast<int>(i) % options.GalleryColumns;
        char name[48];
        std::snprintf(name, sizeof name, "cell-%02d-%02d.quarn.json", row + 1, column + 1);
        cell.Set.Save((std::filesystem::path(options.ParamsDir) / name).string());
        const TSetNumbers& numbers = cell.Numbers;
        cells.push_back(
            {{"row", row + 1},
             {"column", column + 1},
             {"file", name},
             {"clock", cell.Set.DrawClock.value_or(0)},
             {"lyapunov", numbers.Lyapunov},
             {"coverage", numbers.Coverage},
             {"fit_coverage", numbers.FitCoverage},
             {"dimension", numbers.Dimension ? nlohmann::ordered_json(numbers.Dimension->Dimension)
                                             : nlohmann::ordered_json(nullptr)}});
    }
    const nlohmann::ordered_json index = {{"seed", seed},
                                          {"columns", options.GalleryColumns},
                                          {"rows", options.GalleryRows},
                                          {"cell", {options.CellWidth, options.CellHeight}},
                                          {"screened_out", sheet.ScreenedOut},
                                          {"cells", cells}};
    TReplacingFile file((std::filesystem::path(options.ParamsDir) / "index.json").string());
    file.Stream() << index.dump(2) << "\n";
    file.Commit();
}

} // namespace

int RunGalleryCommand(const TRenderOptions& options, std::ostream& out, std::ostream& err) {
    try {
        TSheetSettings settings;
        settings.Cell = options;
        settings.Cell.Seed = options.Seed.value_or(TFractalEngine::UtcMillisecondsOfDay());
        settings.Columns = options.GalleryColumns;
        settings.Rows = options.GalleryRows;
        settings.Filter = {options.MinCoverage, options.DimensionRange};
        settings.Threads = options.Threads;
        const auto start = std::chrono::steady_clock::now();
        const std::unique_ptr<TContactSheet> sheet = RenderContactSheet(settings);
        // Without windows nobody can answer: each warning is said and the save goes on.
        const TPGSaveSettings save{options.Writer, [&err](const std::string& caption,
                                                          const std::string&, TPGPromptButtons) {
                                       err << "quarn-render: " << caption << "\n";
                                       return TPGPromptResult::OK;
                                   }};
        WriteRenderedImage(sheet->Picture, options.OutFile, options.Colors, save);
        if (!options.ParamsDir.empty())
            WriteCellParameters(*sheet, options, *settings.Cell.Seed);
        if (options.Stats) {
            char line[160];
            std::snprintf(
                line, sizeof line,
                "{\"cells\":%zu,\"screened_out\":%d,\"seed\":%u,\"seconds\":%.3f}",
                sheet->Cells.size(), sheet->ScreenedOut, *settings.Cell.Seed,
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
            out << line << "\n";
        }
    } catch (const std::exception& error) {
        err << "quarn-render: " << error.what() << "\n";
        return 1;
    }
    return 0;
}
