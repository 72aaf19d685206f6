#pragma once

#include <optional>
#include <string>

// The file names of an animation's frames from a pattern with one printf-like frame number,
// %d or %0Nd ("out/frame%05d.png"), and the name of the record of finished frames beside them
// ("out/frame.frames.json").
class TFrameNames {
public:
    // Nullopt unless the pattern holds exactly one %d or %0Nd (N up to 9) and no other %.
    static std::optional<TFrameNames> Parse(const std::string& pattern);

    std::string Name(int frame) const;
    std::string RecordName() const;

private:
    std::string FPrefix;
    std::string FSuffix;
    int FWidth = 0;
};
