// Square names and square sets written as text, so the tests read like chess.
#pragma once

#include <initializer_list>

#include "board/types.h"

constexpr int sq(const char* name) {
    return (name[0] - 'a') + 8 * (name[1] - '1');
}

inline Bitboard squares(std::initializer_list<const char*> names) {
    Bitboard b = 0;
    for (const char* n : names) b |= Bitboard(1) << sq(n);
    return b;
}
