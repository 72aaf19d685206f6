#include "image/ErrorLimitTable.h"

int TErrorLimitTable::AutoLimit(TPaletteIdent ident) {
    switch (ident) {
    case pBlackWhite:
        return 255;
    case pSysGray4:
    case pSys16:
    case pGray4:
        return 128;
    case pGray236:
        return 3;
    case pGray256:
        return 2;
    case pSpecial125:
    case pSpecial252:
        return 104;
    case pSpecial216:
        return 86;
    case pOptimized252Sys16:
    case pSource:
        return 0;
    default:
        return 32;
    }
}

void TErrorLimitTable::Fill(std::int32_t* table, int limit, bool soft) {
    std::int32_t* zero = table + MaxError;
    for (int e = 0; e <= MaxError; ++e)
        zero[e] = e < limit || limit == MaxError ? e : limit;
    if (soft)
        for (int e = limit / 2; e <= 3 * limit / 2 && e < MaxError; ++e)
            zero[e] = e / 2 + limit / 4;
    for (int e = 1; e <= MaxError; ++e)
        zero[-e] = -zero[e];
}
