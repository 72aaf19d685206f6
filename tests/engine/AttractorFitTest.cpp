#include "render/AttractorFit.h"
#include "app/render/RenderCommand.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::vector<TPlanePoint> Grid(double x0, double x1, double y0, double y1, int side) {
    std::vector<TPlanePoint> points;
    for (int i = 0; i < side; ++i)
        for (int j = 0; j < side; ++j)
            points.push_back({x0 + (x1 - x0) * i / (side - 1), y0 + (y1 - y0) * j / (side - 1)});
    return points;
}

} // namespace

TEST(AttractorFit, TheFittedViewShowsTheTrimmedBoxWithItsMargin) {
    struct TCase {
        std::vector<TPlanePoint> Points;
        int Width, Height;
        TAttractorBox Expected;
    };
    std::vector<TPlanePoint> withOutliers = Grid(-1, 3, 0, 1, 100);
    // Far excursions, fewer than half a percent of the points on each side.
    for (int i = 0; i < 40; ++i)
        withOutliers.push_back({1e6, -1e6});
    std::vector<TPlanePoint> line;
    for (int i = 0; i <= 1000; ++i)
        line.push_back({0.5, -2.0 + i * 0.004});
    const TCase cases[] = {{Grid(-1, 3, 0, 1, 100), 400, 300, {-1, 3, 0, 1}},
                           {Grid(-1, 3, 0, 1, 100), 200, 800, {-1, 3, 0, 1}},
                           {withOutliers, 640, 480, {-1, 3, 0, 1}},
                           {line, 400, 300, {0.5, 0.5, -2.0, 2.0}}};
    for (const TCase& test : cases) {
        SCOPED_TRACE(std::to_string(test.Width) + "x" + std::to_string(test.Height));
        const std::optional<TAttractorBox> box = TAttractorBox::Of(test.Points);
        ASSERT_TRUE(box.has_value());
        EXPECT_NEAR(box->XMin, test.Expected.XMin, 0.05);
        EXPECT_NEAR(box->XMax, test.Expected.XMax, 0.05);
        EXPECT_NEAR(box->YMin, test.Expected.YMin, 0.05);
        EXPECT_NEAR(box->YMax, test.Expected.YMax, 0.05);
        const std::optional<TPlaneView> view = FitView(*box, test.Width, test.Height);
        ASSERT_TRUE(view.has_value());
        EXPECT_DOUBLE_EQ(view->CenterX, (box->XMin + box->XMax) / 2);
        EXPECT_DOUBLE_EQ(view->CenterY, (box->YMin + box->YMax) / 2);
        // The tighter direction is filled but for 5 % on each side; the box is all inside.
        EXPECT_NEAR(box->FrameShare(view->CenterX, view->CenterY, view->Magnification, test.Width,
                                    test.Height),
                    0.9, 1e-9);
        const TAttractorBox wider{box->XMin - 1e-9, box->XMax + 1e-9, box->YMin - 1e-9,
                                  box->YMax + 1e-9};
        EXPECT_LE(wider.FrameShare(view->CenterX, view->CenterY, view->Magnification, test.Width,
                                   test.Height),
                  0.9 + 1e-6);
    }
    EXPECT_FALSE(FitView(TAttractorBox{1, 1, 2, 2}, 400, 300).has_value());
    EXPECT_FALSE(TAttractorBox::Of({{0, 0}}).has_value());
}

TEST(AttractorFit, AFittedRenderRecordsItsViewAndRendersAgainFromIt) {
    namespace fs = std::filesystem;
    const fs::path folder = fs::temp_directory_path() / "quarn-fit-test";
    fs::create_directories(folder);
    const std::string params = (folder / "fitted.quarn.json").string();
    const std::string first = (folder / "fitted.bmp").string();
    const std::string again = (folder / "again.bmp").string();
    std::ostringstream out, err;
    ASSERT_EQ(RunRenderCommand({"--seed", "7", "--size", "120x90", "--steps", "100000", "--fit",
                                "--out", first, "--write-params", params, "--quiet"},
                               out, err),
              0)
        << err.str();
    ASSERT_EQ(RunRenderCommand({"--params", params, "--steps", "100000", "--out", again, "--quiet"},
                               out, err),
              0)
        << err.str();
    const auto contents = [](const std::string& name) {
        std::ifstream in(name, std::ios::binary);
        return std::string{std::istreambuf_iterator<char>(in), {}};
    };
    EXPECT_TRUE(contents(first) == contents(again));
    EXPECT_EQ(contents(params).find("\"magnification\": 0.5,"), std::string::npos);
    fs::remove_all(folder);
}
