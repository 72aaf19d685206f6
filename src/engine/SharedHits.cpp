#include "engine/SharedHits.h"

#include <algorithm>
#include <limits>

namespace {

constexpr std::int64_t Int32Min = std::numeric_limits<std::int32_t>::min();
constexpr std::int64_t Int32Max = std::numeric_limits<std::int32_t>::max();

// The value a counter stops at: the first multiple of a positive increment at or beyond the
// limit, which is where one orbit after another would have stopped it.
std::int64_t Saturated(std::int32_t increment) {
    const std::int64_t limit = TFractalEngine::HitLimit;
    return (limit + increment - 1) / increment * increment;
}

template <typename T>
void AddCountersOf(std::span<const T> from, std::span<T> into, std::int32_t increment) {
    const std::size_t count = std::min(from.size(), into.size());
    const std::int64_t saturated = increment > 0 ? Saturated(increment) : Int32Max;
    for (std::size_t i = 0; i < count; ++i) {
        std::int64_t sum = std::int64_t{into[i]} + from[i];
        if (increment > 0 && sum >= TFractalEngine::HitLimit)
            sum = std::min(sum, saturated);
        into[i] = static_cast<T>(std::clamp(sum, Int32Min, Int32Max));
    }
}

} // namespace

TSharedHits::TSharedHits(int width, int height, TCounterWidth counters)
    : FWidth(width), FHeight(height) {
    const std::size_t pixels = Pixels();
    if (counters == TCounterWidth::Narrow16)
        FNarrow = std::make_unique<std::uint16_t[]>(3 * pixels);
    else
        FWide = std::make_unique<std::int32_t[]>(3 * pixels);
    FKeys = std::make_unique<std::uint32_t[]>(pixels);
}

std::size_t TSharedHits::Bytes(int width, int height, TCounterWidth counters) {
    const std::size_t counterBytes =
        counters == TCounterWidth::Narrow16 ? sizeof(std::uint16_t) : sizeof(std::int32_t);
    return (3 * counterBytes + sizeof(std::uint32_t)) * static_cast<std::size_t>(width) *
           static_cast<std::size_t>(height);
}

std::int32_t TSharedHits::Added(std::int32_t counter, std::int32_t increment) {
    return static_cast<std::int32_t>(
        std::clamp(std::int64_t{counter} + increment, Int32Min, Int32Max));
}

void TSharedHits::Clear() {
    if (FNarrow)
        std::fill_n(FNarrow.get(), 3 * Pixels(), 0);
    else
        std::fill_n(FWide.get(), 3 * Pixels(), 0);
    std::fill_n(FKeys.get(), Pixels(), 0u);
}

std::span<std::uint16_t> TSharedHits::NarrowCounters() {
    return FNarrow ? std::span<std::uint16_t>(FNarrow.get(), 3 * Pixels())
                   : std::span<std::uint16_t>();
}

std::span<std::int32_t> TSharedHits::WideCounters() {
    return FWide ? std::span<std::int32_t>(FWide.get(), 3 * Pixels()) : std::span<std::int32_t>();
}

std::span<const std::uint16_t> TSharedHits::NarrowCounters() const {
    return FNarrow ? std::span<const std::uint16_t>(FNarrow.get(), 3 * Pixels())
                   : std::span<const std::uint16_t>();
}

std::span<const std::int32_t> TSharedHits::WideCounters() const {
    return FWide ? std::span<const std::int32_t>(FWide.get(), 3 * Pixels())
                 : std::span<const std::int32_t>();
}

void TSharedHits::AddCounters(std::span<const std::uint16_t> from, std::span<std::uint16_t> into,
                              std::int32_t increment) {
    AddCountersOf(from, into, increment);
}

void TSharedHits::AddCounters(std::span<const std::int32_t> from, std::span<std::int32_t> into,
                              std::int32_t increment) {
    AddCountersOf(from, into, increment);
}

void TSharedHits::AddKeys(std::span<const std::uint32_t> from, std::span<std::uint32_t> into) {
    const std::size_t count = std::min(from.size(), into.size());
    for (std::size_t i = 0; i < count; ++i)
        into[i] = std::max(into[i], from[i]);
}
