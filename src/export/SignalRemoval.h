#pragma once

#include <filesystem>

// While it lives, the file at `path` is removed when SIGINT, SIGTERM or SIGHUP ends the process;
// the signal then takes its default course. Signals the program ignores or handles itself are
// left alone: such a program ends its saves in its own way.
class TSignalRemoval {
public:
    explicit TSignalRemoval(const std::filesystem::path& path);
    ~TSignalRemoval();
    TSignalRemoval(const TSignalRemoval&) = delete;
    TSignalRemoval& operator=(const TSignalRemoval&) = delete;

private:
    // -1 when every slot is taken or the path is too long: the file is then not removed.
    int FSlot = -1;
};
