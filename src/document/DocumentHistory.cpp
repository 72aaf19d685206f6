#include "document/DocumentHistory.h"

void TDocumentHistory::Record(const TParameterFile& entry) {
    // The file form holds exactly what decides the picture, doubles to the bit.
    if (!Empty() && Current().ToJson() == entry.ToJson())
        return;
    if (!Empty())
        FEntries.erase(FEntries.begin() + static_cast<std::ptrdiff_t>(FCurrent) + 1,
                       FEntries.end());
    FEntries.push_back(entry);
    if (FEntries.size() > Capacity)
        FEntries.pop_front();
    FCurrent = FEntries.size() - 1;
}

std::optional<TParameterFile> TDocumentHistory::Back() {
    if (!CanGoBack())
        return std::nullopt;
    return FEntries[--FCurrent];
}

std::optional<TParameterFile> TDocumentHistory::Forward() {
    if (!CanGoForward())
        return std::nullopt;
    return FEntries[++FCurrent];
}
