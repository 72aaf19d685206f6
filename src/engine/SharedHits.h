#pragma once

#include "engine/FractalEngine.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

// The hit counters and latest-hit keys of one picture, which many orbits plot into at once from
// the threads of one process. Neither depends on the order the orbits run in: a counter takes
// increments until it reaches the hit limit, and a pixel's key names the highest-numbered orbit
// that hit it and that orbit's latest group there. Pixels lie row by row, as in the picture.
class TSharedHits {
public:
    using TCounterWidth = TFractalEngine::TCounterWidth;
    // std::bad_alloc when the memory cannot be had.
    TSharedHits(int width, int height, TCounterWidth counters);
    static std::size_t Bytes(int width, int height, TCounterWidth counters);

    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    std::size_t Pixels() const { return static_cast<std::size_t>(FWidth) * FHeight; }
    TCounterWidth CounterWidth() const {
        return FNarrow ? TCounterWidth::Narrow16 : TCounterWidth::Wide32;
    }
    std::size_t PixelIndex(int column, int row) const {
        return static_cast<std::size_t>(row) * FWidth + column;
    }

    // A pixel's key: 0 when no orbit hit it.
    static std::uint32_t KeyOf(int orbit, int group) {
        return (static_cast<std::uint32_t>(orbit) + 1) << 2 | static_cast<std::uint32_t>(group);
    }
    static int GroupOfKey(std::uint32_t key) {
        return key == 0 ? TFractalEngine::NoGroup : static_cast<int>(key & 3);
    }

    // One hit of `group` on `pixel` by the orbit of `key`. Concurrent when other threads plot
    // at the same time.
    template <bool Concurrent>
    void Plot(std::size_t pixel, int group, std::int32_t increment, std::uint32_t key) {
        if (FNarrow)
            AddCapped<Concurrent>(FNarrow[pixel * 3 + group], increment);
        else
            AddCapped<Concurrent>(FWide[pixel * 3 + group], increment);
        std::uint32_t& slot = FKeys[pixel];
        if constexpr (Concurrent) {
            std::atomic_ref<std::uint32_t> shared(slot);
            std::uint32_t old = shared.load(std::memory_order_relaxed);
            // A later hit of the same orbit replaces its earlier one; a lower orbit never wins.
            while (old != key && (old >> 2) <= (key >> 2) &&
                   !shared.compare_exchange_weak(old, key, std::memory_order_relaxed)) {
            }
        } else if ((slot >> 2) <= (key >> 2)) {
            slot = key;
        }
    }

    std::array<std::int32_t, 3> HitCounters(std::size_t pixel) const {
        const std::size_t i = pixel * 3;
        if (FNarrow)
            return {FNarrow[i], FNarrow[i + 1], FNarrow[i + 2]};
        return {FWide[i], FWide[i + 1], FWide[i + 2]};
    }
    std::uint32_t Key(std::size_t pixel) const { return FKeys[pixel]; }
    int LatestGroup(std::size_t pixel) const { return GroupOfKey(FKeys[pixel]); }
    void Clear();

    // The arrays themselves, for saving and restoring; one of the two counter arrays is empty.
    std::span<std::uint16_t> NarrowCounters();
    std::span<std::int32_t> WideCounters();
    std::span<std::uint32_t> Keys() { return {FKeys.get(), Pixels()}; }
    std::span<const std::uint16_t> NarrowCounters() const;
    std::span<const std::int32_t> WideCounters() const;
    std::span<const std::uint32_t> Keys() const { return {FKeys.get(), Pixels()}; }

    // Adds the hits of other orbits, `from`, into `into`: counters add and stop where
    // consecutive increments of `increment` would have stopped, keys take the larger. Any part
    // of the arrays, in any order: the result is that of one render of all the orbits.
    static void AddCounters(std::span<const std::uint16_t> from, std::span<std::uint16_t> into,
                            std::int32_t increment);
    static void AddCounters(std::span<const std::int32_t> from, std::span<std::int32_t> into,
                            std::int32_t increment);
    static void AddKeys(std::span<const std::uint32_t> from, std::span<std::uint32_t> into);

private:
    template <bool Concurrent, typename T>
    static void AddCapped(T& counter, std::int32_t increment) {
        if constexpr (Concurrent) {
            std::atomic_ref<T> shared(counter);
            T old = shared.load(std::memory_order_relaxed);
            while (old < TFractalEngine::HitLimit &&
                   !shared.compare_exchange_weak(old, Added(old, increment),
                                                 std::memory_order_relaxed)) {
            }
        } else if (counter < TFractalEngine::HitLimit) {
            counter = Added(counter, increment);
        }
    }
    static std::uint16_t Added(std::uint16_t counter, std::int32_t increment) {
        return static_cast<std::uint16_t>(counter + increment);
    }
    static std::int32_t Added(std::int32_t counter, std::int32_t increment);

    int FWidth;
    int FHeight;
    std::unique_ptr<std::uint16_t[]> FNarrow;
    std::unique_ptr<std::int32_t[]> FWide;
    std::unique_ptr<std::uint32_t[]> FKeys;
};
