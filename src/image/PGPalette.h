#pragma once

#include "image/PGTypes.h"

#include <vector>

// The portable stand-in for a platform palette object: the entries in index order and whether
// they were created with the reserved flag (so that the screen may animate them).
struct TPGPalette {
    std::vector<TColor> Entries;
    bool Reserved = false;
};
