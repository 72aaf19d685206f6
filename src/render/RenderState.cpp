#include "render/RenderState.h"

#include "engine/FractalEngine.h"
#include "engine/ParameterFile.h"
#include "export/FileDescriptor.h"
#include "export/FileKind.h"
#include "export/ReplacingFile.h"
#include "image/StreamErrors.h"
#include "render/StateFields.h"
#include "render/StateHits.h"

#include <zlib.h>
#include <zstd.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <string_view>

// The layout, each field as StateFields.h stores it: the magic, the version and the header's
// length; the fields of the state, its parameter text and the states of its orbits; the counter
// width; the CRC-32 of all the header's bytes before it; then the zstd frame of the hit arrays
// (StateHits.h), which ends the file.

namespace {

constexpr std::string_view Magic = "QUARNRENDERSTATE";
constexpr std::int64_t MaxSide = 65536;
constexpr std::int64_t MaxSupersample = 4;
constexpr std::int64_t MaxSteps = std::int64_t{1} << 62;
constexpr std::int64_t MaxOrbits = 65536;
constexpr std::int64_t MaxClock = TFractalEngine::MillisecondsPerDay - 1;
constexpr std::int64_t MaxCount = std::numeric_limits<std::int32_t>::max();
constexpr std::uint8_t CounterBits[] = {16, 32};

template <typename TFields, typename TOrbit> void VisitOrbit(TFields& fields, TOrbit& orbit) {
    fields.Field("phase", orbit.Phase, 0, static_cast<int>(TOrbitRunState::TPhase::Finished));
    fields.Field("x", orbit.X);
    fields.Field("y", orbit.Y);
    fields.Field("z", orbit.Z);
    fields.Field("next_z", orbit.NextZ);
    fields.Field("shadow_x", orbit.ShadowX);
    fields.Field("shadow_y", orbit.ShadowY);
    fields.Field("shadow_z", orbit.ShadowZ);
    fields.Field("log_sum", orbit.LogSum);
    fields.Field("sample_count", orbit.SampleCount);
    fields.Field("rotation_angles", orbit.RotationAngles);
    fields.Field("rotation_ticks", orbit.RotationTicks);
    fields.Field("step_count", orbit.StepCount);
    fields.Field("tick", orbit.Tick);
    fields.Field("lyapunov", orbit.Lyapunov);
    fields.Field("steps_past_ceiling", orbit.StepsPastCeiling);
    fields.Field("stream_position", orbit.StreamPosition);
    fields.Field("until_tick", orbit.UntilTick);
    fields.Field("until_hook", orbit.UntilHook);
}

// Every field of the header between its length and its checksum, in the order of the file. The
// ranges are checked as the fields are read, so a later range may depend on an earlier field.
template <typename TFields, typename TState, typename TBits>
void VisitHeader(TFields& fields, TState& state, TBits& counterBits) {
    fields.Field("width", state.Width, 1, MaxSide);
    fields.Field("height", state.Height, 1, MaxSide);
    fields.Field("supersample", state.Supersample, 1, MaxSupersample);
    fields.Field("transparent", state.Transparent, 0, 1);
    fields.Field("steps", state.Steps, 1, MaxSteps);
    fields.Field("orbits", state.Orbits, 1, MaxOrbits);
    fields.Field("first_orbit", state.FirstOrbit, 0, state.Orbits - 1);
    fields.Field("end_orbit", state.EndOrbit, state.FirstOrbit + 1, state.Orbits);
    fields.Field("draw_clock", state.DrawClock, 0, MaxClock);
    fields.Field("keep_coefficients", state.KeepCoefficients, 0, 1);
    fields.Field("next_draw_clock", state.NextDrawClock, 0, MaxClock);
    fields.Field("rejected_sets", state.RejectedSets, 0, MaxCount);
    fields.Field("coefficient_sets", state.CoefficientSets, 0, MaxCount);
    fields.Text("parameters", state.Parameters, TParameterFile::MaxFileBytes);
    fields.List("orbit_states", state.OrbitStates, state.EndOrbit - state.FirstOrbit,
                [](auto& orbitFields, auto& orbit) { VisitOrbit(orbitFields, orbit); });
    fields.Choice("counter_width", counterBits, CounterBits);
}

std::uint32_t Checksum(std::span<const std::uint8_t> bytes) {
    return static_cast<std::uint32_t>(crc32_z(crc32_z(0, nullptr, 0), bytes.data(), bytes.size()));
}

constexpr std::size_t MiB = std::size_t{1} << 20;

std::size_t MiBAtLeast(std::size_t bytes) {
    return bytes / MiB + (bytes % MiB != 0 ? 1 : 0);
}

struct TStateHeader {
    TRenderState State;
    TSharedHits::TCounterWidth Counters = TSharedHits::TCounterWidth::Narrow16;
    // Where the hit arrays' frame begins.
    std::size_t End = 0;
};

void CheckMagic(std::span<const std::uint8_t> bytes, TStateReader& reader) {
    const std::size_t present = std::min(bytes.size(), Magic.size());
    if (!std::equal(Magic.begin(), Magic.begin() + static_cast<std::ptrdiff_t>(present),
                    bytes.begin()))
        throw reader.Error("not a render state (it does not begin with \"" + std::string(Magic) +
                           "\")");
    reader.Take("magic", Magic.size());
}

// The damage the checksum finds is reported before any field it may have changed; a file that
// ends inside its header cannot be checked and is reported where it ends. The version comes
// first, as another version's header may be laid out and checked otherwise.
TStateHeader ParseHeader(std::span<const std::uint8_t> bytes, const std::string& name,
                         std::size_t maxHitBytes) {
    TStateReader reader(bytes, name);
    CheckMagic(bytes, reader);
    std::uint32_t version = 0;
    reader.Field("version", version);
    if (version != TRenderState::FormatVersion)
        throw reader.Error("its version " + std::to_string(version) +
                           " is unknown; this program reads version " +
                           std::to_string(TRenderState::FormatVersion));
    std::uint32_t headerLength = 0;
    reader.Field("header_length", headerLength);
    const bool complete =
        headerLength <= bytes.size() && bytes.size() - headerLength >= sizeof(std::uint32_t);
    if (complete && Checksum(bytes.first(headerLength)) !=
                        FromLittleEndian<std::uint32_t>(bytes.subspan(headerLength)))
        throw reader.Error("the header is damaged (its checksum does not match)");

    TStateHeader header;
    std::uint8_t counterBits = 0;
    VisitHeader(reader, header.State, counterBits);
    header.Counters = counterBits == 16 ? TSharedHits::TCounterWidth::Narrow16
                                        : TSharedHits::TCounterWidth::Wide32;
    const std::size_t hitBytes =
        TSharedHits::Bytes(header.State.Width, header.State.Height, header.Counters);
    if (hitBytes > maxHitBytes)
        throw reader.Error("needs " + std::to_string(MiBAtLeast(hitBytes)) +
                           " MiB for its counters, more than the " +
                           std::to_string(maxHitBytes / MiB) + " MiB available");
    if (reader.Offset() != headerLength)
        throw reader.Error("the header is damaged (its fields end at offset " +
                           std::to_string(reader.Offset()) + ", its length says " +
                           std::to_string(headerLength) + ")");
    std::uint32_t checksum = 0;
    reader.Field("header_checksum", checksum);
    header.End = reader.Offset();
    return header;
}

// The header of `state`, refused when the loader would refuse it.
std::vector<std::uint8_t> HeaderBytes(const TRenderState& state, const std::string& name) {
    std::vector<std::uint8_t> bytes(Magic.begin(), Magic.end());
    TStateWriter writer(bytes, name);
    writer.Field("version", TRenderState::FormatVersion);
    const std::size_t headerLengthAt = bytes.size();
    writer.Field("header_length", std::uint32_t{0});
    const std::uint8_t counterBits =
        state.Hits->CounterWidth() == TSharedHits::TCounterWidth::Narrow16 ? 16 : 32;
    VisitHeader(writer, state, counterBits);
    writer.Rewrite(headerLengthAt, static_cast<std::uint32_t>(bytes.size()));
    writer.Field("header_checksum", Checksum(bytes));
    return bytes;
}

// The largest file a state within `maxHitBytes` can be: the largest header (with room to spare
// for each orbit's state) and the frame of incompressible arrays.
std::size_t MaxFileBytes(std::size_t maxHitBytes) {
    constexpr std::size_t OrbitStateRoom = 256;
    constexpr std::size_t MaxHeaderBytes =
        TParameterFile::MaxFileBytes + MaxOrbits * OrbitStateRoom + (std::size_t{1} << 10);
    // Beyond any memory: no limit, with room for the read's one byte more.
    constexpr std::size_t NoLimit = std::numeric_limits<std::size_t>::max() / 2;
    const std::size_t frameBytes = ZSTD_compressBound(maxHitBytes);
    if (ZSTD_isError(frameBytes) || frameBytes > NoLimit - MaxHeaderBytes)
        return NoLimit;
    return frameBytes + MaxHeaderBytes;
}

// The whole of a regular file of at most `maxBytes`; a folder, a pipe that never ends or a device
// that never runs dry is refused at once.
std::vector<std::uint8_t> ReadStateFile(const std::string& fileName, std::size_t maxBytes) {
    // Without O_NONBLOCK the open of a pipe waits for a writer.
    const TFileDescriptor file(
        ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (!file.IsOpen())
        throw StateFileError(fileName, std::string("cannot be opened: ") + std::strerror(errno));
    struct stat status {};
    if (::fstat(file.Get(), &status) != 0)
        throw StateFileError(fileName, std::string("cannot be examined: ") + std::strerror(errno));
    if (!S_ISREG(status.st_mode))
        throw StateFileError(fileName, "is " + FileKind(status.st_mode) + ", not a state file");
    const auto tooLarge = [&] {
        return StateFileError(fileName, "is larger than " + std::to_string(maxBytes / MiB) +
                                            " MiB, more than any state whose counters fit in "
                                            "the memory available");
    };
    if (static_cast<std::uint64_t>(status.st_size) > maxBytes)
        throw tooLarge();
    // One byte more than fstat said tells a file that grew since.
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(status.st_size) + 1);
    std::size_t length = 0;
    for (;;) {
        if (length == bytes.size()) {
            if (length > maxBytes)
                throw tooLarge();
            bytes.resize(std::min(length * 2, maxBytes + 1));
        }
        const ssize_t got = ::read(file.Get(), bytes.data() + length, bytes.size() - length);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            throw StateFileError(fileName, std::string("cannot be read: ") + std::strerror(errno));
        if (got == 0)
            break;
        length += static_cast<std::size_t>(got);
    }
    bytes.resize(length);
    return bytes;
}

} // namespace

void SaveRenderState(const TRenderState& state, const std::string& fileName) {
    if (!state.Hits || state.Hits->Width() != state.Width || state.Hits->Height() != state.Height)
        throw StateFileError(fileName, "its counters do not have its width and height");
    const std::vector<std::uint8_t> header = HeaderBytes(state, fileName);
    try {
        TReplacingFile file(fileName);
        file.Stream().write(reinterpret_cast<const char*>(header.data()),
                            static_cast<std::streamsize>(header.size()));
        WriteHitArrays(*state.Hits, file.Stream(), fileName);
        file.Commit();
    } catch (const EStreamError& error) {
        throw StateFileError(fileName, error.what());
    }
}

TRenderState LoadRenderState(const std::string& fileName, std::size_t maxHitBytes) {
    return ParseRenderState(ReadStateFile(fileName, MaxFileBytes(maxHitBytes)), fileName,
                            maxHitBytes);
}

TRenderState ParseRenderState(std::span<const std::uint8_t> bytes, const std::string& name,
                              std::size_t maxHitBytes) {
    TStateHeader header = ParseHeader(bytes, name, maxHitBytes);
    TRenderState& state = header.State;
    state.Hits = std::make_unique<TSharedHits>(state.Width, state.Height, header.Counters);
    ReadHitArrays(bytes.subspan(header.End), header.End, *state.Hits, name);
    return std::move(state);
}
