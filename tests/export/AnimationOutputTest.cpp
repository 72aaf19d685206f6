#include "app/render/RenderCommand.h"
#include "export/VideoEncoder.h"
#include "image/PixelGraphic.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr int Width = 64;
constexpr int Height = 48;
constexpr int Frames = 12;

// A fresh folder for each test's frames and videos.
class AnimationOutputTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/quarn-animation-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        Folder = pattern;
    }
    void TearDown() override { fs::remove_all(Folder); }

    // quarn-render on a small turning loop of the seeded set, into `out` in the folder.
    int Render(const std::string& out, const std::vector<std::string>& more = {}) {
        std::vector<std::string> args = {"--seed",
                                         "1234",
                                         "--size",
                                         "64x48",
                                         "--density",
                                         "4",
                                         "--rotate",
                                         "ifs01",
                                         "--loop",
                                         "--frames",
                                         std::to_string(Frames),
                                         "--out",
                                         (Folder / out).string(),
                                         "--quiet",
                                         "--stats"};
        args.insert(args.end(), more.begin(), more.end());
        std::ostringstream output, errors;
        const int code = RunRenderCommand(args, output, errors);
        Stats = output.str();
        EXPECT_EQ(errors.str(), "") << out;
        return code;
    }
    fs::path Folder;
    std::string Stats;
};

// What a shell command prints, bytes as they come.
std::string Output(const std::string& command) {
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    std::string text;
    char block[65536];
    for (std::size_t count; pipe && (count = fread(block, 1, sizeof block, pipe.get())) > 0;)
        text.append(block, count);
    return text;
}

// The frames of a video or of numbered pictures as FFmpeg's own decoders read them: RGB bytes,
// one frame after another.
std::string DecodedRgb(const fs::path& input) {
    return Output("ffmpeg -v error -i '" + input.string() + "' -f rawvideo -pix_fmt rgb24 -");
}

double Psnr(const std::string& a, const std::string& b, std::size_t offset, std::size_t bytes) {
    double squares = 0.0;
    for (std::size_t i = offset; i < offset + bytes; ++i) {
        const double difference =
            static_cast<unsigned char>(a[i]) - static_cast<unsigned char>(b[i]);
        squares += difference * difference;
    }
    const double mean = squares / static_cast<double>(bytes);
    return mean == 0.0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 / mean);
}

// Where pixel (column, row) of the frame at `offset` begins in decoded RGB bytes.
std::size_t PixelOffset(std::size_t offset, int row, int column) {
    return offset + (static_cast<std::size_t>(row) * Width + static_cast<std::size_t>(column)) * 3;
}

std::string FrameName(int frame) {
    char name[32];
    std::snprintf(name, sizeof name, "f%02d.png", frame);
    return name;
}

} // namespace

TEST_F(AnimationOutputTest, AnInterruptedAnimationGoesOnAndRedoesDamagedFrames) {
    struct TCase {
        const char* Name;
        std::function<void(const fs::path&)> Damage;
        std::vector<std::string> Options;
        std::vector<int> Redone;
    };
    const auto frame = [](int number) { return FrameName(number); };
    const TCase cases[] = {
        {"nothing", [](const fs::path&) {}, {}, {}},
        {"cut short",
         [&](const fs::path& folder) { fs::resize_file(folder / frame(2), 100); },
         {},
         {2}},
        {"gone", [&](const fs::path& folder) { fs::remove(folder / frame(0)); }, {}, {0}},
        {"grown",
         [&](const fs::path& folder) {
             std::ofstream(folder / frame(11), std::ios::app) << "tail";
         },
         {},
         {11}},
        {"more threads", [](const fs::path&) {}, {"--threads", "2"}, {}},
        {"other settings",
         [](const fs::path&) {},
         {"--rgb", "0.2,0.4,0.9"},
         {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}},
    };
    for (const TCase& damage : cases) {
        fs::remove_all(Folder);
        fs::create_directory(Folder);
        ASSERT_EQ(Render("f%02d.png"), 0);
        // Frames left alone keep this time; a frame written again has the time of its writing.
        const fs::file_time_type longAgo = fs::file_time_type::clock::now() - std::chrono::hours(1);
        std::map<int, std::string> bytes;
        for (int number = 0; number < Frames; ++number) {
            fs::last_write_time(Folder / frame(number), longAgo);
            std::ifstream in(Folder / frame(number), std::ios::binary);
            bytes[number].assign(std::istreambuf_iterator<char>(in), {});
        }
        damage.Damage(Folder);
        ASSERT_EQ(Render("f%02d.png", damage.Options), 0) << damage.Name;
        EXPECT_NE(Stats.find("\"rendered\":" + std::to_string(damage.Redone.size()) + ","),
                  std::string::npos)
            << damage.Name << ": " << Stats;
        for (int number = 0; number < Frames; ++number) {
            const bool redone = std::find(damage.Redone.begin(), damage.Redone.end(), number) !=
                                damage.Redone.end();
            EXPECT_EQ(fs::last_write_time(Folder / frame(number)) != longAgo, redone)
                << damage.Name << ", frame " << number;
            std::ifstream in(Folder / frame(number), std::ios::binary);
            const std::string now(std::istreambuf_iterator<char>(in), {});
            if (damage.Options.empty()) {
                EXPECT_EQ(now, bytes[number]) << damage.Name << ", frame " << number;
            }
        }
    }
}

TEST_F(AnimationOutputTest, VideosHoldTheFramesAsFfmpegDecodesThem) {
    ASSERT_EQ(Render("f%02d.png"), 0);
    const std::string pictures = DecodedRgb(Folder / "f%02d.png");
    const std::size_t frameBytes = std::size_t{Width} * Height * 3;
    ASSERT_EQ(pictures.size(), Frames * frameBytes);
    struct TVideo {
        const char* File;
        std::vector<std::string> Options;
        const char* Codec;
        int Rate;
        // Least PSNR of a decoded frame against its picture; 0 for frames equal to the pictures'
        // 256-colour reductions.
        double LeastPsnr;
    };
    const TVideo videos[] = {
        {"film.mp4", {}, "h264", 24, 35.0},
        {"rate.mp4", {"--fps", "25", "--bitrate", "2000000"}, "h264", 25, 35.0},
        {"film.webm", {"--fps", "30"}, "vp9", 30, 30.0},
        {"film.gif", {"--fps", "10"}, "gif", 10, 0.0}};
    for (const TVideo& video : videos) {
        ASSERT_EQ(Render(video.File, video.Options), 0) << video.File;
        const fs::path file = Folder / video.File;
        EXPECT_EQ(Output("ffprobe -v error -count_frames -select_streams v:0 -show_entries "
                         "stream=codec_name,width,height,r_frame_rate,nb_read_frames "
                         "-of default=nw=1 '" +
                         file.string() + "'"),
                  "codec_name=" + std::string(video.Codec) +
                      "\nwidth=64\nheight=48\nr_frame_rate=" + std::to_string(video.Rate) +
                      "/1\nnb_read_frames=12\n")
            << video.File;
        const std::string decoded = DecodedRgb(file);
        ASSERT_EQ(decoded.size(), pictures.size()) << video.File;
        for (int frame = 0; frame < Frames; ++frame) {
            const std::size_t offset = frame * frameBytes;
            if (video.LeastPsnr > 0.0) {
                EXPECT_GE(Psnr(decoded, pictures, offset, frameBytes), video.LeastPsnr)
                    << video.File << ", frame " << frame;
                continue;
            }
            // The picture as the renderer holds it (blue, green, red), reduced as the GIF's
            // frames are.
            TPixelGraphic picture;
            picture.SetSize(Width, Height, bc24Bit);
            for (int row = 0; row < Height; ++row)
                for (int column = 0; column < Width; ++column) {
                    const std::size_t i = PixelOffset(offset, row, column);
                    picture.ScanLine(row)[column * 3] = static_cast<std::uint8_t>(pictures[i + 2]);
                    picture.ScanLine(row)[column * 3 + 1] =
                        static_cast<std::uint8_t>(pictures[i + 1]);
                    picture.ScanLine(row)[column * 3 + 2] = static_cast<std::uint8_t>(pictures[i]);
                }
            const std::unique_ptr<TPixelGraphic> reduced = TVideoEncoder::ReducedForGif(picture);
            int differing = 0;
            for (int row = 0; row < Height; ++row)
                for (int column = 0; column < Width; ++column) {
                    const TColor colour = reduced->PaletteColor(reduced->ScanLine(row)[column]);
                    const std::size_t i = PixelOffset(offset, row, column);
                    differing += static_cast<std::uint8_t>(decoded[i]) != GetRValue(colour) ||
                                 static_cast<std::uint8_t>(decoded[i + 1]) != GetGValue(colour) ||
                                 static_cast<std::uint8_t>(decoded[i + 2]) != GetBValue(colour);
                }
            EXPECT_EQ(differing, 0) << video.File << ", frame " << frame;
        }
    }
}

// A video that is not finished leaves the file that was there, as a failed picture save does;
// a finished one replaces it.
TEST_F(AnimationOutputTest, AnUnfinishedVideoLeavesTheOldFile) {
    TPixelGraphic picture;
    picture.SetSize(Width, Height, bc24Bit);
    picture.Clear();
    for (const std::string name : {"old.mp4", "old.gif"}) {
        const fs::path file = Folder / name;
        std::ofstream(file) << "an older film";
        {
            TVideoEncoder unfinished(file.string(), Width, Height, {});
            unfinished.AddFrame(picture);
        }
        std::ifstream kept(file);
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), "an older film") << name;
        TVideoEncoder finished(file.string(), Width, Height, {});
        finished.AddFrame(picture);
        finished.Finish();
        EXPECT_GT(fs::file_size(file), 100u) << name;
        EXPECT_EQ(std::distance(fs::directory_iterator(Folder), fs::directory_iterator()), 1)
            << "no temporary is left beside " << name;
        fs::remove(file);
    }
}
