#include "app/render/RenderCommand.h"
#include "app/render/RenderOptions.h"
#include "render/RenderJob.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

class ResumableRenderTest : public ::testing::Test {
protected:
    void SetUp() override {
        FFolder = fs::temp_directory_path() /
                  ("quarn-resumable-" + std::to_string(::getpid()) + "-" +
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

int Render(const std::vector<std::string>& args, std::string* errors = nullptr) {
    std::ostringstream out, err;
    const int code = RunRenderCommand(args, out, err);
    if (errors)
        *errors = err.str();
    return code;
}

// A set with turning rotations: a resumed orbit that lost a tick would show it.
std::vector<std::string> Render400(std::vector<std::string> more) {
    std::vector<std::string> args = {"--seed",     "4242",     "--size", "160x120",      "--maps",
                                     "ifs01,at01", "--rotate", "ifs01",  "--tick-every", "1000",
                                     "--orbits",   "6",        "--quiet"};
    args.insert(args.end(), more.begin(), more.end());
    return args;
}

// Runs a render, interrupting it at its first report of progress, and resumes it until done.
// Returns the interruptions.
int RenderWithInterruptions(const TRenderOptions& options, const std::string& stateFile,
                            std::string& picture) {
    std::atomic<bool> interrupt{false};
    const TRenderProgressHook interruptSoon = [&](const TRenderProgress&) { interrupt = true; };
    int interruptions = 0;
    std::unique_ptr<TRenderJob> job = std::make_unique<TRenderJob>(options);
    for (;;) {
        try {
            job->Run(interruptSoon, {}, {stateFile, 1000.0, &interrupt});
            break;
        } catch (const ERenderInterrupted&) {
            ++interruptions;
            interrupt = false;
            TRenderState state = LoadRenderState(stateFile, std::size_t{1} << 30);
            TRenderSettings settings = ResumedRenderSettings(state);
            settings.Threads = options.Threads;
            job = std::make_unique<TRenderJob>(settings, std::move(state));
        }
    }
    std::ostringstream bytes;
    job->Image().SaveImageStream(bytes);
    picture = bytes.str();
    return interruptions;
}

} // namespace

TEST_F(ResumableRenderTest, AnInterruptedRenderResumedGivesTheUninterruptedPicture) {
    const TRenderOptions options = ParseRenderOptions(Render400({"--steps", "6000000"}));
    std::string uninterrupted;
    {
        TRenderJob job(options);
        job.Run();
        std::ostringstream bytes;
        job.Image().SaveImageStream(bytes);
        uninterrupted = bytes.str();
    }
    // Interrupted wherever the progress reports fall, on one thread and on three.
    for (const int threads : {1, 3}) {
        TRenderOptions run = options;
        run.Threads = threads;
        run.SavesState = true;
        std::string picture;
        const int interruptions =
            RenderWithInterruptions(run, File("state-" + std::to_string(threads)), picture);
        EXPECT_GE(interruptions, 1) << threads << " threads";
        EXPECT_EQ(picture, uninterrupted)
            << threads << " threads, " << interruptions << " interruptions";
    }
}

TEST_F(ResumableRenderTest, ARenderTakenFurtherEqualsOneRunOfAllItsSteps) {
    ASSERT_EQ(Render(Render400({"--steps", "400000", "--checkpoint", File("half.qstate")})), 0);
    ASSERT_EQ(
        Render({"--resume", File("half.qstate"), "--steps", "800000", "--threads", "2", "--out",
                File("resumed.png"), "--write-params", File("resumed.json"), "--quiet"}),
        0);
    ASSERT_EQ(Render(Render400({"--steps", "800000", "--out", File("whole.png"), "--write-params",
                                File("whole.json")})),
              0);
    EXPECT_EQ(Contents(File("resumed.png")), Contents(File("whole.png")));
    EXPECT_EQ(Contents(File("resumed.json")), Contents(File("whole.json")));
    std::string errors;
    EXPECT_EQ(Render({"--resume", File("half.qstate"), "--steps", "399999", "--quiet"}, &errors),
              2);
    EXPECT_NE(errors.find("the state has reached 400000 steps"), std::string::npos) << errors;
}

TEST_F(ResumableRenderTest, SharesMergedEqualTheSingleRunAndForeignSharesAreRefused) {
    ASSERT_EQ(
        Render(Render400({"--steps", "600000", "--threads", "2", "--out", File("single.png")})), 0);
    const std::pair<const char*, const char*> shares[] = {
        {"0:2", "a"}, {"2:5", "b"}, {"5:6", "c"}, {"1:3", "overlap"}};
    for (const auto& [range, name] : shares)
        ASSERT_EQ(Render(Render400(
                      {"--steps", "600000", "--orbit-range", range, "--state-out", File(name)})),
                  0)
            << range;
    ASSERT_EQ(Render(Render400({"--steps", "600000", "--seed", "99", "--orbit-range", "5:6",
                                "--state-out", File("other-set")})),
              0);
    ASSERT_EQ(Render({"--merge", File("c"), File("a"), File("b"), "--out", File("merged.png"),
                      "--quiet"}),
              0);
    EXPECT_EQ(Contents(File("merged.png")), Contents(File("single.png")));

    const std::pair<std::vector<std::string>, std::string> refused[] = {
        {{File("a"), File("overlap"), File("c")}, "both hold orbit 1"},
        {{File("a"), File("c")}, "no state file holds the orbits 2 to 4 of the 6 orbits"},
        {{File("a"), File("b"), File("other-set")},
         "is of another render than \"" + File("a") + "\": its set, settings or view differ"},
        {{File("a"), File("b"), File("no-such-state")}, File("no-such-state")},
    };
    for (const auto& [files, message] : refused) {
        std::vector<std::string> args = {"--merge"};
        args.insert(args.end(), files.begin(), files.end());
        args.insert(args.end(), {"--out", File("refused.png")});
        std::string errors;
        EXPECT_EQ(Render(args, &errors), 2) << message;
        EXPECT_NE(errors.find(message), std::string::npos) << errors;
        EXPECT_FALSE(fs::exists(File("refused.png")));
    }
}

TEST_F(ResumableRenderTest, ADamagedStateIsRefusedBeforeAnyWork) {
    ASSERT_EQ(Render(Render400({"--steps", "200000", "--state-out", File("good")})), 0);
    const std::string good = Contents(File("good"));
    std::ofstream(File("truncated"), std::ios::binary) << good.substr(0, good.size() / 2);
    std::string flipped = good;
    flipped[flipped.size() / 3] ^= 0x10;
    std::ofstream(File("flipped"), std::ios::binary) << flipped;
    for (const char* name : {"truncated", "flipped"}) {
        std::string errors;
        EXPECT_EQ(Render({"--resume", File(name), "--out", File("out.png"), "--quiet"}, &errors), 2)
            << name;
        EXPECT_NE(errors.find("the state file \"" + File(name) + "\""), std::string::npos)
            << errors;
        EXPECT_FALSE(fs::exists(File("out.png")));
    }
}
