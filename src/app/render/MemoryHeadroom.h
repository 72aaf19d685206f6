#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

// How much more memory this process may take, and which limit says so.
struct TMemoryHeadroom {
    std::uint64_t Bytes = 0;
    // The limit, as a message names it: the system's available memory, or the memory limit of
    // a control group with the file that sets it.
    std::string Limit;
};

// The smallest of the system's MemAvailable and the room left under every memory limit of the
// control groups this process is in (cgroup v2 memory.max, v1 memory.limit_in_bytes), up to
// the root of their hierarchy: a container or a batch job kills a process beyond its limit
// however much memory the machine has. None where the system says nothing. Every file is read
// below `root`, which is "/" but for tests.
std::optional<TMemoryHeadroom> MemoryHeadroom(const std::filesystem::path& root = "/");
