#include "render/RenderState.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <limits>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

namespace {

namespace fs = std::filesystem;
using TCounterWidth = TSharedHits::TCounterWidth;
using TBytes = std::vector<std::uint8_t>;

constexpr std::size_t Plenty = std::size_t{1} << 30;
constexpr std::string_view Parameters = "{\"format\": \"quarn-ifs parameters\", \"version\": 1}\n";

// Where the fields of SmallState's file lie.
constexpr std::size_t VersionAt = 16, WidthAt = 24, HeightAt = 28, TransparentAt = 36, StepsAt = 37,
                      OrbitsAt = 45, EndOrbitAt = 53, DrawClockAt = 57, ParametersAt = 74;
constexpr std::size_t OrbitStatesAt = ParametersAt + 4 + Parameters.size();
constexpr std::size_t OrbitStateBytes = 189;
constexpr std::size_t CounterWidthAt = OrbitStatesAt + 3 * OrbitStateBytes;
constexpr std::size_t HeaderLength = CounterWidthAt + 1;

// Values that a copy through decimals or floats would change.
TOrbitRunState OrbitState(int orbit) {
    TOrbitRunState state{.Phase = static_cast<TOrbitRunState::TPhase>(orbit % 3),
                         .X = -0.0,
                         .Y = 5e-324 * (orbit + 1),
                         .Z = std::numeric_limits<double>::infinity(),
                         .NextZ = 0.1 + 0.2 * orbit,
                         .ShadowX = -1.0 / 3.0,
                         .ShadowY = 1.7976931348623157e308,
                         .ShadowZ = 2.2250738585072014e-308,
                         .LogSum = -123.456 * orbit,
                         .SampleCount = 1e9 + orbit,
                         .StepCount = 2147483647 - orbit,
                         .Tick = -orbit,
                         .Lyapunov = -0.25,
                         .StepsPastCeiling = (std::int64_t{1} << 40) + orbit,
                         .StreamPosition = 0xfedcba9876543210ull - orbit,
                         .UntilTick = -(std::int64_t{1} << 50),
                         .UntilHook = 977};
    for (int i = 0; i < 6; ++i) {
        state.RotationAngles[i] = std::nextafter(i * 0.5, 10.0);
        state.RotationTicks[i] = (orbit + 1) * -1000 * (i + 1);
    }
    return state;
}

// Every field away from its default.
TRenderState SampleState(TCounterWidth counters, int width, int height, int orbits, int first,
                         int end) {
    TRenderState state{.Parameters = std::string(Parameters),
                       .Width = width,
                       .Height = height,
                       .Supersample = 3,
                       .Transparent = true,
                       .Steps = (std::int64_t{1} << 62) - 5,
                       .Orbits = orbits,
                       .FirstOrbit = first,
                       .EndOrbit = end,
                       .DrawClock = 86399999,
                       .KeepCoefficients = false,
                       .NextDrawClock = 12345,
                       .RejectedSets = 7,
                       .CoefficientSets = 2147483647,
                       .OrbitStates = {},
                       .Hits = std::make_unique<TSharedHits>(width, height, counters)};
    for (int orbit = first; orbit < end; ++orbit)
        state.OrbitStates.push_back(OrbitState(orbit));
    std::mt19937 random(width * 7919 + height);
    std::ranges::generate(state.Hits->NarrowCounters(), [&] { return random(); });
    std::ranges::generate(state.Hits->WideCounters(), [&] { return random(); });
    std::ranges::generate(state.Hits->Keys(), [&] { return random(); });
    return state;
}

// 4x3 narrow counters, orbits 1 to 3 of 5.
TRenderState SmallState() {
    return SampleState(TCounterWidth::Narrow16, 4, 3, 5, 1, 4);
}

auto Scalars(const TRenderState& s) {
    return std::tie(s.Parameters, s.Width, s.Height, s.Supersample, s.Transparent, s.Steps,
                    s.Orbits, s.FirstOrbit, s.EndOrbit, s.DrawClock, s.KeepCoefficients,
                    s.NextDrawClock, s.RejectedSets, s.CoefficientSets);
}

// A field changed with the header's checksum made to match, as a faulty writer would leave it.
template <typename T> std::function<void(TBytes&)> Written(std::size_t at, T value) {
    return [=](TBytes& bytes) {
        const auto put = [&](std::size_t offset, auto number) {
            for (std::size_t i = 0; i < sizeof(number); ++i)
                bytes[offset + i] = static_cast<std::uint8_t>(std::uint64_t(number) >> (8 * i));
        };
        put(at, value);
        put(HeaderLength, static_cast<std::uint32_t>(
                              crc32_z(crc32_z(0, nullptr, 0), bytes.data(), HeaderLength)));
    };
}

std::function<void(TBytes&)> Flipped(std::size_t at) {
    return [=](TBytes& bytes) { bytes.at(at) ^= 0x10; };
}

std::function<void(TBytes&)> Resized(std::size_t size) {
    return [=](TBytes& bytes) { bytes.resize(size); };
}

// Refuses writes beyond `bytes` in any file while it lives, with an error instead of the signal.
class TFileSizeLimit {
public:
    explicit TFileSizeLimit(rlim_t bytes) : FSignal(std::signal(SIGXFSZ, SIG_IGN)) {
        ::getrlimit(RLIMIT_FSIZE, &FOld);
        const rlimit limit{bytes, FOld.rlim_max};
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~TFileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &FOld);
        std::signal(SIGXFSZ, FSignal);
    }
    TFileSizeLimit(const TFileSizeLimit&) = delete;
    TFileSizeLimit& operator=(const TFileSizeLimit&) = delete;

private:
    rlimit FOld{};
    void (*FSignal)(int);
};

class RenderStateFiles : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/quarn-render-state-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        Folder = pattern;
    }
    void TearDown() override { fs::remove_all(Folder); }

    std::string PathOf(const std::string& name) const { return (Folder / name).string(); }
    static TBytes ReadBytes(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return TBytes(std::istreambuf_iterator<char>(in), {});
    }
    static void ExpectRefusal(const std::function<void()>& action, const std::string& path,
                              const std::string& reason) {
        try {
            action();
            ADD_FAILURE() << "not refused";
        } catch (const ERenderState& error) {
            const std::string message = error.what();
            EXPECT_EQ(message.rfind("the state file \"" + path + "\": ", 0), 0u) << message;
            EXPECT_NE(message.find(reason), std::string::npos) << message;
        }
    }

    fs::path Folder;
};

} // namespace

TEST_F(RenderStateFiles, EveryFieldAndEveryCounterReadsBack) {
    const TRenderState cases[] = {
        SmallState(), SampleState(TCounterWidth::Wide32, 37, 23, 3, 0, 3),
        // Counters in many blocks of the frame, and the last orbits of the most.
        SampleState(TCounterWidth::Wide32, 640, 480, 65536, 65534, 65536)};
    for (const TRenderState& written : cases) {
        SCOPED_TRACE(written.Width);
        SaveRenderState(written, PathOf("state.qstate"));
        const TRenderState read = LoadRenderState(PathOf("state.qstate"), Plenty);
        EXPECT_EQ(Scalars(read), Scalars(written));
        EXPECT_EQ(read.OrbitStates, written.OrbitStates);
        EXPECT_TRUE(
            std::ranges::all_of(read.OrbitStates, [](auto& o) { return std::signbit(o.X); }));
        ASSERT_NE(read.Hits, nullptr);
        EXPECT_EQ(read.Hits->CounterWidth(), written.Hits->CounterWidth());
        const TSharedHits& hits = *read.Hits;
        EXPECT_TRUE(std::ranges::equal(hits.NarrowCounters(), written.Hits->NarrowCounters()));
        EXPECT_TRUE(std::ranges::equal(hits.WideCounters(), written.Hits->WideCounters()));
        EXPECT_TRUE(std::ranges::equal(hits.Keys(), written.Hits->Keys()));
    }
}

TEST_F(RenderStateFiles, RefusesWhatItCannotUseAndSaysWhy) {
    SaveRenderState(SmallState(), PathOf("good.qstate"));
    const TBytes good = ReadBytes(PathOf("good.qstate"));
    ASSERT_EQ(good[CounterWidthAt], 16);
    enum class TKind { File, Folder, Pipe };
    struct TCase {
        std::function<void(TBytes&)> Change;
        std::string Reason;
        TKind Kind = TKind::File;
        std::size_t MaxHitBytes = Plenty;
    };
    const TCase cases[] = {
        {Resized(10), "ends at offset 10 inside the field \"magic\""},
        {Resized(40), "ends at offset 40 inside the field \"steps\""},
        {Resized(OrbitStatesAt + OrbitStateBytes + 10), "inside the field \"orbit_states[1].y\""},
        {Resized(HeaderLength), "inside the field \"header_checksum\""},
        {Resized(good.size() - 5), "the counters end early"},
        {Resized(good.size() + 3), "has 3 bytes after the counters"},
        {Flipped(3), "not a render state"},
        {Written(VersionAt, std::uint32_t{2}),
         "its version 2 is unknown; this program reads version 1"},
        {Flipped(DrawClockAt + 1), "the header is damaged (its checksum does not match)"},
        {Flipped(OrbitStatesAt + 100), "the header is damaged"},
        {Flipped(HeaderLength + 2), "the header is damaged"},
        {Flipped((HeaderLength + good.size()) / 2), "the counters are damaged at offset"},
        {Written(OrbitsAt, 0), "the field \"orbits\" at offset 45: 0 is not 1 to 65536"},
        {Written(EndOrbitAt, 6), "the field \"end_orbit\" at offset 53: 6 is not 2 to 5"},
        {Written(StepsAt, std::int64_t{0}), "0 is not 1 to 4611686018427387904"},
        {Written(TransparentAt, std::uint8_t{2}), "\"transparent\" at offset 36: 2 is not 0 to 1"},
        {Written(ParametersAt, 4194305),
         "\"parameters\" at offset 74: 4194305 is not 0 to 4194304"},
        {Written(OrbitStatesAt + 2 * OrbitStateBytes, std::uint8_t{3}),
         "the field \"orbit_states[2].phase\" at offset 505: 3 is not 0 to 2"},
        {Written(CounterWidthAt, std::uint8_t{8}), "8 is not 16 or 32"},
        {Written(CounterWidthAt, std::uint8_t{32}), "the counters end early"},
        {Written(HeightAt, 2), "the counters hold more bytes than its width and height imply"},
        {Written(WidthAt, 65536), "needs 2 MiB for its counters, more than the 1 MiB available",
         TKind::File, std::size_t{3} << 19},
        {Resized(std::size_t{32} << 20),
         "is larger than 21 MiB, more than any state whose "
         "counters fit in the memory available",
         TKind::File, std::size_t{3} << 19},
        {nullptr, "is a folder, not a state file", TKind::Folder},
        {nullptr, "is a pipe, not a state file", TKind::Pipe},
    };
    for (const TCase& test : cases) {
        SCOPED_TRACE(test.Reason);
        const std::string path = PathOf("state.qstate");
        fs::remove(path);
        if (test.Kind == TKind::Folder) {
            fs::create_directory(path);
        } else if (test.Kind == TKind::Pipe) {
            ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
        } else {
            TBytes bytes = good;
            test.Change(bytes);
            std::ofstream(path, std::ios::binary)
                .write(reinterpret_cast<const char*>(bytes.data()),
                       static_cast<std::streamsize>(bytes.size()));
        }
        ExpectRefusal([&] { LoadRenderState(path, test.MaxHitBytes); }, path, test.Reason);
    }
}

TEST_F(RenderStateFiles, AFailedSaveLeavesTheFileAsItWas) {
    struct TCase {
        std::string File;
        std::function<void(TRenderState&)> Change;
        std::string Reason;
        std::optional<rlim_t> FileSizeLimit = {};
    };
    const TCase cases[] = {
        {"missing/state.qstate", nullptr, "No such file or directory"},
        {"state.qstate", nullptr, "File too large", 100},
        {"state.qstate", [](TRenderState& state) { state.FirstOrbit = 5; },
         "the field \"first_orbit\" at offset 49: 5 is not 0 to 4"},
        {"state.qstate", [](TRenderState& state) { state.OrbitStates.pop_back(); },
         "the field \"orbit_states\" holds 2 items, not 3"},
        {"state.qstate", [](TRenderState& state) { state.Height = 4; },
         "its counters do not have its width and height"},
    };
    const std::string old = "the state before";
    for (const TCase& test : cases) {
        SCOPED_TRACE(test.Reason);
        const std::string path = PathOf(test.File);
        const bool folderExists = fs::exists(fs::path(path).parent_path());
        if (folderExists)
            std::ofstream(path) << old;
        TRenderState state = SmallState();
        if (test.Change)
            test.Change(state);
        ExpectRefusal(
            [&] {
                std::optional<TFileSizeLimit> limit;
                if (test.FileSizeLimit)
                    limit.emplace(*test.FileSizeLimit);
                SaveRenderState(state, path);
            },
            path, test.Reason);
        if (folderExists) {
            EXPECT_TRUE(std::ranges::equal(ReadBytes(path), old));
        }
        // No temporary is left behind.
        for (const fs::directory_entry& entry : fs::directory_iterator(Folder))
            EXPECT_EQ(entry.path().filename(), "state.qstate");
    }
}
