#include "app/render/MemoryHeadroom.h"

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string_view>
#include <vector>

namespace {

namespace fs = std::filesystem;

// cgroup v1 writes a page-rounded 2^63 - 1 for no limit.
constexpr std::uint64_t NoLimitFrom = std::uint64_t{1} << 62;

// One kind of control-group hierarchy: where its files are and what they are called.
struct THierarchy {
    fs::path Mount; // the folder it is mounted on, below the root
    fs::path Group; // this process's group, below Mount
    const char* LimitFile;
    const char* UsageFile;
    // Page cache the kernel takes back before it kills: usage less this is what counts.
    const char* InactiveFileKey;
};

std::optional<std::uint64_t> ReadNumber(const fs::path& file) {
    std::ifstream in(file);
    std::uint64_t value = 0;
    if (!(in >> value))
        return std::nullopt; // missing, or "max"
    return value;
}

// The number after `key` on its line ("MemAvailable: 123 kB", "inactive_file 123").
std::optional<std::uint64_t> StatValue(const fs::path& file, std::string_view key) {
    std::ifstream in(file);
    for (std::string line; std::getline(in, line);) {
        std::istringstream fields(line);
        std::string name;
        std::uint64_t value = 0;
        if (fields >> name >> value && name == key)
            return value;
    }
    return std::nullopt;
}

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::istringstream in(text);
    for (std::string part; std::getline(in, part, separator);)
        parts.push_back(part);
    return parts;
}

// This process's group in each hierarchy, from /proc/self/cgroup: "0::PATH" for cgroup v2,
// "N:memory,...:PATH" for the v1 memory controller.
void FindGroups(const fs::path& root, std::optional<std::string>& v2,
                std::optional<std::string>& v1) {
    std::ifstream in(root / "proc/self/cgroup");
    for (std::string line; std::getline(in, line);) {
        const std::size_t first = line.find(':');
        const std::size_t second = line.find(':', first + 1);
        if (first == std::string::npos || second == std::string::npos)
            continue;
        const std::string controllers = line.substr(first + 1, second - first - 1);
        const std::string path = line.substr(second + 1);
        if (line.substr(0, first) == "0" && controllers.empty())
            v2 = path;
        for (const std::string& controller : Split(controllers, ','))
            if (controller == "memory")
                v1 = path;
    }
}

// The hierarchies mounted here, from /proc/self/mountinfo; a mount shows the part of its
// hierarchy below its own root (a container sees only its own subtree).
std::vector<THierarchy> MountedHierarchies(const fs::path& root) {
    std::optional<std::string> v2Group, v1Group;
    FindGroups(root, v2Group, v1Group);
    std::vector<THierarchy> found;
    std::ifstream in(root / "proc/self/mountinfo");
    for (std::string line; std::getline(in, line);) {
        const std::vector<std::string> fields = Split(line, ' ');
        std::size_t dash = 0;
        while (dash < fields.size() && fields[dash] != "-")
            ++dash;
        if (fields.size() < 5 || dash + 3 > fields.size())
            continue;
        const std::string& mountRoot = fields[3];
        const std::string& mountPoint = fields[4];
        const std::string& type = fields[dash + 1];
        const std::vector<std::string> options = Split(fields[dash + 3], ',');
        const bool memoryV1 = type == "cgroup" &&
                              std::find(options.begin(), options.end(), "memory") != options.end();
        const std::optional<std::string>& group =
            type == "cgroup2" ? v2Group : (memoryV1 ? v1Group : std::nullopt);
        if (!group)
            continue;
        // The group's path relative to what the mount shows of the hierarchy.
        fs::path inside = fs::path(*group).lexically_relative(mountRoot);
        if (inside.empty() || *inside.begin() == "..")
            inside = ".";
        const fs::path mount = root / fs::path(mountPoint).relative_path();
        if (type == "cgroup2")
            found.push_back({mount, inside, "memory.max", "memory.current", "inactive_file"});
        else
            found.push_back({mount, inside, "memory.limit_in_bytes", "memory.usage_in_bytes",
                             "total_inactive_file"});
    }
    return found;
}

void TakeSmaller(std::optional<TMemoryHeadroom>& best, std::uint64_t bytes, std::string limit) {
    if (!best || bytes < best->Bytes)
        best = TMemoryHeadroom{bytes, std::move(limit)};
}

} // namespace

std::optional<TMemoryHeadroom> MemoryHeadroom(const fs::path& root) {
    std::optional<TMemoryHeadroom> best;
    if (const std::optional<std::uint64_t> kibibytes =
            StatValue(root / "proc/meminfo", "MemAvailable:"))
        TakeSmaller(best, *kibibytes * 1024, "the system's available memory (MemAvailable)");
    for (const THierarchy& hierarchy : MountedHierarchies(root)) {
        // Every group from this process's up to the hierarchy's root limits it.
        for (fs::path group = hierarchy.Group;; group = group.parent_path()) {
            const fs::path folder = (hierarchy.Mount / group).lexically_normal();
            const std::optional<std::uint64_t> limit = ReadNumber(folder / hierarchy.LimitFile);
            if (limit && *limit < NoLimitFrom) {
                std::uint64_t used = ReadNumber(folder / hierarchy.UsageFile).value_or(0);
                used -= std::min(
                    used, StatValue(folder / "memory.stat", hierarchy.InactiveFileKey).value_or(0));
                TakeSmaller(best, *limit - std::min(*limit, used),
                            "the memory limit of a control group (" +
                                (folder / hierarchy.LimitFile).string() + ")");
            }
            if (group.empty() || group == "." || group == group.parent_path())
                break;
        }
    }
    return best;
}
