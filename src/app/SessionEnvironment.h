#pragma once

#include <filesystem>

// What the toolkit expects of a desktop session, for a program started in a plain X session:
// without a session bus, a connection attempt would launch a bus daemon that outlives the
// program; without a runtime folder, the toolkit warns and makes one that stays behind. The
// object stands in for both while the program runs and removes its folder at the end.
class TSessionEnvironment {
public:
    TSessionEnvironment();
    ~TSessionEnvironment();
    TSessionEnvironment(const TSessionEnvironment&) = delete;
    TSessionEnvironment& operator=(const TSessionEnvironment&) = delete;

    // The runtime folder this object made; empty when the session had one.
    const std::filesystem::path& RuntimeFolder() const { return FRuntimeFolder; }

private:
    std::filesystem::path FRuntimeFolder;
};
