#pragma once

#include "engine/ParameterFile.h"

#include <cstddef>
#include <deque>
#include <optional>

// The sets and views a document has shown, oldest first, and which of them it shows now. Back
// and Forward move through them as a browser's history does; what is recorded after a Back
// replaces the entries ahead. Each entry holds everything that decides its picture: settings,
// coefficients, the clock value they were drawn from, view and size.
class TDocumentHistory {
public:
    // The oldest entries go beyond this.
    static constexpr std::size_t Capacity = 200;

    // Makes `entry` the current one, after the current one. An entry that decides the same
    // picture as the current one is not kept twice: Back would then seem to do nothing.
    void Record(const TParameterFile& entry);
    bool Empty() const { return FEntries.empty(); }
    std::size_t Size() const { return FEntries.size(); }
    // The index of the current entry; 0 when empty.
    std::size_t Position() const { return FCurrent; }
    const TParameterFile& Current() const { return FEntries[FCurrent]; }
    bool CanGoBack() const { return FCurrent > 0; }
    bool CanGoForward() const { return FCurrent + 1 < FEntries.size(); }
    // The entry before or after the current one, which becomes current; nothing at the ends.
    std::optional<TParameterFile> Back();
    std::optional<TParameterFile> Forward();

private:
    std::deque<TParameterFile> FEntries;
    std::size_t FCurrent = 0;
};
