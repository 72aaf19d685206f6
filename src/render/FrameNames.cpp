#include "render/FrameNames.h"

#include <cctype>
#include <filesystem>

std::optional<TFrameNames> TFrameNames::Parse(const std::string& pattern) {
    const std::size_t percent = pattern.find('%');
    if (percent == std::string::npos || pattern.find('%', percent + 1) != std::string::npos)
        return std::nullopt;
    std::size_t end = percent + 1;
    int width = 0;
    if (end < pattern.size() && pattern[end] == '0') {
        ++end;
        if (end >= pattern.size() || !std::isdigit(static_cast<unsigned char>(pattern[end])) ||
            pattern[end] == '0')
            return std::nullopt;
        width = pattern[end++] - '0';
    }
    if (end >= pattern.size() || pattern[end] != 'd')
        return std::nullopt;
    TFrameNames names;
    names.FPrefix = pattern.substr(0, percent);
    names.FSuffix = pattern.substr(end + 1);
    names.FWidth = width;
    return names;
}

std::string TFrameNames::Name(int frame) const {
    std::string number = std::to_string(frame);
    if (number.size() < static_cast<std::size_t>(FWidth))
        number.insert(0, static_cast<std::size_t>(FWidth) - number.size(), '0');
    return FPrefix + number + FSuffix;
}

std::string TFrameNames::RecordName() const {
    std::filesystem::path record(FPrefix + FSuffix);
    record.replace_extension(".frames.json");
    return record.string();
}
