#include "search/prune.h"

#include "search/search.h"

uint8_t PruneLimitA[256];
uint8_t PruneLimitB[256];
uint8_t PruneLimitC[256];

void buildPruneTables() {
    for (int d = 0; d < 256; ++d) {
        const int a = d * d / 4 + 3, b = d * d / 8 + 3, c = d * d / 16 + 3;
        PruneLimitA[d] = uint8_t(a < 255 ? a : 255);
        PruneLimitB[d] = uint8_t(b < 255 ? b : 255);
        PruneLimitC[d] = uint8_t(c < 255 ? c : 255);
    }
}
