#include "render/FrameManifest.h"

#include "export/ReplacingFile.h"

#include <nlohmann/json.hpp>
#include <zlib.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <utility>

namespace {

constexpr std::string_view FormatName = "quarn-ifs frames";
// Far above a real record (about 60 bytes a frame).
constexpr std::uintmax_t MaxRecordBytes = std::uintmax_t{64} << 20;

} // namespace

TFrameManifest::TFrameManifest(std::string fileName, std::string settings)
    : FFileName(std::move(fileName)), FSettings(std::move(settings)) {
    std::ifstream in(FFileName, std::ios::binary);
    if (!in)
        return;
    std::string text;
    text.resize(MaxRecordBytes + 1);
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<std::size_t>(in.gcount()));
    const nlohmann::json record = nlohmann::json::parse(text, nullptr, false);
    try {
        if (text.size() > MaxRecordBytes || record.is_discarded() ||
            record.at("format") != FormatName || record.at("settings") != FSettings) {
            FStartedAfresh = true;
            return;
        }
        for (const nlohmann::json& frame : record.at("frames"))
            FFrames[frame.at("frame").get<int>()] = {frame.at("bytes").get<std::uintmax_t>(),
                                                     frame.at("crc32").get<std::uint32_t>()};
    } catch (const nlohmann::json::exception&) {
        // A damaged record only costs the frames it would have spared.
        FFrames.clear();
        FStartedAfresh = true;
    }
}

bool TFrameManifest::CheckFile(const std::string& fileName, TFileCheck& check) {
    std::ifstream in(fileName, std::ios::binary);
    if (!in)
        return false;
    check = {};
    std::array<char, 1 << 16> block{};
    uLong crc = crc32(0, nullptr, 0);
    while (in) {
        in.read(block.data(), static_cast<std::streamsize>(block.size()));
        const auto count = static_cast<uInt>(in.gcount());
        crc = crc32(crc, reinterpret_cast<const Bytef*>(block.data()), count);
        check.Bytes += count;
    }
    check.Crc32 = static_cast<std::uint32_t>(crc);
    return in.eof();
}

bool TFrameManifest::Complete(int frame, const std::string& frameFile) const {
    const auto recorded = FFrames.find(frame);
    TFileCheck check;
    return recorded != FFrames.end() && CheckFile(frameFile, check) && check == recorded->second;
}

void TFrameManifest::Record(int frame, const std::string& frameFile) {
    TFileCheck check;
    if (!CheckFile(frameFile, check))
        throw std::runtime_error("cannot read back the frame \"" + frameFile +
                                 "\": " + std::strerror(errno));
    FFrames[frame] = check;
    Save();
}

void TFrameManifest::Save() const {
    nlohmann::json frames = nlohmann::json::array();
    for (const auto& [frame, check] : FFrames)
        frames.push_back({{"frame", frame}, {"bytes", check.Bytes}, {"crc32", check.Crc32}});
    const nlohmann::json record = {
        {"format", FormatName}, {"settings", FSettings}, {"frames", frames}};
    TReplacingFile file(FFileName);
    file.Stream() << record.dump(1) << "\n";
    file.Commit();
}
