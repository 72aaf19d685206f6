#pragma once

#include <cerrno>
#include <unistd.h>
#include <utility>

// Owns one open file descriptor and closes it when it goes.
class TFileDescriptor {
public:
    TFileDescriptor() = default;
    explicit TFileDescriptor(int fd) : FFd(fd) {}
    ~TFileDescriptor() { Reset(); }
    TFileDescriptor(const TFileDescriptor&) = delete;
    TFileDescriptor& operator=(const TFileDescriptor&) = delete;

    int Get() const { return FFd; }
    bool IsOpen() const { return FFd >= 0; }
    void Reset(int fd = -1) {
        if (FFd >= 0)
            ::close(FFd);
        FFd = fd;
    }
    // Closes the descriptor; the system's error number when closing reported one, 0 otherwise.
    int Close() {
        const int fd = std::exchange(FFd, -1);
        return fd >= 0 && ::close(fd) != 0 ? errno : 0;
    }

private:
    int FFd = -1;
};
