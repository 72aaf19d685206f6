#pragma once

#include "image/PGTypes.h"

#include <span>

// The fixed entries of a standard palette kind (pBlackWhite to pSpecial252); empty for the
// kinds without a fixed table.
std::span<const TColor> StandardPalette(TPaletteIdent ident);
