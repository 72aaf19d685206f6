#pragma once

#include <string>
#include <sys/stat.h>

// What a file that is not a regular one is, for the messages that refuse it.
inline std::string FileKind(mode_t mode) {
    if (S_ISDIR(mode))
        return "a folder";
    if (S_ISFIFO(mode))
        return "a pipe";
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return "a device";
    if (S_ISSOCK(mode))
        return "a socket";
    return "not a regular file";
}
