#pragma once

#include <QEvent>

#include <cstdint>

// Posted by a paint-copy thread to its view while it builds: the stage it is in and how far
// that stage has got, for the progress clocks.
class TPaintProgressEvent : public QEvent {
public:
    static constexpr QEvent::Type EventType = static_cast<QEvent::Type>(QEvent::User + 0x401);

    TPaintProgressEvent(std::uint64_t build, int stage, int percent)
        : QEvent(EventType), Build(build), Stage(stage), Percent(percent) {}

    const std::uint64_t Build;
    const int Stage;
    const int Percent;
};
