#pragma once

#include <cstdint>
#include <map>
#include <string>

// The record, kept beside an animation's frames, of the frames written whole: each one's size
// and CRC-32, under the settings they were rendered with. A frame counts as done only while its
// file still has that size and checksum, so a run that was stopped goes on where it stopped
// and redoes a frame cut short. A record of other settings, or one that cannot be read, is
// started afresh.
class TFrameManifest {
public:
    // Reads the record `fileName` if there is one of these settings.
    TFrameManifest(std::string fileName, std::string settings);

    // Whether `frameFile` is frame `frame` as it was recorded when written.
    bool Complete(int frame, const std::string& frameFile) const;
    // Notes `frameFile` as frame `frame`, now complete, and writes the record (through a
    // temporary, so that a record is never half written). Throws std::runtime_error naming the
    // file and the reason when it cannot be read or written.
    void Record(int frame, const std::string& frameFile);
    // Whether a record of other settings was found and is being replaced.
    bool StartedAfresh() const { return FStartedAfresh; }

    struct TFileCheck {
        std::uintmax_t Bytes = 0;
        std::uint32_t Crc32 = 0;
        bool operator==(const TFileCheck&) const = default;
    };
    // The size and CRC-32 of a file; false when it cannot be read to its end.
    static bool CheckFile(const std::string& fileName, TFileCheck& check);

private:
    void Save() const;

    std::string FFileName;
    std::string FSettings;
    std::map<int, TFileCheck> FFrames;
    bool FStartedAfresh = false;
};
