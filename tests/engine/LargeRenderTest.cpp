#include "app/render/RenderCommand.h"
#include "app/render/RenderOptions.h"
#include "engine/LcgRandom.h"
#include "engine/ParameterFile.h"
#include "engine/PhiloxStream.h"
#include "render/MemoryHeadroom.h"
#include "render/RenderJob.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <stop_token>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

class LargeRenderTest : public ::testing::Test {
protected:
    void SetUp() override {
        FFolder = fs::temp_directory_path() /
                  ("quarn-large-render-" +
                   std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(FFolder);
    }
    void TearDown() override { fs::remove_all(FFolder); }
    std::string File(const std::string& name) const { return (FFolder / name).string(); }

    fs::path FFolder;
};

std::string Contents(const std::string& fileName) {
    std::ifstream file(fileName, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), {}};
}

std::string PictureOf(TRenderJob& renderer) {
    std::ostringstream bytes;
    renderer.Image().SaveImageStream(bytes);
    return bytes.str();
}

int Render(const std::vector<std::string>& args, std::string* errors = nullptr) {
    std::ostringstream out, err;
    const int code = RunRenderCommand(args, out, err);
    if (errors)
        *errors = err.str();
    return code;
}

} // namespace

TEST_F(LargeRenderTest, AParameterFileRendersTheSameOrbitAgain) {
    const std::string params = File("kept.quarn.json");
    ASSERT_EQ(Render({"--seed", "1234", "--size", "160x120", "--steps", "60000", "--maps",
                      "ifs01,at02", "--variations", "swirl", "--out", File("first.bmp"),
                      "--write-params", params, "--quiet"}),
              0);
    const TParameterFile file = TParameterFile::Load(params);
    EXPECT_TRUE(file.DrawClock.has_value());
    EXPECT_EQ(file.Params.ImageWidth, 160);
    EXPECT_EQ(file.Params.UseAT02, BoolTrue);
    EXPECT_EQ(file.Params.UseSwirl, BoolTrue);

    // The file's clock value restarts the orbit where the draw of its set left the generator.
    ASSERT_EQ(Render({"--params", params, "--steps", "60000", "--out", File("again.bmp"),
                      "--write-params", File("again.quarn.json"), "--quiet"}),
              0);
    EXPECT_EQ(Contents(File("first.bmp")), Contents(File("again.bmp")));
    EXPECT_EQ(Contents(params), Contents(File("again.quarn.json")));

    // Other options change single settings of the file, wherever they stand.
    const TRenderOptions options =
        ParseRenderOptions({"--size", "80x40", "--params", params, "--white", "--maps", "ifs01"});
    EXPECT_EQ(options.Width, 80);
    EXPECT_EQ(options.Height, 40);
    EXPECT_EQ(options.Params.WhiteBackground, BoolTrue);
    EXPECT_EQ(options.Params.UseAT02, BoolFalse);
    EXPECT_EQ(options.Params.UseSwirl, BoolTrue);
    EXPECT_TRUE(options.KeepCoefficients);
    for (int k = 1; k <= 120; ++k)
        EXPECT_EQ(options.Params.Coef(k), file.Params.Coef(k)) << k;
}

TEST_F(LargeRenderTest, AKeptSetThatFailsItsWarmUpDrawsNothing) {
    TParameterFile file;
    // With every coefficient 0 the point stands still: its Lyapunov estimate stays 0.
    for (int k = 1; k <= 120; ++k)
        file.Params.Coef(k) = 0.0;
    const std::string params = File("still.quarn.json");
    file.Save(params);
    for (const char* threads : {"1", "2"}) {
        std::string errors;
        EXPECT_EQ(Render({"--params", params, "--threads", threads, "--out", File("still.png"),
                          "--quiet"},
                         &errors),
                  1);
        EXPECT_THAT(errors, ::testing::MatchesRegex(
                                "quarn-render: the parameter file's coefficient set failed its "
                                "warm-up \\(the Lyapunov estimate was [-.e0-9]+\\); no picture "
                                "was drawn\n"));
        EXPECT_FALSE(fs::exists(File("still.png")));
    }
    std::string errors;
    EXPECT_EQ(Render({"--params", File("none.quarn.json")}, &errors), 2);
    EXPECT_EQ(errors.rfind("quarn-render: --params: cannot open the parameter file", 0), 0u);
}

TEST_F(LargeRenderTest, OrbitsOnAllCoresAreMergedTheSameWayEveryTime) {
    const TRenderOptions two = ParseRenderOptions(
        {"--seed", "777", "--size", "200x150", "--steps", "300001", "--threads", "2"});
    TRenderJob first(two), second(two);
    const TRenderResult result = first.Run(nullptr);
    second.Run(nullptr);
    EXPECT_EQ(result.Steps, 300001);
    EXPECT_EQ(PictureOf(first), PictureOf(second));
    // The threads only run the orbits: any number of them gives the same picture.
    for (const int threads : {1, 3, 8, 16}) {
        TRenderOptions options = two;
        options.Threads = threads;
        options.Orbits = TRenderSettings::DefaultOrbits;
        TRenderJob run(options);
        EXPECT_EQ(run.Run(nullptr).Steps, 300001);
        EXPECT_EQ(PictureOf(run), PictureOf(first)) << threads << " threads";
    }

    // The same set on one thread: another orbit, so another picture, but of the same figure.
    TRenderOptions one = two;
    one.Threads = 1;
    one.Params = first.UsedParameters().Params;
    one.KeepCoefficients = true;
    one.FileClock = first.UsedParameters().DrawClock;
    one.Seed.reset();
    TRenderJob single(one);
    single.Run(nullptr);
    EXPECT_NE(PictureOf(single), PictureOf(first));
    int litSingle = 0, litMerged = 0;
    for (int y = 0; y < 150; ++y)
        for (int x = 0; x < 200; ++x) {
            litSingle += single.Image().GetPixel(x, y) != 0;
            litMerged += first.Image().GetPixel(x, y) != 0;
        }
    EXPECT_GT(litSingle, 500);
    EXPECT_NEAR(litMerged, litSingle, litSingle / 5);
    // A pixel no orbit hit keeps the background.
    TRenderOptions white = two;
    white.Params.WhiteBackground = BoolTrue;
    TRenderJob whiteRun(white);
    whiteRun.Run(nullptr);
    EXPECT_EQ(whiteRun.Image().GetPixel(0, 0), 0xFFFFFFu);
}

TEST_F(LargeRenderTest, PicturesBeyondTheWindowsLimitAreHitEverywhere) {
    const TRenderOptions options =
        ParseRenderOptions({"--seed", "99", "--size", "3000x2000", "--density", "0.1"});
    EXPECT_EQ(options.Steps, 600000);
    TRenderJob renderer(options);
    renderer.Run(nullptr);
    int litBeyond = 0;
    for (int y = 768; y < 2000; ++y)
        for (int x = 1024; x < 3000; ++x)
            litBeyond += renderer.Image().GetPixel(x, y) != 0;
    EXPECT_GT(litBeyond, 1000);

    EXPECT_THROW(ParseRenderOptions({"--density", "1", "--steps", "5"}), ERenderUsage);
    EXPECT_THROW(ParseRenderOptions({"--density", "0"}), ERenderUsage);
    try {
        ParseRenderOptions({"--size", "1x1", "--density", "0.1"});
        FAIL();
    } catch (const ERenderUsage& error) {
        EXPECT_EQ(std::string(error.what()), "--density 0.1 at 1x1 is out of range: it "
                                             "must give 1 to 2^62 steps");
    }
    EXPECT_GE(ParseRenderOptions({"--threads", "0"}).Threads, 1);
}

TEST_F(LargeRenderTest, MemoryThatCannotBeHadIsRefusedBeforeTheRun) {
    // The threads share one set of counters: the memory does not grow with them.
    TRenderOptions options =
        ParseRenderOptions({"--size", "8192x8192", "--supersample", "4", "--intensity", "600",
                            "--orbits", "256", "--steps", "1000"});
    const std::uint64_t needed = TRenderJob::NeededBytes(options);
    for (const int threads : {2, 16, 256}) {
        options.Threads = threads;
        EXPECT_EQ(TRenderJob::NeededBytes(options), needed) << threads << " threads";
    }
    const std::optional<TMemoryHeadroom> headroom = MemoryHeadroom();
    if (!headroom || headroom->Bytes >= needed)
        GTEST_SKIP() << "this machine has room for the largest render";
    try {
        TRenderJob renderer(options);
        FAIL();
    } catch (const std::runtime_error& error) {
        EXPECT_EQ(std::string(error.what())
                      .rfind("not enough memory: the hit counters and a 32768x32768 picture "
                             "(8192x8192 supersampled 4 times) need 19456 MiB, and ",
                             0),
                  0u)
            << error.what();
    }
}

TEST(PhiloxStream, GivesTheKnownAnswersOfPhilox4x32x10AndResumesAtAnyPosition) {
    // Known-answer vectors of Philox4x32-10 published with Random123: counter, key, result.
    struct TVector {
        TPhiloxStream::TGenerator::ctr_type Counter;
        TPhiloxStream::TGenerator::key_type Key;
        std::array<std::uint32_t, 4> Result;
    };
    const TVector vectors[] = {
        {{{0, 0, 0, 0}}, {{0, 0}}, {0x6627e8d5, 0xe169c58d, 0xbc57ac4c, 0x9b00dbd8}},
        {{{0xffffffff, 0xffffffff, 0xffffffff, 0xffffffff}},
         {{0xffffffff, 0xffffffff}},
         {0x408f276d, 0x41c83b0e, 0xa20bc7c6, 0x6d5451fd}},
        {{{0x243f6a88, 0x85a308d3, 0x13198a2e, 0x03707344}},
         {{0xa4093822, 0x299f31d0}},
         {0xd16cfe09, 0x94fdcceb, 0x5001e420, 0x24126ea1}},
    };
    for (const TVector& vector : vectors) {
        const auto result = TPhiloxStream::TGenerator()(vector.Counter, vector.Key);
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(result[i], vector.Result[i]) << std::hex << vector.Key[0] << " word " << i;
    }
    // The stream of key (0, 0) draws the first vector's words, then the next counter's.
    TPhiloxStream stream(0, 0);
    EXPECT_EQ(stream.Next(), 0x6627e8d5 / 4294967296.0);
    for (const std::uint64_t position : {1u, 3u, 4u, 5u, 1000u}) {
        TPhiloxStream from(7, 3), resumed(7, 3, position);
        for (std::uint64_t i = 0; i < position; ++i)
            from.Next();
        EXPECT_EQ(from.Position(), position);
        EXPECT_EQ(resumed.Position(), position);
        EXPECT_EQ(resumed.Next(), from.Next()) << position;
    }
}

TEST(LcgRandom, AdvancingEqualsDrawing) {
    for (std::uint64_t count : {0u, 1u, 2u, 119u, 120u, 65537u, 1000003u}) {
        TLcgRandom drawn(86399999), advanced(86399999);
        for (std::uint64_t i = 0; i < count; ++i)
            drawn.Next();
        advanced.Advance(count);
        EXPECT_EQ(drawn.Seed(), advanced.Seed()) << count;
    }
    // The whole cycle comes back to the start.
    TLcgRandom cycle(5);
    cycle.Advance(std::uint64_t{1} << 32);
    EXPECT_EQ(cycle.Seed(), 5u);
}

TEST_F(LargeRenderTest, OutputsThatNameOneFileAndUnreadableParameterFilesAreRefused) {
    const std::string picture = File("flame.png");
    const std::string params = File("flame.quarn.json");
    ASSERT_EQ(Render({"--seed", "5", "--steps", "1000", "--quiet", "--write-params", params}), 0);
    fs::create_symlink(picture, File("link.png"));
    fs::create_hard_link(params, File("hard.quarn.json"));
    fs::create_hard_link(params, File("params.png"));
    const std::string dotted = (FFolder / "." / "sub" / ".." / "flame.png").string();
    fs::create_directories(FFolder / "sub");
    mkfifo(File("pipe").c_str(), 0600);
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"--out", picture, "--write-params", picture},
         "--write-params " + picture + ": names the same file as --out " + picture},
        {{"--out", dotted, "--write-params", File("link.png")},
         "--write-params " + File("link.png") + ": names the same file as --out " + dotted},
        {{"--params", params, "--out", File("x.png"), "--write-params", File("hard.quarn.json")},
         ""},
        {{"--params", params, "--out", File("params.png")},
         "--out " + File("params.png") + ": names the parameter file that --params reads"},
        {{"--params", FFolder.string()},
         "--params: the parameter file \"" + FFolder.string() +
             "\" is a folder, not a parameter "
             "file"},
        {{"--params", File("pipe")},
         "--params: the parameter file \"" + File("pipe") + "\" is a pipe, not a parameter file"},
        {{"--params", "/dev/zero"},
         "--params: the parameter file \"/dev/zero\" is a device, not a parameter file"}};
    for (const auto& [args, message] : cases) {
        std::string errors;
        std::vector<std::string> line = {"--steps", "1000", "--quiet"};
        line.insert(line.end(), args.begin(), args.end());
        // A hard link to the file read may take the set it rendered.
        EXPECT_EQ(Render(line, &errors), message.empty() ? 0 : 2) << message;
        if (!message.empty()) {
            EXPECT_EQ(errors.substr(0, errors.find('\n')), "quarn-render: " + message);
        }
    }
    EXPECT_FALSE(fs::exists(picture));
}

TEST_F(LargeRenderTest, MemoryIsMeasuredAgainstTheSmallestLimit) {
    // A machine's files in small: the system's view, this process's groups and their mounts.
    const auto write = [this](const std::string& name, const std::string& text) {
        fs::create_directories((FFolder / name).parent_path());
        std::ofstream(FFolder / name) << text;
    };
    write("proc/meminfo", "MemTotal: 100 kB\nMemAvailable:   2097152 kB\nCached: 5 kB\n");
    write("proc/self/cgroup", "4:cpu,memory:/jobs/7\n0::/batch/run\n");
    write("proc/self/mountinfo",
          "30 1 0:26 / /sys/fs/cgroup/unified rw - cgroup2 cgroup2 rw\n"
          "31 1 0:27 /jobs /sys/fs/cgroup/memory rw,relatime - cgroup cgroup rw,memory\n");
    const std::string v2 = "sys/fs/cgroup/unified/batch/";
    const std::string v1 = "sys/fs/cgroup/memory/7/";
    const std::uint64_t MiB = 1 << 20;
    struct TCase {
        std::string V2Max;      // of the group itself; its parent allows 1536 MiB
        std::string V1Limit;    // of the v1 group
        std::uint64_t Expected; // MiB left
        std::string LimitFile;  // what the message names
    };
    const TCase cases[] = {
        // Nothing set: the system's figure.
        {"max", "9223372036854771712", 2048, ""},
        // The group's own limit less what it uses, the inactive page cache not counted.
        {std::to_string(1024 * MiB), "9223372036854771712", 1024 - 300 + 100,
         v2 + "run/memory.max"},
        // A parent's limit binds when it is tighter.
        {std::to_string(4096 * MiB), "9223372036854771712", 1536 - 300 + 100, v2 + "memory.max"},
        {"max", std::to_string(512 * MiB), 512 - 200, v1 + "memory.limit_in_bytes"}};
    for (const TCase& test : cases) {
        SCOPED_TRACE(test.LimitFile);
        write(v2 + "memory.max", std::to_string(1536 * MiB));
        write(v2 + "memory.current", std::to_string(300 * MiB));
        write(v2 + "memory.stat", "anon 5\ninactive_file " + std::to_string(100 * MiB) + "\n");
        write(v2 + "run/memory.max", test.V2Max + "\n");
        write(v2 + "run/memory.current", std::to_string(300 * MiB));
        write(v2 + "run/memory.stat", "inactive_file " + std::to_string(100 * MiB) + "\n");
        write(v1 + "memory.limit_in_bytes", test.V1Limit);
        write(v1 + "memory.usage_in_bytes", std::to_string(200 * MiB));
        if (test.V2Max == "max")
            write(v2 + "memory.max", "max");
        const std::optional<TMemoryHeadroom> headroom = MemoryHeadroom(FFolder);
        ASSERT_TRUE(headroom.has_value());
        EXPECT_EQ(headroom->Bytes, test.Expected * MiB);
        if (test.LimitFile.empty())
            EXPECT_EQ(headroom->Limit, "the system's available memory (MemAvailable)");
        else
            EXPECT_EQ(headroom->Limit, "the memory limit of a control group (" +
                                           (FFolder / test.LimitFile).string() + ")");
    }
    EXPECT_FALSE(MemoryHeadroom(FFolder / "nothing-here").has_value());
}

// Renders as a user that may start no process or thread at all; exits 1 with the message of
// the run's failure.
[[noreturn]] void RenderWithoutThreads(const TRenderOptions& options) {
    const rlimit none{0, 0};
    if (::setgid(65534) != 0 || ::setuid(65534) != 0 || ::setrlimit(RLIMIT_NPROC, &none) != 0)
        std::_Exit(2);
    try {
        TRenderJob renderer(options);
        renderer.Run(nullptr);
    } catch (const std::exception& error) {
        std::fputs(error.what(), stderr);
        std::_Exit(1);
    }
    std::_Exit(0);
}

TEST(Renderer, AThreadTheSystemRefusesEndsTheRunWithItsNumber) {
    if (::geteuid() != 0 && ::getuid() != 0)
        GTEST_SKIP() << "only root can run the case as a user without processes";
    const TRenderOptions options =
        ParseRenderOptions({"--seed", "5", "--steps", "100000", "--threads", "3", "--quiet"});
    EXPECT_EXIT(RenderWithoutThreads(options), ::testing::ExitedWithCode(1),
                "^could not start thread 1 of 3 \\(--threads 3\\): Resource temporarily "
                "unavailable$");
}

TEST_F(LargeRenderTest, ARenderReportsItsProgressAndStopsWhenAsked) {
    for (const char* threads : {"1", "2"}) {
        SCOPED_TRACE(threads);
        TRenderJob job(ParseRenderOptions(
            {"--seed", "5", "--steps", "2000000000", "--threads", threads, "--quiet"}));
        std::stop_source stop;
        std::vector<double> fractions;
        const auto progress = [&](const TRenderProgress& now) {
            fractions.push_back(now.Fraction);
            if (fractions.size() == 3)
                stop.request_stop();
        };
        EXPECT_THROW(job.Run(progress, stop.get_token()), ERenderCancelled);
        ASSERT_EQ(fractions.size(), 3u);
        EXPECT_TRUE(std::is_sorted(fractions.begin(), fractions.end()));
        EXPECT_GT(fractions.back(), 0.0);
        EXPECT_LT(fractions.back(), 0.01);
    }
}

TEST_F(LargeRenderTest, ASupersampledRenderIsTheLargeRenderAveragedInBlocks) {
    struct TCase {
        int Factor;
        const char* Threads;
    };
    for (const TCase test : {TCase{2, "1"}, TCase{3, "2"}, TCase{4, "1"}}) {
        SCOPED_TRACE(test.Factor);
        const int width = 37, height = 23, steps = 40000;
        const std::string n = std::to_string(test.Factor);
        TRenderJob supersampled(ParseRenderOptions(
            {"--seed", "42", "--size", std::to_string(width) + "x" + std::to_string(height),
             "--steps", std::to_string(steps), "--supersample", n, "--threads", test.Threads,
             "--maps", "ifs01,at01", "--quiet"}));
        supersampled.Run();
        TRenderJob large(ParseRenderOptions(
            {"--seed", "42", "--size",
             std::to_string(width * test.Factor) + "x" + std::to_string(height * test.Factor),
             "--steps", std::to_string(steps * test.Factor * test.Factor), "--threads",
             test.Threads, "--maps", "ifs01,at01", "--quiet"}));
        large.Run();
        const TPixelGraphic& picture = supersampled.Image();
        ASSERT_EQ(picture.Width(), width);
        ASSERT_EQ(picture.Height(), height);
        EXPECT_EQ(supersampled.UsedParameters().Params.ImageWidth, width);
        const int count = test.Factor * test.Factor;
        int differing = 0, lit = 0;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                int sums[3] = {0, 0, 0};
                for (int dy = 0; dy < test.Factor; ++dy)
                    for (int dx = 0; dx < test.Factor; ++dx) {
                        const TColor color =
                            large.Image().GetPixelColor(x * test.Factor + dx, y * test.Factor + dy);
                        sums[0] += GetRValue(color);
                        sums[1] += GetGValue(color);
                        sums[2] += GetBValue(color);
                    }
                const TColor expected =
                    RGB((sums[0] + count / 2) / count, (sums[1] + count / 2) / count,
                        (sums[2] + count / 2) / count);
                differing += picture.GetPixelColor(x, y) != expected;
                lit += expected != 0;
            }
        EXPECT_EQ(differing, 0);
        EXPECT_GT(lit, 20);
    }
}

TEST_F(LargeRenderTest, AParameterFileAloneRepeatsItsRunAndKeepsItsDensityAtAnySize) {
    const std::string params = File("run.quarn.json");
    const std::string first = File("first.bmp");
    ASSERT_EQ(Render({"--seed", "4321", "--size", "90x60", "--steps", "123457", "--tick-every",
                      "997", "--maps", "ifs01,at01", "--rotate", "ifs01,at01", "--out", first,
                      "--write-params", params, "--quiet"}),
              0);
    const TParameterFile written = TParameterFile::Load(params);
    EXPECT_EQ(written.PlottedSteps, 123457);
    EXPECT_EQ(written.TickEvery, 997);
    const std::string again = File("again.bmp");
    ASSERT_EQ(Render({"--params", params, "--out", again, "--quiet"}), 0);
    EXPECT_TRUE(Contents(first) == Contents(again));

    struct TCase {
        std::vector<std::string> Args;
        std::int32_t Steps;
        std::int64_t TickEvery;
    };
    const TCase cases[] = {{{"--size", "180x120"}, 493828, 997},
                           {{"--size", "45x30", "--tick-every", "5"}, 30864, 5},
                           {{"--size", "180x120", "--steps", "1000"}, 1000, 997},
                           {{"--density", "2"}, 10800, 997}};
    for (const TCase& test : cases) {
        std::vector<std::string> line = {"--params", params};
        line.insert(line.end(), test.Args.begin(), test.Args.end());
        const TRenderOptions options = ParseRenderOptions(line);
        EXPECT_EQ(options.Steps, test.Steps) << test.Args[0] << " " << test.Args[1];
        EXPECT_EQ(options.TickEvery, test.TickEvery);
    }
}
