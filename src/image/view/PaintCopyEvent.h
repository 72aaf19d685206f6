#pragma once

#include "image/PixelGraphic.h"

#include <QEvent>

#include <cstdint>
#include <memory>

// Posted by a paint-copy thread to its view when the copy is finished; the view takes the copy
// over, or drops it with the event when the build it belongs to has been stopped or replaced.
class TPaintCopyEvent : public QEvent {
public:
    static constexpr QEvent::Type EventType = static_cast<QEvent::Type>(QEvent::User + 0x400);

    TPaintCopyEvent(std::uint64_t build, std::unique_ptr<TPixelGraphic> copy)
        : QEvent(EventType), Build(build), Copy(std::move(copy)) {}

    const std::uint64_t Build;
    std::unique_ptr<TPixelGraphic> Copy;
};
