#pragma once

#include "image/PGTypes.h"

#include <cstdint>

// How far a diffused error may push the next pixels: errors up to half the limit pass
// unchanged, larger ones are cut to the limit (softly, around it, when asked).
class TErrorLimitTable {
public:
    static constexpr int MaxError = 255;
    static constexpr int Size = 2 * MaxError + 1;

    // The limit that suits a palette kind: coarse palettes need large errors to reach the
    // next entry, fine ones small errors to stay free of noise.
    static int AutoLimit(TPaletteIdent ident);
    // Fills table[0..Size-1] with the limited error of -MaxError..MaxError.
    static void Fill(std::int32_t* table, int limit, bool soft);
};
