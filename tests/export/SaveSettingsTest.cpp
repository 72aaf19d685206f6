#include "TestImages.h"

#include "export/SaveSettings.h"
#include "export/WarningPrompt.h"
#include "image/PixelGraphic.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;

std::string Contents(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

} // namespace

TEST(SaveSettings, ASaveWithItsOwnSettingsLeavesTheProcessWideOnesAndTheirPromptAlone) {
    const fs::path folder = fs::temp_directory_path() / "quarn-save-settings";
    fs::create_directories(folder);
    ResetWriterOptions();
    int processPrompts = 0;
    SetWarningPrompt([&](const std::string&, const std::string&, TPGPromptButtons) {
        ++processPrompts;
        return TPGPromptResult::OK;
    });
    std::vector<std::string> ownPrompts;
    TPGSaveSettings settings;
    settings.Writer.PXMWriteBinary = true;
    settings.Prompt = [&](const std::string& caption, const std::string&, TPGPromptButtons) {
        ownPrompts.push_back(caption);
        return TPGPromptResult::OK;
    };
    // A true-colour picture as a bitmap: the save warns of the lost colours.
    const auto picture = testimages::TrueColor(9, 2);
    picture->SaveColorResWarningAction = pgwaOKBox;
    picture->SaveImageFile((folder / "own.pbm").string(), settings);
    picture->SaveImageFile((folder / "process.pbm").string());
    EXPECT_EQ(Contents(folder / "own.pbm").substr(0, 3), "P4\n");
    EXPECT_EQ(Contents(folder / "process.pbm").substr(0, 3), "P1\n");
    EXPECT_EQ(ownPrompts.size(), 1u);
    EXPECT_EQ(processPrompts, 1);
    EXPECT_FALSE(WriterOptions().PXMWriteBinary);
    SetWarningPrompt(nullptr);
    fs::remove_all(folder);
}

TEST(SaveSettings, SavesOnTwoThreadsEachKeepTheirOwnOptions) {
    const fs::path folder = fs::temp_directory_path() / "quarn-save-settings-threads";
    fs::create_directories(folder);
    ResetWriterOptions();
    // The TIFF writer keeps its byte order between the steps of a file.
    TPGSaveSettings bigEndian;
    bigEndian.Writer.TIFFWriteMotorolaOrder = true;
    constexpr int Rounds = 60;
    std::atomic<int> wrongOrder = 0;
    const auto saveMany = [&](const std::string& name, const TPGSaveSettings* settings,
                              const std::string& mark) {
        const auto picture = testimages::TrueColor(64, 64);
        const std::string file = (folder / name).string();
        for (int i = 0; i < Rounds; ++i) {
            if (settings)
                picture->SaveImageFile(file, *settings);
            else
                picture->SaveImageFile(file);
            const std::string bytes = Contents(file);
            if (bytes.substr(0, 2) != mark)
                ++wrongOrder;
        }
    };
    std::thread worker(saveMany, "big.tif", &bigEndian, "MM");
    saveMany("little.tif", nullptr, "II");
    worker.join();
    EXPECT_EQ(wrongOrder, 0);
    fs::remove_all(folder);
}
