#include "render/RenderQueue.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;

// The queue's events as lines, in the order they came.
class TEventLog {
public:
    TRenderQueueEvents Events() {
        TRenderQueueEvents events;
        events.Started = [this](int id) { Note("started " + std::to_string(id)); };
        events.Progress = [this](int id, const TRenderProgress&) {
            const std::scoped_lock lock(FMutex);
            ++FProgress[id];
        };
        events.Finished = [this](int id, const TRenderResult&, const std::vector<std::string>&) {
            Note("finished " + std::to_string(id));
        };
        events.Failed = [this](int id, const std::string& error) {
            Note("failed " + std::to_string(id) + ": " + error);
        };
        events.Cancelled = [this](int id) { Note("cancelled " + std::to_string(id)); };
        return events;
    }
    // Waits until `count` lines were noted; the lines.
    std::vector<std::string> WaitFor(std::size_t count) {
        std::unique_lock lock(FMutex);
        FChanged.wait_for(lock, std::chrono::seconds(60), [&] { return FLines.size() >= count; });
        return FLines;
    }
    int ProgressOf(int id) {
        const std::scoped_lock lock(FMutex);
        return FProgress[id];
    }

private:
    void Note(const std::string& line) {
        {
            const std::scoped_lock lock(FMutex);
            FLines.push_back(line);
        }
        FChanged.notify_all();
    }
    std::mutex FMutex;
    std::condition_variable FChanged;
    std::vector<std::string> FLines;
    std::map<int, int> FProgress;
};

TRenderRequest Request(const fs::path& file, std::int32_t steps) {
    TRenderRequest request;
    request.Settings.Seed = 42;
    request.Settings.Width = 80;
    request.Settings.Height = 60;
    request.Settings.Steps = steps;
    request.OutFile = file.string();
    return request;
}

std::string Contents(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

} // namespace

TEST(RenderQueue, RendersInTurnAndCancelsWithoutWriting) {
    const fs::path folder = fs::temp_directory_path() / "quarn-render-queue";
    fs::remove_all(folder);
    fs::create_directories(folder);
    std::ofstream(folder / "kept.png") << "an older picture";
    TEventLog log;
    std::vector<std::string> lines;
    {
        TRenderQueue queue(log.Events());
        // Long enough to be cancelled while it runs.
        const int endless = queue.Add(Request(folder / "kept.png", 2000000000));
        const int first = queue.Add(Request(folder / "first.bmp", 50000));
        const int second = queue.Add(Request(folder / "second.bmp", 50000));
        const int failing = queue.Add(Request(folder / "missing" / "x.bmp", 1000));
        EXPECT_EQ(log.WaitFor(1), std::vector<std::string>{"started 1"});
        EXPECT_EQ(queue.Waiting(), (std::vector<int>{first, second, failing}));
        queue.Cancel(second);
        while (log.ProgressOf(endless) < 2)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        queue.Cancel(endless);
        lines = log.WaitFor(7);
    }
    EXPECT_EQ(lines[0], "started 1");
    EXPECT_EQ(lines[1], "cancelled 3");
    EXPECT_EQ(lines[2], "cancelled 1");
    EXPECT_EQ(lines[3], "started 2");
    EXPECT_EQ(lines[4], "finished 2");
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_EQ(lines[5], "started 4");
    EXPECT_EQ(lines[6].rfind("failed 4: ", 0), 0u) << lines[6];
    EXPECT_EQ(Contents(folder / "kept.png"), "an older picture");
    EXPECT_FALSE(fs::exists(folder / "second.bmp"));

    // The queue's picture is the one a render of the same settings saves.
    TRenderJob job(Request(folder / "first.bmp", 50000).Settings);
    job.Run();
    job.Image().SaveImageFile((folder / "direct.bmp").string());
    EXPECT_TRUE(Contents(folder / "first.bmp") == Contents(folder / "direct.bmp"));
    fs::remove_all(folder);
}
