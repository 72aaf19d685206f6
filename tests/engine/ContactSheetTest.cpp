#include "app/render/RenderCommand.h"

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

// A binary PPM as quarn-render writes it: header lines, then rows of red, green and blue.
struct TPpm {
    int Width = 0;
    int Height = 0;
    std::string Pixels;

    explicit TPpm(const std::string& fileName) {
        std::ifstream file(fileName, std::ios::binary);
        std::string magic;
        int maximum = 0;
        file >> magic >> Width >> Height >> maximum;
        file.get();
        Pixels.assign(std::istreambuf_iterator<char>(file), {});
    }
    std::string Region(int x, int y, int width, int height) const {
        std::string region;
        for (int row = y; row < y + height; ++row)
            region += Pixels.substr((static_cast<std::size_t>(row) * Width + x) * 3,
                                    static_cast<std::size_t>(width) * 3);
        return region;
    }
};

int Render(const std::vector<std::string>& args, std::string* errors = nullptr) {
    std::ostringstream out, err;
    const int code = RunRenderCommand(args, out, err);
    if (errors)
        *errors = err.str();
    return code;
}

nlohmann::json Index(const fs::path& folder) {
    std::ifstream file(folder / "index.json");
    return nlohmann::json::parse(file);
}

class ContactSheetTest : public ::testing::Test {
protected:
    void SetUp() override {
        FFolder = fs::temp_directory_path() / ("quarn-sheet-" + std::to_string(::getpid()));
        fs::create_directories(FFolder);
    }
    void TearDown() override { fs::remove_all(FFolder); }
    std::string File(const std::string& name) const { return (FFolder / name).string(); }
    fs::path FFolder;
};

} // namespace

TEST_F(ContactSheetTest, EachCellIsItsSetsPictureWhateverTheThreads) {
    const std::vector<std::string> sheet = {"--gallery", "3x2",  "--cell",       "80x60",
                                            "--seed",    "5000", "--pnm-binary", "--quiet"};
    std::vector<std::string> one = sheet, two = sheet;
    one.insert(one.end(), {"--threads", "1", "--out", File("one.ppm")});
    two.insert(two.end(),
               {"--threads", "2", "--out", File("two.ppm"), "--write-params-dir", File("cells")});
    ASSERT_EQ(Render(one), 0);
    ASSERT_EQ(Render(two), 0);
    const TPpm picture(File("two.ppm"));
    EXPECT_EQ(picture.Pixels, TPpm(File("one.ppm")).Pixels);
    const nlohmann::json index = Index(File("cells"));
    ASSERT_EQ(index["cells"].size(), 6u);
    EXPECT_EQ(picture.Width, 3 * 80);
    const int cellHeight = picture.Height / 2;
    for (const nlohmann::json& cell : index["cells"]) {
        const int x = (cell["column"].get<int>() - 1) * 80;
        const int y = (cell["row"].get<int>() - 1) * cellHeight;
        // The cell's parameter file renders the cell's picture again, byte for byte.
        const std::string again = File("again.ppm");
        ASSERT_EQ(Render({"--params", File("cells/" + cell["file"].get<std::string>()), "--out",
                          again, "--pnm-binary", "--quiet"}),
                  0);
        EXPECT_EQ(picture.Region(x, y, 80, 60), TPpm(again).Pixels) << cell["file"];
        // Its numbers are written under it.
        const std::string caption = picture.Region(x, y + 60, 80, cellHeight - 60);
        EXPECT_NE(caption.find_first_not_of('\0'), std::string::npos) << cell["file"];
    }
}

TEST_F(ContactSheetTest, ScreenedOutSetsAreReplacedAndBadSheetsRefused) {
    ASSERT_EQ(Render({"--gallery", "2x2", "--cell", "80x60", "--seed", "700", "--maps", "at01",
                      "--min-coverage", "0.05", "--dimension", "1.2:2", "--out", File("s.bmp"),
                      "--write-params-dir", File("screened"), "--quiet"}),
              0);
    const nlohmann::json index = Index(File("screened"));
    EXPECT_GT(index["screened_out"].get<int>(), 0);
    for (const nlohmann::json& cell : index["cells"]) {
        EXPECT_GE(cell["coverage"].get<double>(), 0.05);
        EXPECT_GE(cell["dimension"].get<double>(), 1.2);
    }
    const std::pair<std::vector<std::string>, std::string> refused[] = {
        {{"--gallery", "2x2"}, "--gallery needs --out FILE for the sheet"},
        {{"--cell", "80x60", "--out", "x.bmp"}, "--cell goes with --gallery"},
        {{"--gallery", "2x2", "--size", "80x60", "--out", "x.bmp"},
         "--size does not go with --gallery"},
        {{"--gallery", "2x2", "--dimension", "1.8:1.2", "--out", "x.bmp"},
         "--dimension 1.8:1.2 is out of range: A:B must have 0 <= A <= B <= 2"},
        {{"--gallery", "65x1", "--out", "x.bmp"},
         "--gallery 65x1 is out of range: each number must be 1 to 64"},
    };
    for (const auto& [args, message] : refused) {
        std::string errors;
        EXPECT_EQ(Render(args, &errors), 2) << message;
        EXPECT_NE(errors.find(message), std::string::npos) << errors;
    }
}
